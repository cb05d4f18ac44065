// Capability detection: the version and extension rules as plain functions,
// and the log block once under Mesa.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

TEST(GlVersion, Numbers)
{
    struct {
        const char* text;
        int v;
    } cases[] = {
        {"1.5.2", 150},
        {"2.1.2 NVIDIA 169.12", 210},
        {"1.10", 200},
        {"1.4 Mesa 7.0", 140},
        {"4.5 (Compatibility Profile) Mesa 22.3.6", 450},
        {"Mesa 1.1", 100},
        {"1.1x", 110},
        {"2.", 100},
        {"", 100},
        {nullptr, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OGL_version_number(c.text), c.v) << (c.text ? c.text : "(null)");
}

TEST(GlCaps, VersionThresholdsAndExtensions)
{
    const OGL_caps all = OGL_caps_from(210, "");
    EXPECT_EQ(all.multitex_avail, 1);
    EXPECT_EQ(all.pbo_avail, 1);
    EXPECT_EQ(all.glsl_avail, 1);
    EXPECT_EQ(all.vprog_avail, 0); // never by version
    EXPECT_EQ(all.framebuf_avail, 0);
    EXPECT_EQ(all.sblend_avail, 0);

    const OGL_caps mesa7 = OGL_caps_from(140, "GL_EXT_foo");
    EXPECT_EQ(mesa7.automini_avail, 1);
    EXPECT_EQ(mesa7.depth_tex_avail, 1);
    EXPECT_EQ(mesa7.vbo_avail, 0);
    EXPECT_EQ(OGL_caps_from(140, "GL_ARB_vertex_buffer_object").vbo_avail, 1);

    const OGL_caps old = OGL_caps_from(100, "GL_ARB_multitexture GL_EXT_framebuffer_object");
    EXPECT_EQ(old.multitex_avail, 1);
    EXPECT_EQ(old.framebuf_avail, 1);
    EXPECT_EQ(old.tex_clamp_avail, 0);
    EXPECT_EQ(OGL_caps_from(110, "GL_SGIS_texture_edge_clamp").tex_clamp_avail, 1);

    // Separate blending needs both extensions.
    EXPECT_EQ(OGL_caps_from(130, "GL_EXT_blend_func_separate").sblend_avail, 0);
    EXPECT_EQ(OGL_caps_from(130, "GL_EXT_blend_func_separate GL_EXT_blend_equation_separate")
                  .sblend_avail,
              1);
    // A plain substring test: a longer name contains the shorter one.
    EXPECT_EQ(OGL_caps_from(100, "GL_ARB_multitexture_plus").multitex_avail, 1);
}

TEST(GlCaps, ConstructedState)
{
    OGL_extensions e;
    EXPECT_EQ(e.threaded_avail, 1);
    EXPECT_EQ(e.glsl_avail, 0);
    EXPECT_EQ(e.max_tex_size, 0);
    EXPECT_EQ(e.glUseProgramObjectARB, nullptr);
    EXPECT_EQ(e.glBindFramebufferEXT, nullptr);
}

TEST(GlCaps, LogBlockUnderMesa)
{
    XVFB_TEST_BODY();
    TempDir dir;
    xer.open(dir / "Log.txt", std::ios::out | std::ios::trunc);
    xer.setf(std::ios::fixed, std::ios::floatfield);
    xvfb_open_shell_window(); // runs init_extensions once
    xer << 1.5f << "\n";      // the log's fixed notation is back afterwards
    xer.close();

    ASSERT_NE(ren.gl_renderer, nullptr);
    // Software rendering in the test set-up, and direct: no hardware alert.
    EXPECT_NE(std::string(ren.gl_renderer).find("llvmpipe"), std::string::npos) << ren.gl_renderer;
    EXPECT_EQ(glExt.threaded_avail, 0);
    EXPECT_EQ(glExt.multitex_avail, 1);
    EXPECT_EQ(glExt.combine_avail, 1);
    EXPECT_GE(ren.max_tex_units, 1);
    EXPECT_GT(glExt.max_tex_size, 0);
    EXPECT_EQ(ren.max_aniso >= 1.0f, true);

    std::istringstream log(TempDir::read(dir / "Log.txt"));
    std::vector<std::string> lines;
    for (std::string l; std::getline(log, l);)
        lines.push_back(l);
    const char* labels[] = {
        "OpenGL Vendor    : ", "OpenGL Render    : ", "OpenGL Version   : ", "OpenGL Extensions: ",
        "tex_clamp_avail  : ", "add_env_avail    : ", "combine_avail    : ", "dis_fog_avail    : ",
        "tex_comp_avail   : ", "vbo_avail        : ", "pbo_avail        : ", "vprog_avail      : ",
        "fprog_avail      : ", "automini_avail   : ", "aniso_avail      : ", "fsaa_avail       : ",
        "sprites_avail    : ", "depth_tex_avail  : ", "occlude_avail    : ", "shad_objs_avail  : ",
        "vshader_avail    : ", "fshader_avail    : ", "gshader_avail    : ", "glsl_avail       : ",
        "framebuf_avail   : ", "sblend_avail     : ", "threaded_avail   : ", "first-gen shaders: ",
        "max tex units    : ", "max iso filtering: ", "max texture size : ", "max point size   : ",
    };
    size_t at = 0;
    while (at < lines.size() && lines[at].rfind("OpenGL Vendor", 0) != 0)
        ++at;
    ASSERT_LT(at + 32, lines.size() + 1) << TempDir::read(dir / "Log.txt");
    for (const char* label : labels) {
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at].rfind(label, 0), 0u) << lines[at];
        EXPECT_EQ(std::string(label).size(), 19u);
        ++at;
    }
    const std::string version = std::string("OpenGL Version   : ") + ren.gl_version + " (" +
                                std::to_string(OGL_version_number(ren.gl_version)) + ")";
    EXPECT_NE(TempDir::read(dir / "Log.txt").find(version), std::string::npos);
    EXPECT_NE(TempDir::read(dir / "Log.txt").find("threaded_avail   : 0\n"), std::string::npos);
    // Floats in the stream's default notation: a whole number has no point.
    std::ostringstream aniso;
    aniso << ren.max_aniso;
    if (ren.max_aniso == static_cast<float>(static_cast<int>(ren.max_aniso))) {
        EXPECT_EQ(aniso.str(), std::to_string(static_cast<int>(ren.max_aniso)));
    }
    EXPECT_NE(TempDir::read(dir / "Log.txt").find("max iso filtering: " + aniso.str() + "\n"),
              std::string::npos);
    EXPECT_EQ(lines.back(), "1.500000");
}
