// OpenGL capability detection.
#include "OGL/OGL_extensions.h"

#include <GL/glx.h>

#include <cstdio>
#include <cstring>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"
#include "UTL/UTL_cmdline.h"

namespace
{
const char* const kSourceFile = "HLutils/OGL/OGL_extensions";

// Constant-initialised, so the driver is in place whatever the start-up order.
constexpr OGL_driver_queries kRealDriver = {glGetString, glGetIntegerv, glGetFloatv,
                                            glXGetProcAddressARB};
OGL_driver_queries OGL_driver = kRealDriver;

bool has_ext(const char* exts, const char* name)
{
    // A plain substring test, as the drivers of the day were checked.
    return exts && std::strstr(exts, name) != nullptr;
}

bool has_opt(const char* name)
{
    return cmdline.has_option(name);
}

// Fetches one entry point; a miss is logged and clears the group's flag.
template <typename T> void fetch(T& slot, const char* name, int& flag)
{
    slot = reinterpret_cast<T>(OGL_driver.get_proc(reinterpret_cast<const GLubyte*>(name)));
    if (!slot) {
        xer << "WARNING: extension missing proc " << name << "\n";
        flag = 0;
    }
}

const char* gl_text(GLenum name)
{
    return reinterpret_cast<const char*>(OGL_driver.get_string(name));
}
} // namespace

OGL_driver_queries OGL_set_driver_hook(const OGL_driver_queries& driver)
{
    const OGL_driver_queries previous = OGL_driver;
    OGL_driver.get_string = driver.get_string ? driver.get_string : kRealDriver.get_string;
    OGL_driver.get_integerv = driver.get_integerv ? driver.get_integerv : kRealDriver.get_integerv;
    OGL_driver.get_floatv = driver.get_floatv ? driver.get_floatv : kRealDriver.get_floatv;
    OGL_driver.get_proc = driver.get_proc ? driver.get_proc : kRealDriver.get_proc;
    return previous;
}

int OGL_version_number(const char* version)
{
    int major = 0, minor = 0;
    if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2)
        return 100 * major + 10 * minor;
    static const struct {
        const char* prefix;
        int v;
    } kKnown[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140},
                  {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};
    if (version)
        for (const auto& k : kKnown)
            if (std::strncmp(version, k.prefix, 3) == 0) return k.v;
    return 100;
}

OGL_caps OGL_caps_from(int v, const char* e)
{
    OGL_caps c;
    c.multitex_avail = v >= 130 || has_ext(e, "GL_ARB_multitexture");
    c.tex_clamp_avail = v >= 120 || has_ext(e, "GL_EXT_texture_edge_clamp") ||
                        has_ext(e, "GL_SGIS_texture_edge_clamp");
    c.add_env_avail =
        v >= 130 || has_ext(e, "GL_ARB_texture_env_add") || has_ext(e, "GL_EXT_texture_env_add");
    c.combine_avail = v >= 130 || has_ext(e, "GL_ARB_texture_env_combine") ||
                      has_ext(e, "GL_EXT_texture_env_combine");
    c.dis_fog_avail = has_ext(e, "GL_NV_fog_distance");
    c.tex_comp_avail = v >= 130 || has_ext(e, "GL_ARB_texture_compression");
    c.vbo_avail = v >= 150 || has_ext(e, "GL_ARB_vertex_buffer_object");
    c.pbo_avail = v >= 210 || has_ext(e, "GL_ARB_pixel_buffer_object");
    c.vprog_avail = has_ext(e, "GL_ARB_vertex_program");
    c.fprog_avail = has_ext(e, "GL_ARB_fragment_program");
    c.automini_avail = v >= 140 || has_ext(e, "GL_SGIS_generate_mipmap");
    c.aniso_avail = has_ext(e, "GL_EXT_texture_filter_anisotropic");
    c.fsaa_avail = v >= 130 || has_ext(e, "GL_ARB_multisample");
    c.sprites_avail = v >= 200 || has_ext(e, "GL_ARB_point_sprite");
    c.depth_tex_avail = v >= 140 || has_ext(e, "GL_ARB_depth_texture");
    c.occlude_avail = v >= 150 || has_ext(e, "GL_ARB_occlusion_query");
    c.shad_objs_avail = v >= 200 || has_ext(e, "GL_ARB_shader_objects");
    c.vshader_avail = v >= 200 || has_ext(e, "GL_ARB_vertex_shader");
    c.fshader_avail = v >= 200 || has_ext(e, "GL_ARB_fragment_shader");
    c.gshader_avail = has_ext(e, "GL_EXT_geometry_shader4");
    c.glsl_avail = v >= 200 || has_ext(e, "GL_ARB_shading_language_100");
    c.framebuf_avail = has_ext(e, "GL_EXT_framebuffer_object");
    c.sblend_avail =
        has_ext(e, "GL_EXT_blend_func_separate") && has_ext(e, "GL_EXT_blend_equation_separate");
    return c;
}

OGL_extensions::OGL_extensions()
{
#define OGL_EXT_ZERO(type, name) name = nullptr;
    OGL_EXT_ALL(OGL_EXT_ZERO)
#undef OGL_EXT_ZERO
    multitex_avail = tex_clamp_avail = add_env_avail = combine_avail = dis_fog_avail = 0;
    tex_comp_avail = vbo_avail = pbo_avail = vprog_avail = fprog_avail = automini_avail = 0;
    aniso_avail = fsaa_avail = sprites_avail = depth_tex_avail = occlude_avail = 0;
    shad_objs_avail = vshader_avail = fshader_avail = gshader_avail = glsl_avail = 0;
    first_gen_shaders = framebuf_avail = sblend_avail = 0;
    threaded_avail = 1;
    max_tex_size = 0;
}

void OGL_extensions::init_extensions()
{
    // 1. Strings.
    ren.gl_vendor = gl_text(GL_VENDOR);
    ren.gl_renderer = gl_text(GL_RENDERER);
    ren.gl_version = gl_text(GL_VERSION);
    ren.gl_extensions = gl_text(GL_EXTENSIONS);
    const char* exts = ren.gl_extensions;

    // 2-3. Version and flags.
    const int v = OGL_version_number(ren.gl_version);
    const OGL_caps c = OGL_caps_from(v, exts);
    multitex_avail = c.multitex_avail;
    tex_clamp_avail = c.tex_clamp_avail;
    add_env_avail = c.add_env_avail;
    combine_avail = c.combine_avail;
    dis_fog_avail = c.dis_fog_avail;
    tex_comp_avail = c.tex_comp_avail;
    vbo_avail = c.vbo_avail;
    pbo_avail = c.pbo_avail;
    vprog_avail = c.vprog_avail;
    fprog_avail = c.fprog_avail;
    automini_avail = c.automini_avail;
    aniso_avail = c.aniso_avail;
    fsaa_avail = c.fsaa_avail;
    sprites_avail = c.sprites_avail;
    depth_tex_avail = c.depth_tex_avail;
    occlude_avail = c.occlude_avail;
    shad_objs_avail = c.shad_objs_avail;
    vshader_avail = c.vshader_avail;
    fshader_avail = c.fshader_avail;
    gshader_avail = c.gshader_avail;
    glsl_avail = c.glsl_avail;
    framebuf_avail = c.framebuf_avail;
    sblend_avail = c.sblend_avail;
    first_gen_shaders = 0;

    // 4.
    if (has_opt("--disable-vbo")) {
        xer << "VBOs disabled on user's request.\n";
        vbo_avail = 0;
    }
    // 5. First-generation NVIDIA GLSL parts.
    if (glsl_avail && has_ext(ren.gl_vendor, "NVIDIA") && !has_ext(exts, "GL_NV_fragment_program2"))
        first_gen_shaders = 1;

        // 6. Entry points, group by group. Each group is fetched only while its
        // flag is on; a missing entry clears the flag (the rest are still fetched).
#define OGL_EXT_FETCH_ONE(type, name) fetch(name, #name, group);
#define OGL_EXT_FETCH_GROUP(flag, LIST)                                                            \
    do {                                                                                           \
        int& group = (flag);                                                                       \
        if (group) {                                                                               \
            LIST(OGL_EXT_FETCH_ONE)                                                                \
        }                                                                                          \
    } while (0)
    OGL_EXT_FETCH_GROUP(vbo_avail, OGL_EXT_VBO);
    if (pbo_avail && !vbo_avail) {
        xer << "Disabling PBOs because VBOs are not available.  This probably means that "
               "VBOs are disabled for compatibility reasons.\n";
        pbo_avail = 0;
    }
    OGL_EXT_FETCH_GROUP(vprog_avail, OGL_EXT_VPROG);
    OGL_EXT_FETCH_GROUP(occlude_avail, OGL_EXT_OCCL);
    OGL_EXT_FETCH_GROUP(shad_objs_avail, OGL_EXT_SHOBJ);
    // Geometry shaders are fetched before the attribute group.
    OGL_EXT_FETCH_GROUP(gshader_avail, OGL_EXT_GSH);
    OGL_EXT_FETCH_GROUP(vshader_avail, OGL_EXT_VSATTR);
    OGL_EXT_FETCH_GROUP(framebuf_avail, OGL_EXT_FBO);
    OGL_EXT_FETCH_GROUP(tex_comp_avail, OGL_EXT_TEXC);
#undef OGL_EXT_FETCH_GROUP
#undef OGL_EXT_FETCH_ONE
    if (sblend_avail) {
        // The function entry is only worth having with the equation entry.
        fetch(glBlendEquationSeparateEXT, "glBlendEquationSeparateEXT", sblend_avail);
        if (sblend_avail) fetch(glBlendFuncSeparateEXT, "glBlendFuncSeparateEXT", sblend_avail);
    }

    // 7. Dependent flags, once.
    if (fprog_avail && !vprog_avail) fprog_avail = 0;
    if (!shad_objs_avail) fshader_avail = vshader_avail = gshader_avail = 0;
    if (!(vshader_avail && fshader_avail)) glsl_avail = 0;

    // 8. Program limits, only logged.
    GLint fp_ins = 0, fp_alu = 0, fp_tex = 0, fp_ind = 0, vp_ins = 0;
    GLint vs_attr = 0, vs_unif = 0, vs_vary = 0, vs_comb = 0, vs_vtex = 0, fs_unif = 0;
    if (fprog_avail) {
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &fp_ins);
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB,
                          &fp_alu);
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB,
                          &fp_tex);
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB,
                          &fp_ind);
        if (fp_ins == 0 && !has_opt("--use_fprogs")) fprog_avail = 0;
        if (fp_ins <= 99) first_gen_shaders = 1;
    }
    if (vprog_avail) {
        glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &vp_ins);
        if (vp_ins == 0 && !has_opt("--use_vprogs")) vprog_avail = 0;
    }
    if (vshader_avail) {
        OGL_driver.get_integerv(GL_MAX_VERTEX_ATTRIBS_ARB, &vs_attr);
        OGL_driver.get_integerv(GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB, &vs_unif);
        OGL_driver.get_integerv(GL_MAX_VARYING_FLOATS_ARB, &vs_vary);
        OGL_driver.get_integerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB, &vs_comb);
        OGL_driver.get_integerv(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB, &vs_vtex);
    }
    if (fshader_avail) OGL_driver.get_integerv(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, &fs_unif);

    // 9.
    std::string glsl_text = "n/a";
    if (glsl_avail) {
        const char* s = gl_text(GL_SHADING_LANGUAGE_VERSION_ARB);
        glsl_text = s ? s : "<null string>";
    }

    // 10. Limits.
    ren.max_tex_units = 0;
    ren.max_aniso = 1.0f;
    OGL_driver.get_integerv(GL_MAX_TEXTURE_UNITS_ARB, &ren.max_tex_units);
    if (fprog_avail)
        OGL_driver.get_integerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &ren.max_image_units);
    else
        ren.max_image_units = ren.max_tex_units;
    if (vprog_avail)
        OGL_driver.get_integerv(GL_MAX_TEXTURE_COORDS_ARB, &ren.max_tex_coords);
    else
        ren.max_tex_coords = ren.max_tex_units;
    if (aniso_avail) OGL_driver.get_floatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &ren.max_aniso);
    OGL_driver.get_integerv(GL_MAX_TEXTURE_SIZE, &max_tex_size);
    GLfloat point_range[2] = {0, 0};
    OGL_driver.get_floatv(GL_POINT_SIZE_RANGE, point_range);
    if (ren.max_tex_units == 0) ren.max_tex_units = 1;

    // 11. Overrides only clear flags.
    if (has_opt("--no_vbos")) vbo_avail = pbo_avail = 0;
    if (has_opt("--no_pbos")) pbo_avail = 0;
    if (has_opt("--no_sprites")) sprites_avail = 0;
    if (has_opt("--no_pixel_counters")) occlude_avail = 0;
    if (has_opt("--no_aniso_filtering")) {
        ren.max_aniso = 1.0f;
        aniso_avail = 0;
    }
    if (has_opt("--no_hw_mipmap")) automini_avail = 0;
    if (has_opt("--no_vshaders")) vprog_avail = 0;
    if (has_opt("--no_fshaders")) fprog_avail = 0;
    if (has_opt("--no_glsl")) glsl_avail = 0;
    if (has_opt("--no_fbos")) framebuf_avail = 0;
    if (has_opt("--no_threaded_ogl")) threaded_avail = 0;
    if (has_opt("--no_sblend")) sblend_avail = 0;

    // 12. Worker threads never get a GL context.
    threaded_avail = 0;

    // 13. The log block.
    xer.unsetf(std::ios::floatfield); // floats in the stream's default notation
    xer << "OpenGL Vendor    : " << (ren.gl_vendor ? ren.gl_vendor : "") << "\n";
    xer << "OpenGL Render    : " << (ren.gl_renderer ? ren.gl_renderer : "") << "\n";
    xer << "OpenGL Version   : " << (ren.gl_version ? ren.gl_version : "") << " (" << v << ")\n";
    xer << "OpenGL Extensions: " << (exts ? exts : "") << "\n";
    xer << "tex_clamp_avail  : " << tex_clamp_avail << "\n";
    xer << "add_env_avail    : " << add_env_avail << "\n";
    xer << "combine_avail    : " << combine_avail << "\n";
    xer << "dis_fog_avail    : " << dis_fog_avail << "\n";
    xer << "tex_comp_avail   : " << tex_comp_avail << "\n";
    xer << "vbo_avail        : " << vbo_avail << "\n";
    xer << "pbo_avail        : " << pbo_avail << "\n";
    xer << "vprog_avail      : " << vprog_avail << " (" << vp_ins << ")\n";
    xer << "fprog_avail      : " << fprog_avail << " (" << fp_ins << "/" << fp_alu << "/" << fp_tex
        << "/" << fp_ind << ")\n";
    xer << "automini_avail   : " << automini_avail << "\n";
    xer << "aniso_avail      : " << aniso_avail << "\n";
    xer << "fsaa_avail       : " << fsaa_avail << "\n";
    xer << "sprites_avail    : " << sprites_avail << "\n";
    xer << "depth_tex_avail  : " << depth_tex_avail << "\n";
    xer << "occlude_avail    : " << occlude_avail << "\n";
    xer << "shad_objs_avail  : " << shad_objs_avail << "\n";
    xer << "vshader_avail    : " << vshader_avail << " (" << vs_attr << "/" << vs_unif << "/"
        << vs_vary << "/" << vs_comb << "/" << vs_vtex << "/" << fs_unif << ")\n";
    xer << "fshader_avail    : " << fshader_avail << " (" << fs_unif << ")\n";
    xer << "gshader_avail    : " << gshader_avail << "\n";
    xer << "glsl_avail       : " << glsl_avail << " (" << glsl_text << ")\n";
    xer << "framebuf_avail   : " << framebuf_avail << "\n";
    xer << "sblend_avail     : " << sblend_avail << "\n";
    xer << "threaded_avail   : " << threaded_avail << "\n";
    xer << "first-gen shaders: " << first_gen_shaders << "\n";
    xer << "max tex units    : " << ren.max_tex_units << " (" << ren.max_image_units << "/"
        << ren.max_tex_coords << ")\n";
    xer << "max iso filtering: " << ren.max_aniso << "\n";
    xer << "max texture size : " << max_tex_size << "\n";
    xer << "max point size   : " << point_range[1] << "\n";
    xer.setf(std::ios::fixed, std::ios::floatfield); // the log's usual notation
    xer.flush();

    // 14.
    if (glsl_avail && ren.max_image_units > ren.max_tex_units)
        ren.max_tex_units = ren.max_image_units;

    // 15. Hardware alerts.
    if (!multitex_avail && v <= 109) {
        const std::string l1 =
            "Your graphics hardware cannot support Zudezud. Zudezud requires a graphics card "
            "with 16 MB of VRAM and multitexturing.";
        if (has_opt("--force_run"))
            __VOVARU_alert(0, l1, "Your system does not meet Zudezud's hardware requirements.",
                           "You have used the force-run command inline option to run Zudezud "
                           "anyway, but it may crash.",
                           std::string("Please see ") + kSupportWeb +
                               " for system requirements and tech support information.",
                           t_alert, kSourceFile, 577);
        else
            __VOVARU_alert(0, l1, "First, try updating your graphics drivers.",
                           "If this does not help, check your graphics card specifications.",
                           std::string("For tech support, e-mail ") + kSupportEmail + ".", t_exit,
                           kSourceFile, 577);
    }
    const char* r = ren.gl_renderer ? ren.gl_renderer : "";
    if (!std::strcmp(r, "GENERIC") || !std::strcmp(r, "Generic") || !std::strcmp(r, "generic") ||
        !std::strcmp(r, "Mesa GLX Indirect"))
        __VOVARU_alert(0,
                       "I can not find a 3-D accelerator card that can handle OpenGL that has "
                       "correctly installed drivers.",
                       "I will still let you run the simulator, but the frame rate will NOT allow "
                       "for a good simulation.",
                       "To fly realistically you must use another edition of Zudezud or get a 3-D "
                       "accelerator card that can handle OpenGL.",
                       std::string("Please see ") + kSupportWeb +
                           " for a list of the currently-compatible 3-D video cards.",
                       t_alert, kSourceFile, 588);
}
