// Capability detection: the version and extension rules as plain functions,
// whole detection runs against scripted drivers (overrides, missing entry
// points, the hardware alerts), and the log block once under Mesa.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OGL/OGL_ren.h"
#include "UTL/UTL_cmdline.h"
#include "support/alert_probe.h"
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
    // Each flag line shows the flag as detection left it.
    const std::map<std::string, int> flag_of = {
        {"tex_clamp_avail  : ", glExt.tex_clamp_avail},
        {"add_env_avail    : ", glExt.add_env_avail},
        {"combine_avail    : ", glExt.combine_avail},
        {"dis_fog_avail    : ", glExt.dis_fog_avail},
        {"tex_comp_avail   : ", glExt.tex_comp_avail},
        {"vbo_avail        : ", glExt.vbo_avail},
        {"pbo_avail        : ", glExt.pbo_avail},
        {"vprog_avail      : ", glExt.vprog_avail},
        {"fprog_avail      : ", glExt.fprog_avail},
        {"automini_avail   : ", glExt.automini_avail},
        {"aniso_avail      : ", glExt.aniso_avail},
        {"fsaa_avail       : ", glExt.fsaa_avail},
        {"sprites_avail    : ", glExt.sprites_avail},
        {"depth_tex_avail  : ", glExt.depth_tex_avail},
        {"occlude_avail    : ", glExt.occlude_avail},
        {"shad_objs_avail  : ", glExt.shad_objs_avail},
        {"vshader_avail    : ", glExt.vshader_avail},
        {"fshader_avail    : ", glExt.fshader_avail},
        {"gshader_avail    : ", glExt.gshader_avail},
        {"glsl_avail       : ", glExt.glsl_avail},
        {"framebuf_avail   : ", glExt.framebuf_avail},
        {"sblend_avail     : ", glExt.sblend_avail},
        {"threaded_avail   : ", glExt.threaded_avail},
        {"first-gen shaders: ", glExt.first_gen_shaders},
    };
    for (const char* label : labels) {
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at].rfind(label, 0), 0u) << lines[at];
        const auto flag = flag_of.find(label);
        if (flag != flag_of.end()) {
            const std::string value = lines[at].substr(std::string(label).size());
            EXPECT_TRUE(value == std::to_string(flag->second) ||
                        value.rfind(std::to_string(flag->second) + " (", 0) == 0)
                << lines[at];
        }
        ++at;
    }
    // The units line shows the count from before GLSL raises it to the image units.
    const std::string units = lines[at - 4];
    const std::string tail =
        " (" + std::to_string(ren.max_image_units) + "/" + std::to_string(ren.max_tex_coords) + ")";
    ASSERT_GT(units.size(), tail.size());
    ASSERT_EQ(units.substr(units.size() - tail.size()), tail) << units;
    const int logged_units = std::stoi(units.substr(19));
    EXPECT_GE(logged_units, 1);
    EXPECT_EQ(ren.max_tex_units,
              glExt.glsl_avail ? std::max(logged_units, ren.max_image_units) : logged_units);
    EXPECT_EQ(lines[at - 2], "max texture size : " + std::to_string(glExt.max_tex_size));
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

// ---------------------------------------------------------------------------
// [SECTION] Detection through a scripted driver
// ---------------------------------------------------------------------------

namespace
{
// A driver as detection sees it: its strings, its limits, the entry points it
// lacks, and which entry points and limits were asked for.
struct ScriptedDriver {
    std::string vendor = "Maker", renderer = "Card", version = "2.1", extensions;
    const char* glsl = "1.20"; // GL_SHADING_LANGUAGE_VERSION; null allowed
    std::map<GLenum, GLint> ints;
    std::map<GLenum, GLfloat> floats;
    std::map<std::pair<GLenum, GLenum>, GLint> program; // (target, limit) of glGetProgramivARB
    std::set<std::string> missing;
    std::vector<std::string> options;

    std::vector<std::string> procs_asked;
    std::set<GLenum> ints_asked;
};
ScriptedDriver drv;

const GLubyte* text(const std::string& s)
{
    return reinterpret_cast<const GLubyte*>(s.c_str());
}

const GLubyte* scripted_string(GLenum name)
{
    switch (name) {
    case GL_VENDOR:
        return text(drv.vendor);
    case GL_RENDERER:
        return text(drv.renderer);
    case GL_VERSION:
        return text(drv.version);
    case GL_EXTENSIONS:
        return text(drv.extensions);
    case GL_SHADING_LANGUAGE_VERSION_ARB:
        return reinterpret_cast<const GLubyte*>(drv.glsl);
    default:
        return nullptr;
    }
}

void scripted_integerv(GLenum name, GLint* out)
{
    drv.ints_asked.insert(name);
    const auto it = drv.ints.find(name);
    *out = it == drv.ints.end() ? 0 : it->second;
}

void scripted_floatv(GLenum name, GLfloat* out)
{
    const auto it = drv.floats.find(name);
    out[0] = it == drv.floats.end() ? 1.0f : it->second;
    if (name == GL_POINT_SIZE_RANGE) out[1] = it == drv.floats.end() ? 64.0f : it->second;
}

void APIENTRY scripted_program_iv(GLenum target, GLenum pname, GLint* out)
{
    const auto it = drv.program.find({target, pname});
    *out = it == drv.program.end() ? 0 : it->second;
}

void APIENTRY any_entry_point() {}

OGL_proc scripted_proc(const GLubyte* name)
{
    const std::string n = reinterpret_cast<const char*>(name);
    drv.procs_asked.push_back(n);
    if (drv.missing.count(n)) return nullptr;
    if (n == "glGetProgramivARB") return reinterpret_cast<OGL_proc>(scripted_program_iv);
    return any_entry_point;
}

bool asked(const std::string& proc)
{
    return std::find(drv.procs_asked.begin(), drv.procs_asked.end(), proc) != drv.procs_asked.end();
}

#define OGL_FLAG(name)                                                                             \
    {                                                                                              \
#name, &OGL_extensions::name                                                               \
    }
const std::map<std::string, int OGL_extensions::*> kFlags = {
    OGL_FLAG(multitex_avail),    OGL_FLAG(tex_clamp_avail), OGL_FLAG(add_env_avail),
    OGL_FLAG(combine_avail),     OGL_FLAG(dis_fog_avail),   OGL_FLAG(tex_comp_avail),
    OGL_FLAG(vbo_avail),         OGL_FLAG(pbo_avail),       OGL_FLAG(vprog_avail),
    OGL_FLAG(fprog_avail),       OGL_FLAG(automini_avail),  OGL_FLAG(aniso_avail),
    OGL_FLAG(fsaa_avail),        OGL_FLAG(sprites_avail),   OGL_FLAG(depth_tex_avail),
    OGL_FLAG(occlude_avail),     OGL_FLAG(shad_objs_avail), OGL_FLAG(vshader_avail),
    OGL_FLAG(fshader_avail),     OGL_FLAG(gshader_avail),   OGL_FLAG(glsl_avail),
    OGL_FLAG(first_gen_shaders), OGL_FLAG(framebuf_avail),  OGL_FLAG(sblend_avail),
    OGL_FLAG(threaded_avail),
};
#undef OGL_FLAG

// What one detection run left behind.
struct Detection {
    OGL_extensions ext;
    ren_struct ren;
    std::string log, shown;
    std::vector<AlertRecord> alerts;
};

// Runs detection against the scripted driver with its options, the log in a
// private file and the alerts' text (shown on standard output before the
// window exists) captured; the real driver, the options and `ren` are put
// back after. A child that a fatal alert ends passes own_folder = false and
// runs in its parent's folder, with the alert's text on its standard output.
std::unique_ptr<Detection> detect(bool own_folder = true)
{
    auto d = std::make_unique<Detection>();
    std::optional<TempCwd> dir; // alerts leave "MemoryLog.txt" in the current folder
    if (own_folder) dir.emplace();
    const ren_struct saved_ren = ren;
    xer.open("Log.txt", std::ios::out | std::ios::trunc);
    xer.setf(std::ios::fixed, std::ios::floatfield);
    cmdline.options.clear();
    for (const std::string& o : drv.options)
        cmdline.options[o] = "";
    const OGL_driver_queries real =
        OGL_set_driver_hook({scripted_string, scripted_integerv, scripted_floatv, scripted_proc});
    {
        AlertProbe probe;
        if (own_folder) testing::internal::CaptureStdout();
        d->ext.init_extensions();
        if (own_folder) d->shown = testing::internal::GetCapturedStdout();
        d->alerts = probe.records();
    }
    OGL_set_driver_hook(real);
    cmdline.options.clear();
    xer.close();
    d->log = TempDir::read("Log.txt");
    d->ren = ren;
    ren = saved_ren;
    return d;
}

// "name=value ..." over the flags of kFlags.
::testing::AssertionResult flags_are(const OGL_extensions& e, const std::string& want)
{
    std::istringstream words(want);
    std::string failures;
    for (std::string w; words >> w;) {
        const size_t eq = w.find('=');
        const auto it = kFlags.find(w.substr(0, eq));
        if (it == kFlags.end()) return ::testing::AssertionFailure() << "no flag " << w;
        const int got = e.*(it->second);
        if (got != std::stoi(w.substr(eq + 1)))
            failures += " " + it->first + "=" + std::to_string(got);
    }
    if (failures.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got" << failures;
}

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

const char* const kPboLine = "Disabling PBOs because VBOs are not available.  This probably "
                             "means that VBOs are disabled for compatibility reasons.\n";
const int kNoMultitexLine = 577, kSoftwareLine = 588;

struct DetectCase {
    const char* what;
    std::function<void(ScriptedDriver&)> setup;
    const char* flags;                  // "name=value" words
    std::vector<std::string> log_has;   // substrings of the log
    std::vector<std::string> log_lacks; // substrings the log must not hold
    std::vector<std::string> procs;     // entry points asked for ('!' first: never asked)
    std::vector<int> alerts;            // source lines of the alerts shown, in order
};

const GLenum kFrag = GL_FRAGMENT_PROGRAM_ARB, kVert = GL_VERTEX_PROGRAM_ARB,
             kNative = GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB;
const char* const kPrograms = "GL_ARB_vertex_program GL_ARB_fragment_program";

const DetectCase kDetectCases[] = {
    {"NVIDIA 2.1 without fragment_program2: first-generation shaders",
     [](ScriptedDriver& d) {
         d.version = "2.1.2 NVIDIA 169.12";
         d.vendor = "NVIDIA Corporation";
     },
     "multitex_avail=1 tex_clamp_avail=1 add_env_avail=1 combine_avail=1 tex_comp_avail=1 "
     "vbo_avail=1 pbo_avail=1 automini_avail=1 fsaa_avail=1 sprites_avail=1 depth_tex_avail=1 "
     "occlude_avail=1 shad_objs_avail=1 vshader_avail=1 fshader_avail=1 glsl_avail=1 "
     "first_gen_shaders=1 vprog_avail=0 framebuf_avail=0 threaded_avail=0",
     {"OpenGL Version   : 2.1.2 NVIDIA 169.12 (210)\n", "glsl_avail       : 1 (1.20)\n",
      "first-gen shaders: 1\n", "threaded_avail   : 0\n"},
     {"WARNING"},
     {"glBindBufferARB", "glGetBufferPointervARB", "glGenQueriesARB", "glUseProgramObjectARB",
      "glBindAttribLocationARB", "glCompressedTexImage2DARB", "!glVertexAttrib1dARB",
      "!glBindFramebufferEXT", "!glBlendEquationSeparateEXT"},
     {}},
    {"NVIDIA with fragment_program2: later shaders",
     [](ScriptedDriver& d) {
         d.version = "2.1.2 NVIDIA 169.12";
         d.vendor = "NVIDIA Corporation";
         d.extensions = "GL_NV_fragment_program2";
     },
     "glsl_avail=1 first_gen_shaders=0",
     {"first-gen shaders: 0\n"},
     {},
     {},
     {}},
    {"1.4 Mesa 7.0: mipmaps and depth textures by version, VBOs only by extension",
     [](ScriptedDriver& d) { d.version = "1.4 Mesa 7.0"; },
     "automini_avail=1 depth_tex_avail=1 vbo_avail=0 occlude_avail=0 glsl_avail=0",
     {"OpenGL Version   : 1.4 Mesa 7.0 (140)\n", "glsl_avail       : 0 (n/a)\n"},
     {},
     {"!glBindBufferARB"},
     {}},
    {"1.4 with the VBO extension",
     [](ScriptedDriver& d) {
         d.version = "1.4 Mesa 7.0";
         d.extensions = "GL_ARB_vertex_buffer_object";
     },
     "vbo_avail=1",
     {"vbo_avail        : 1\n"},
     {},
     {"glBindBufferARB"},
     {}},
    {"a version starting with a letter is 100",
     [](ScriptedDriver& d) {
         d.version = "Mesa 1.5";
         d.extensions = "GL_ARB_multitexture";
     },
     "multitex_avail=1 tex_clamp_avail=0",
     {"OpenGL Version   : Mesa 1.5 (100)\n"},
     {},
     {},
     {}},
    {"blend_func_separate alone: no separate blending, nothing fetched",
     [](ScriptedDriver& d) {
         d.version = "1.3";
         d.extensions = "GL_EXT_blend_func_separate";
     },
     "sblend_avail=0",
     {"sblend_avail     : 0\n"},
     {},
     {"!glBlendEquationSeparateEXT", "!glBlendFuncSeparateEXT"},
     {}},
    {"both blend extensions: equation fetched first, then function",
     [](ScriptedDriver& d) {
         d.version = "1.3";
         d.extensions = "GL_EXT_blend_func_separate GL_EXT_blend_equation_separate";
     },
     "sblend_avail=1",
     {"sblend_avail     : 1\n"},
     {},
     {"glBlendEquationSeparateEXT", "glBlendFuncSeparateEXT"},
     {}},
    {"missing equation entry: one line, the function is not fetched",
     [](ScriptedDriver& d) {
         d.version = "1.3";
         d.extensions = "GL_EXT_blend_func_separate GL_EXT_blend_equation_separate";
         d.missing = {"glBlendEquationSeparateEXT"};
     },
     "sblend_avail=0",
     {"WARNING: extension missing proc glBlendEquationSeparateEXT\n", "sblend_avail     : 0\n"},
     {"glBlendFuncSeparateEXT"},
     {"!glBlendFuncSeparateEXT"},
     {}},
    {"VBO extension with two missing entries: both logged, then PBOs go",
     [](ScriptedDriver& d) {
         d.version = "1.4";
         d.extensions = "GL_ARB_vertex_buffer_object GL_ARB_pixel_buffer_object";
         d.missing = {"glMapBufferARB", "glUnmapBufferARB"};
     },
     "vbo_avail=0 pbo_avail=0",
     {"WARNING: extension missing proc glMapBufferARB\n"
      "WARNING: extension missing proc glUnmapBufferARB\n" +
      std::string(kPboLine)},
     {},
     {"glGetBufferParameterivARB", "glGetBufferPointervARB"},
     {}},
    {"--disable-vbo: logged, no buffer entries, then the PBO line",
     [](ScriptedDriver& d) { d.options = {"--disable-vbo"}; },
     "vbo_avail=0 pbo_avail=0",
     {"VBOs disabled on user's request.\n" + std::string(kPboLine)},
     {},
     {"!glBindBufferARB"},
     {}},
    {"a missing shader-object entry clears the shader flags that depend on it",
     [](ScriptedDriver& d) {
         d.version = "2.0";
         d.extensions = "GL_EXT_geometry_shader4";
         d.missing = {"glCompileShaderARB"};
     },
     "shad_objs_avail=0 vshader_avail=0 fshader_avail=0 gshader_avail=0 glsl_avail=0",
     {"WARNING: extension missing proc glCompileShaderARB\n", "glsl_avail       : 0 (n/a)\n"},
     {},
     {"glShaderSourceARB", "glProgramParameteriEXT"},
     {}},
    {"fragment programs without vertex programs are dropped",
     [](ScriptedDriver& d) {
         d.version = "1.5";
         d.extensions = "GL_ARB_fragment_program";
     },
     "fprog_avail=0 vprog_avail=0",
     {"fprog_avail      : 0 (0/0/0/0)\n"},
     {},
     {},
     {}},
    {"96 native fragment instructions: kept, first-generation",
     [](ScriptedDriver& d) {
         d.version = "1.5";
         d.extensions = kPrograms;
         d.program = {{{kFrag, kNative}, 96},
                      {{kFrag, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB}, 64},
                      {{kFrag, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB}, 32},
                      {{kFrag, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB}, 4},
                      {{kVert, kNative}, 128}};
     },
     "fprog_avail=1 vprog_avail=1 first_gen_shaders=1",
     {"vprog_avail      : 1 (128)\n", "fprog_avail      : 1 (96/64/32/4)\n"},
     {},
     {},
     {}},
    {"0 native fragment instructions: dropped, first-generation",
     [](ScriptedDriver& d) {
         d.version = "1.5";
         d.extensions = kPrograms;
         d.program = {{{kVert, kNative}, 128}};
     },
     "fprog_avail=0 vprog_avail=1 first_gen_shaders=1",
     {"fprog_avail      : 0 (0/"},
     {},
     {},
     {}},
    {"0 native fragment instructions with --use_fprogs: kept",
     [](ScriptedDriver& d) {
         d.version = "1.5";
         d.extensions = kPrograms;
         d.program = {{{kVert, kNative}, 128}};
         d.options = {"--use_fprogs"};
     },
     "fprog_avail=1 first_gen_shaders=1",
     {},
     {},
     {},
     {}},
    {"0 native vertex instructions: dropped; --use_vprogs keeps them",
     [](ScriptedDriver& d) {
         d.version = "1.5";
         d.extensions = kPrograms;
         d.program = {{{kFrag, kNative}, 500}};
     },
     "vprog_avail=0 fprog_avail=1 first_gen_shaders=0",
     {"vprog_avail      : 0 (0)\n"},
     {},
     {},
     {}},
    {"--use_vprogs",
     [](ScriptedDriver& d) {
         d.version = "1.5";
         d.extensions = kPrograms;
         d.program = {{{kFrag, kNative}, 500}};
         d.options = {"--use_vprogs"};
     },
     "vprog_avail=1",
     {},
     {},
     {},
     {}},
    {"--no_vshaders clears vertex programs and leaves fragment programs",
     [](ScriptedDriver& d) {
         d.version = "1.5";
         d.extensions = kPrograms;
         d.program = {{{kFrag, kNative}, 500}, {{kVert, kNative}, 500}};
         d.options = {"--no_vshaders"};
     },
     "vprog_avail=0 fprog_avail=1",
     {"vprog_avail      : 0 (500)\n"},
     {},
     {"glBindProgramARB"},
     {}},
    {"0 texture units become 1; the copies keep 0",
     [](ScriptedDriver& d) { d.version = "1.3"; },
     "multitex_avail=1",
     {"max tex units    : 1 (0/0)\n"},
     {},
     {},
     {}},
    {"GLSL with 4 fixed units and 16 image units",
     [](ScriptedDriver& d) {
         d.version = "2.1";
         d.extensions = kPrograms;
         d.program = {{{kFrag, kNative}, 500}, {{kVert, kNative}, 500}};
         d.ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4},
                   {GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 16},
                   {GL_MAX_TEXTURE_COORDS_ARB, 8},
                   {GL_MAX_VERTEX_ATTRIBS_ARB, 16},
                   {GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB, 512},
                   {GL_MAX_VARYING_FLOATS_ARB, 32},
                   {GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB, 20},
                   {GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB, 4},
                   {GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, 1024},
                   {GL_MAX_TEXTURE_SIZE, 4096}};
     },
     "glsl_avail=1",
     {"max tex units    : 4 (16/8)\n", "vshader_avail    : 1 (16/512/32/20/4/1024)\n",
      "fshader_avail    : 1 (1024)\n", "max texture size : 4096\n"},
     {},
     {},
     {}},
    {"a null GLSL version string",
     [](ScriptedDriver& d) { d.glsl = nullptr; },
     "glsl_avail=1",
     {"glsl_avail       : 1 (<null string>)\n"},
     {},
     {},
     {}},
    {"anisotropic filtering reports its maximum",
     [](ScriptedDriver& d) {
         d.extensions = "GL_EXT_texture_filter_anisotropic";
         d.floats = {{GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 16.0f}, {GL_POINT_SIZE_RANGE, 255.5f}};
     },
     "aniso_avail=1",
     {"max iso filtering: 16\n", "max point size   : 255.5\n"},
     {},
     {},
     {}},
    {"--no_aniso_filtering: back to 1",
     [](ScriptedDriver& d) {
         d.extensions = "GL_EXT_texture_filter_anisotropic";
         d.floats = {{GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 16.0f}};
         d.options = {"--no_aniso_filtering"};
     },
     "aniso_avail=0",
     {"max iso filtering: 1\n", "aniso_avail      : 0\n"},
     {},
     {},
     {}},
    {"overrides clear their flags; fetched entries stay",
     [](ScriptedDriver& d) {
         d.extensions = "GL_EXT_framebuffer_object GL_EXT_blend_func_separate "
                        "GL_EXT_blend_equation_separate GL_ARB_fragment_program "
                        "GL_ARB_vertex_program";
         d.program = {{{kFrag, kNative}, 500}, {{kVert, kNative}, 500}};
         d.options = {"--no_vbos",      "--no_sprites",      "--no_pixel_counters",
                      "--no_hw_mipmap", "--no_fshaders",     "--no_glsl",
                      "--no_fbos",      "--no_threaded_ogl", "--no_sblend"};
     },
     "vbo_avail=0 pbo_avail=0 sprites_avail=0 occlude_avail=0 automini_avail=0 "
     "fprog_avail=0 vprog_avail=1 glsl_avail=0 framebuf_avail=0 threaded_avail=0 "
     "sblend_avail=0 vshader_avail=1 fshader_avail=1 tex_comp_avail=1",
     {"vbo_avail        : 0\n", "pbo_avail        : 0\n", "framebuf_avail   : 0\n"},
     {},
     {"glBindBufferARB", "glBindFramebufferEXT", "glBlendFuncSeparateEXT"},
     {}},
    {"--no_pbos alone",
     [](ScriptedDriver& d) { d.options = {"--no_pbos"}; },
     "vbo_avail=1 pbo_avail=0",
     {},
     {kPboLine},
     {},
     {}},
    {"GL 1.0 without multitexture, forced: both alerts in order",
     [](ScriptedDriver& d) {
         d.version = "1.0";
         d.renderer = "Mesa GLX Indirect";
         d.options = {"--force_run"};
     },
     "multitex_avail=0",
     {},
     {},
     {},
     {kNoMultitexLine, kSoftwareLine}},
    {"GL 1.0 with the multitexture extension: no alert",
     [](ScriptedDriver& d) {
         d.version = "1.0";
         d.extensions = "GL_ARB_multitexture";
     },
     "multitex_avail=1",
     {},
     {},
     {},
     {}},
    {"GL 1.1 without multitexture: no alert (only below 1.1)",
     [](ScriptedDriver& d) { d.version = "1.1"; },
     "multitex_avail=0",
     {},
     {},
     {},
     {}},
};

struct RendererCase {
    const char* renderer;
    bool warns;
};
const RendererCase kRendererCases[] = {
    {"GENERIC", true},
    {"Generic", true},
    {"generic", true},
    {"Mesa GLX Indirect", true},
    {"Mesa GLX Indirect 7.0", false},
    {"Generic card", false},
    {"GeNeRiC", false},
    {"llvmpipe (LLVM 15.0.6, 256 bits)", false},
    {"", false},
};
} // namespace

TEST(Detection, ScriptedDrivers)
{
    for (const DetectCase& c : kDetectCases) {
        SCOPED_TRACE(c.what);
        drv = ScriptedDriver{};
        c.setup(drv);
        const std::unique_ptr<Detection> d = detect();
        EXPECT_TRUE(flags_are(d->ext, c.flags));
        for (const std::string& part : c.log_has)
            EXPECT_TRUE(has(d->log, part)) << "missing: " << part << "\n" << d->log;
        for (const std::string& part : c.log_lacks)
            EXPECT_FALSE(has(d->log, part)) << "unwanted: " << part << "\n" << d->log;
        for (const std::string& p : c.procs) {
            if (p[0] == '!')
                EXPECT_FALSE(asked(p.substr(1))) << p;
            else
                EXPECT_TRUE(asked(p)) << p;
        }
        std::vector<int> lines;
        for (const AlertRecord& a : d->alerts) {
            lines.push_back(a.source_line);
            EXPECT_EQ(a.kind, t_alert);
            EXPECT_EQ(a.source_file, "HLutils/OGL/OGL_extensions");
        }
        EXPECT_EQ(lines, c.alerts);
    }
}

// Every entry point of a group that is on is asked for exactly once, in slot
// order, and lands in its slot; a missing one stays null.
TEST(Detection, EntryPointsLandInTheirSlots)
{
    drv = ScriptedDriver{};
    drv.extensions = "GL_EXT_framebuffer_object";
    drv.missing = {"glGenerateMipmapEXT"};
    const std::unique_ptr<Detection> d = detect();
    EXPECT_EQ(d->ext.glBindFramebufferEXT,
              reinterpret_cast<PFNGLBINDFRAMEBUFFEREXTPROC>(any_entry_point));
    EXPECT_EQ(d->ext.glGenerateMipmapEXT, nullptr);
    EXPECT_EQ(d->ext.framebuf_avail, 0);
    EXPECT_EQ(d->ext.glVertexAttrib1dARB, nullptr); // group off: never asked
    std::vector<std::string> fbo;
    for (const std::string& p : drv.procs_asked)
        if (p.find("buffer") != std::string::npos && p.back() == 'T') fbo.push_back(p);
    const std::vector<std::string> want = {
        "glIsRenderbufferEXT",          "glBindRenderbufferEXT",
        "glDeleteRenderbuffersEXT",     "glGenRenderbuffersEXT",
        "glRenderbufferStorageEXT",     "glGetRenderbufferParameterivEXT",
        "glIsFramebufferEXT",           "glBindFramebufferEXT",
        "glDeleteFramebuffersEXT",      "glGenFramebuffersEXT",
        "glCheckFramebufferStatusEXT",  "glFramebufferTexture1DEXT",
        "glFramebufferTexture2DEXT",    "glFramebufferTexture3DEXT",
        "glFramebufferRenderbufferEXT", "glGetFramebufferAttachmentParameterivEXT"};
    EXPECT_EQ(fbo, want);
    // Geometry shaders are asked for before the vertex-shader attributes.
    drv = ScriptedDriver{};
    drv.extensions = "GL_EXT_geometry_shader4";
    detect();
    const auto at = [](const char* n) {
        return std::find(drv.procs_asked.begin(), drv.procs_asked.end(), n) -
               drv.procs_asked.begin();
    };
    EXPECT_LT(at("glGetShaderSourceARB"), at("glProgramParameteriEXT"));
    EXPECT_LT(at("glProgramParameteriEXT"), at("glBindAttribLocationARB"));
    EXPECT_LT(at("glGetAttribLocationARB"), at("glIsRenderbufferEXT") + 1);
}

TEST(Detection, SoftwareRendererWarns)
{
    for (const RendererCase& c : kRendererCases) {
        SCOPED_TRACE(c.renderer);
        drv = ScriptedDriver{};
        drv.renderer = c.renderer;
        const std::unique_ptr<Detection> d = detect();
        ASSERT_EQ(d->alerts.size(), c.warns ? 1u : 0u);
        if (!c.warns) continue;
        const AlertRecord& a = d->alerts[0];
        EXPECT_EQ(a.kind, t_alert);
        EXPECT_EQ(a.source_line, kSoftwareLine);
        EXPECT_EQ(a.lines[0], "I can not find a 3-D accelerator card that can handle OpenGL "
                              "that has correctly installed drivers.");
        EXPECT_EQ(a.lines[1], "I will still let you run the simulator, but the frame rate will "
                              "NOT allow for a good simulation.");
        EXPECT_TRUE(has(a.lines[2], "3-D accelerator card that can handle OpenGL")) << a.lines[2];
    }
}

// Without multitexture below GL 1.1 the program ends before the renderer is
// looked at; with --force_run it is a warning and start-up goes on.
TEST(Detection, NoMultitextureAlert)
{
    const std::string line1 = "Your graphics hardware cannot support Zudezud. Zudezud requires a "
                              "graphics card with 16 MB of VRAM and multitexturing.";
    TempCwd cwd;
    const ChildResult r = run_in_child([] {
        drv = ScriptedDriver{};
        drv.version = "1.0";
        drv.renderer = "GENERIC";
        detect(false);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_TRUE(has(r.out, line1)) << r.out;
    EXPECT_TRUE(has(r.out, "First, try updating your graphics drivers.")) << r.out;
    EXPECT_TRUE(has(r.out, "If this does not help, check your graphics card specifications."))
        << r.out;
    EXPECT_FALSE(has(r.out, "3-D accelerator")) << r.out;

    drv = ScriptedDriver{};
    drv.version = "1.0";
    drv.options = {"--force_run"};
    const std::unique_ptr<Detection> d = detect();
    ASSERT_EQ(d->alerts.size(), 1u);
    const AlertRecord& a = d->alerts[0];
    EXPECT_EQ(a.kind, t_alert);
    EXPECT_EQ(a.source_line, kNoMultitexLine);
    EXPECT_EQ(a.lines[0], line1);
    EXPECT_EQ(a.lines[1], "Your system does not meet Zudezud's hardware requirements.");
    EXPECT_EQ(a.lines[2], "You have used the force-run command inline option to run Zudezud "
                          "anyway, but it may crash.");
    // Detection was complete before the warning: the log block is there.
    EXPECT_TRUE(has(d->log, "max point size   : ")) << d->log;
}
