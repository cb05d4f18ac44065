// OpenGL capability detection: the version, the capability flags and the
// extension entry points, filled once after the main context is current.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

// Entry-point groups, each X(pointer type, GL name), in slot order.
#define OGL_EXT_VBO(X)                                                                             \
    X(PFNGLBINDBUFFERARBPROC, glBindBufferARB)                                                     \
    X(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB)                                               \
    X(PFNGLGENBUFFERSARBPROC, glGenBuffersARB)                                                     \
    X(PFNGLISBUFFERARBPROC, glIsBufferARB)                                                         \
    X(PFNGLBUFFERDATAARBPROC, glBufferDataARB)                                                     \
    X(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB)                                               \
    X(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB)                                         \
    X(PFNGLMAPBUFFERARBPROC, glMapBufferARB)                                                       \
    X(PFNGLUNMAPBUFFERARBPROC, glUnmapBufferARB)                                                   \
    X(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB)                                 \
    X(PFNGLGETBUFFERPOINTERVARBPROC, glGetBufferPointervARB)

#define OGL_EXT_VPROG(X)                                                                           \
    X(PFNGLVERTEXATTRIB1DARBPROC, glVertexAttrib1dARB)                                             \
    X(PFNGLVERTEXATTRIB1DVARBPROC, glVertexAttrib1dvARB)                                           \
    X(PFNGLVERTEXATTRIB1FARBPROC, glVertexAttrib1fARB)                                             \
    X(PFNGLVERTEXATTRIB1FVARBPROC, glVertexAttrib1fvARB)                                           \
    X(PFNGLVERTEXATTRIB1SARBPROC, glVertexAttrib1sARB)                                             \
    X(PFNGLVERTEXATTRIB1SVARBPROC, glVertexAttrib1svARB)                                           \
    X(PFNGLVERTEXATTRIB2DARBPROC, glVertexAttrib2dARB)                                             \
    X(PFNGLVERTEXATTRIB2DVARBPROC, glVertexAttrib2dvARB)                                           \
    X(PFNGLVERTEXATTRIB2FARBPROC, glVertexAttrib2fARB)                                             \
    X(PFNGLVERTEXATTRIB2FVARBPROC, glVertexAttrib2fvARB)                                           \
    X(PFNGLVERTEXATTRIB2SARBPROC, glVertexAttrib2sARB)                                             \
    X(PFNGLVERTEXATTRIB2SVARBPROC, glVertexAttrib2svARB)                                           \
    X(PFNGLVERTEXATTRIB3DARBPROC, glVertexAttrib3dARB)                                             \
    X(PFNGLVERTEXATTRIB3DVARBPROC, glVertexAttrib3dvARB)                                           \
    X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB)                                             \
    X(PFNGLVERTEXATTRIB3FVARBPROC, glVertexAttrib3fvARB)                                           \
    X(PFNGLVERTEXATTRIB3SARBPROC, glVertexAttrib3sARB)                                             \
    X(PFNGLVERTEXATTRIB3SVARBPROC, glVertexAttrib3svARB)                                           \
    X(PFNGLVERTEXATTRIB4NBVARBPROC, glVertexAttrib4NbvARB)                                         \
    X(PFNGLVERTEXATTRIB4NIVARBPROC, glVertexAttrib4NivARB)                                         \
    X(PFNGLVERTEXATTRIB4NSVARBPROC, glVertexAttrib4NsvARB)                                         \
    X(PFNGLVERTEXATTRIB4NUBARBPROC, glVertexAttrib4NubARB)                                         \
    X(PFNGLVERTEXATTRIB4NUBVARBPROC, glVertexAttrib4NubvARB)                                       \
    X(PFNGLVERTEXATTRIB4NUIVARBPROC, glVertexAttrib4NuivARB)                                       \
    X(PFNGLVERTEXATTRIB4NUSVARBPROC, glVertexAttrib4NusvARB)                                       \
    X(PFNGLVERTEXATTRIB4BVARBPROC, glVertexAttrib4bvARB)                                           \
    X(PFNGLVERTEXATTRIB4DARBPROC, glVertexAttrib4dARB)                                             \
    X(PFNGLVERTEXATTRIB4DVARBPROC, glVertexAttrib4dvARB)                                           \
    X(PFNGLVERTEXATTRIB4FARBPROC, glVertexAttrib4fARB)                                             \
    X(PFNGLVERTEXATTRIB4FVARBPROC, glVertexAttrib4fvARB)                                           \
    X(PFNGLVERTEXATTRIB4IVARBPROC, glVertexAttrib4ivARB)                                           \
    X(PFNGLVERTEXATTRIB4SARBPROC, glVertexAttrib4sARB)                                             \
    X(PFNGLVERTEXATTRIB4SVARBPROC, glVertexAttrib4svARB)                                           \
    X(PFNGLVERTEXATTRIB4UBVARBPROC, glVertexAttrib4ubvARB)                                         \
    X(PFNGLVERTEXATTRIB4UIVARBPROC, glVertexAttrib4uivARB)                                         \
    X(PFNGLVERTEXATTRIB4USVARBPROC, glVertexAttrib4usvARB)                                         \
    X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB)                                   \
    X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB)                           \
    X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB)                         \
    X(PFNGLPROGRAMSTRINGARBPROC, glProgramStringARB)                                               \
    X(PFNGLBINDPROGRAMARBPROC, glBindProgramARB)                                                   \
    X(PFNGLDELETEPROGRAMSARBPROC, glDeleteProgramsARB)                                             \
    X(PFNGLGENPROGRAMSARBPROC, glGenProgramsARB)                                                   \
    X(PFNGLPROGRAMENVPARAMETER4DARBPROC, glProgramEnvParameter4dARB)                               \
    X(PFNGLPROGRAMENVPARAMETER4DVARBPROC, glProgramEnvParameter4dvARB)                             \
    X(PFNGLPROGRAMENVPARAMETER4FARBPROC, glProgramEnvParameter4fARB)                               \
    X(PFNGLPROGRAMENVPARAMETER4FVARBPROC, glProgramEnvParameter4fvARB)                             \
    X(PFNGLPROGRAMLOCALPARAMETER4DARBPROC, glProgramLocalParameter4dARB)                           \
    X(PFNGLPROGRAMLOCALPARAMETER4DVARBPROC, glProgramLocalParameter4dvARB)                         \
    X(PFNGLPROGRAMLOCALPARAMETER4FARBPROC, glProgramLocalParameter4fARB)                           \
    X(PFNGLPROGRAMLOCALPARAMETER4FVARBPROC, glProgramLocalParameter4fvARB)                         \
    X(PFNGLGETPROGRAMENVPARAMETERDVARBPROC, glGetProgramEnvParameterdvARB)                         \
    X(PFNGLGETPROGRAMENVPARAMETERFVARBPROC, glGetProgramEnvParameterfvARB)                         \
    X(PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC, glGetProgramLocalParameterdvARB)                     \
    X(PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC, glGetProgramLocalParameterfvARB)                     \
    X(PFNGLGETPROGRAMIVARBPROC, glGetProgramivARB)                                                 \
    X(PFNGLGETPROGRAMSTRINGARBPROC, glGetProgramStringARB)                                         \
    X(PFNGLGETVERTEXATTRIBDVARBPROC, glGetVertexAttribdvARB)                                       \
    X(PFNGLGETVERTEXATTRIBFVARBPROC, glGetVertexAttribfvARB)                                       \
    X(PFNGLGETVERTEXATTRIBIVARBPROC, glGetVertexAttribivARB)                                       \
    X(PFNGLGETVERTEXATTRIBPOINTERVARBPROC, glGetVertexAttribPointervARB)                           \
    X(PFNGLISPROGRAMARBPROC, glIsProgramARB)

#define OGL_EXT_OCCL(X)                                                                            \
    X(PFNGLGENQUERIESARBPROC, glGenQueriesARB)                                                     \
    X(PFNGLDELETEQUERIESARBPROC, glDeleteQueriesARB)                                               \
    X(PFNGLISQUERYARBPROC, glIsQueryARB)                                                           \
    X(PFNGLBEGINQUERYARBPROC, glBeginQueryARB)                                                     \
    X(PFNGLENDQUERYARBPROC, glEndQueryARB)                                                         \
    X(PFNGLGETQUERYIVARBPROC, glGetQueryivARB)                                                     \
    X(PFNGLGETQUERYOBJECTIVARBPROC, glGetQueryObjectivARB)                                         \
    X(PFNGLGETQUERYOBJECTUIVARBPROC, glGetQueryObjectuivARB)

#define OGL_EXT_SHOBJ(X)                                                                           \
    X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB)                                                 \
    X(PFNGLGETHANDLEARBPROC, glGetHandleARB)                                                       \
    X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB)                                                 \
    X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB)                                     \
    X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB)                                                 \
    X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB)                                               \
    X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB)                                   \
    X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB)                                                 \
    X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB)                                                   \
    X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB)                                         \
    X(PFNGLVALIDATEPROGRAMARBPROC, glValidateProgramARB)                                           \
    X(PFNGLUNIFORM1FARBPROC, glUniform1fARB)                                                       \
    X(PFNGLUNIFORM2FARBPROC, glUniform2fARB)                                                       \
    X(PFNGLUNIFORM3FARBPROC, glUniform3fARB)                                                       \
    X(PFNGLUNIFORM4FARBPROC, glUniform4fARB)                                                       \
    X(PFNGLUNIFORM1IARBPROC, glUniform1iARB)                                                       \
    X(PFNGLUNIFORM2IARBPROC, glUniform2iARB)                                                       \
    X(PFNGLUNIFORM3IARBPROC, glUniform3iARB)                                                       \
    X(PFNGLUNIFORM4IARBPROC, glUniform4iARB)                                                       \
    X(PFNGLUNIFORM1FVARBPROC, glUniform1fvARB)                                                     \
    X(PFNGLUNIFORM2FVARBPROC, glUniform2fvARB)                                                     \
    X(PFNGLUNIFORM3FVARBPROC, glUniform3fvARB)                                                     \
    X(PFNGLUNIFORM4FVARBPROC, glUniform4fvARB)                                                     \
    X(PFNGLUNIFORM1IVARBPROC, glUniform1ivARB)                                                     \
    X(PFNGLUNIFORM2IVARBPROC, glUniform2ivARB)                                                     \
    X(PFNGLUNIFORM3IVARBPROC, glUniform3ivARB)                                                     \
    X(PFNGLUNIFORM4IVARBPROC, glUniform4ivARB)                                                     \
    X(PFNGLUNIFORMMATRIX2FVARBPROC, glUniformMatrix2fvARB)                                         \
    X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB)                                         \
    X(PFNGLUNIFORMMATRIX4FVARBPROC, glUniformMatrix4fvARB)                                         \
    X(PFNGLGETOBJECTPARAMETERFVARBPROC, glGetObjectParameterfvARB)                                 \
    X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB)                                 \
    X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB)                                                     \
    X(PFNGLGETATTACHEDOBJECTSARBPROC, glGetAttachedObjectsARB)                                     \
    X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB)                                     \
    X(PFNGLGETACTIVEUNIFORMARBPROC, glGetActiveUniformARB)                                         \
    X(PFNGLGETUNIFORMFVARBPROC, glGetUniformfvARB)                                                 \
    X(PFNGLGETUNIFORMIVARBPROC, glGetUniformivARB)                                                 \
    X(PFNGLGETSHADERSOURCEARBPROC, glGetShaderSourceARB)

#define OGL_EXT_VSATTR(X)                                                                          \
    X(PFNGLBINDATTRIBLOCATIONARBPROC, glBindAttribLocationARB)                                     \
    X(PFNGLGETACTIVEATTRIBARBPROC, glGetActiveAttribARB)                                           \
    X(PFNGLGETATTRIBLOCATIONARBPROC, glGetAttribLocationARB)

#define OGL_EXT_GSH(X) X(PFNGLPROGRAMPARAMETERIEXTPROC, glProgramParameteriEXT)

#define OGL_EXT_FBO(X)                                                                             \
    X(PFNGLISRENDERBUFFEREXTPROC, glIsRenderbufferEXT)                                             \
    X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT)                                         \
    X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT)                                   \
    X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT)                                         \
    X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)                                   \
    X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT)                     \
    X(PFNGLISFRAMEBUFFEREXTPROC, glIsFramebufferEXT)                                               \
    X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT)                                           \
    X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT)                                     \
    X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT)                                           \
    X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT)                             \
    X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, glFramebufferTexture1DEXT)                                 \
    X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT)                                 \
    X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, glFramebufferTexture3DEXT)                                 \
    X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT)                           \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, glGetFramebufferAttachmentParameterivEXT)   \
    X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT)

#define OGL_EXT_TEXC(X)                                                                            \
    X(PFNGLCOMPRESSEDTEXIMAGE3DARBPROC, glCompressedTexImage3DARB)                                 \
    X(PFNGLCOMPRESSEDTEXIMAGE2DARBPROC, glCompressedTexImage2DARB)                                 \
    X(PFNGLCOMPRESSEDTEXIMAGE1DARBPROC, glCompressedTexImage1DARB)                                 \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC, glCompressedTexSubImage3DARB)                           \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC, glCompressedTexSubImage2DARB)                           \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC, glCompressedTexSubImage1DARB)                           \
    X(PFNGLGETCOMPRESSEDTEXIMAGEARBPROC, glGetCompressedTexImageARB)

#define OGL_EXT_SBL(X)                                                                             \
    X(PFNGLBLENDFUNCSEPARATEEXTPROC, glBlendFuncSeparateEXT)                                       \
    X(PFNGLBLENDEQUATIONSEPARATEEXTPROC, glBlendEquationSeparateEXT)

// Every entry point, in slot order (shader objects, attributes, geometry).
// clang-format off: it cannot settle on a layout for this list
#define OGL_EXT_ALL(X)                                                                             \
    OGL_EXT_VBO(X)                                                                                 \
    OGL_EXT_VPROG(X)                                                                               \
    OGL_EXT_OCCL(X)                                                                                \
    OGL_EXT_SHOBJ(X)                                                                               \
    OGL_EXT_VSATTR(X)                                                                              \
    OGL_EXT_GSH(X)                                                                                 \
    OGL_EXT_FBO(X)                                                                                 \
    OGL_EXT_TEXC(X)                                                                                \
    OGL_EXT_SBL(X)
// clang-format on

// The capability flags that detection derives from the version number and the
// extension string alone (steps before any entry point is fetched).
struct OGL_caps {
    int multitex_avail = 0, tex_clamp_avail = 0, add_env_avail = 0, combine_avail = 0;
    int dis_fog_avail = 0, tex_comp_avail = 0, vbo_avail = 0, pbo_avail = 0;
    int vprog_avail = 0, fprog_avail = 0, automini_avail = 0, aniso_avail = 0;
    int fsaa_avail = 0, sprites_avail = 0, depth_tex_avail = 0, occlude_avail = 0;
    int shad_objs_avail = 0, vshader_avail = 0, fshader_avail = 0, gshader_avail = 0;
    int glsl_avail = 0, framebuf_avail = 0, sblend_avail = 0;
};

// What detection asks the driver: the GL strings (the extension list among
// them), integer and float limits, and entry points by name. The real driver
// asks the current context and GLX.
using OGL_proc = void (*)();
struct OGL_driver_queries {
    const GLubyte* (*get_string)(GLenum name);
    void (*get_integerv)(GLenum name, GLint* out);
    void (*get_floatv)(GLenum name, GLfloat* out);
    OGL_proc (*get_proc)(const GLubyte* name); // null when the driver lacks it
};
// Test hook: detection asks driver, so a scripted driver runs every path of
// detection, including drivers this machine does not have. A nullptr entry
// restores the real driver's; returns the previous table.
OGL_driver_queries OGL_set_driver_hook(const OGL_driver_queries& driver);

// The version number V of a GL_VERSION string: 100 x major + 10 x minor.
int OGL_version_number(const char* version);
// The flags set by version V or by a substring of the extension string.
OGL_caps OGL_caps_from(int version, const char* extensions);

class OGL_extensions
{
  public:
    OGL_extensions();

    // Detects, logs and alerts; needs the main context current. Runs once.
    void init_extensions();

#define OGL_EXT_MEMBER(type, name) type name;
    OGL_EXT_ALL(OGL_EXT_MEMBER)
#undef OGL_EXT_MEMBER

    int multitex_avail, tex_clamp_avail, add_env_avail, combine_avail, dis_fog_avail;
    int tex_comp_avail, vbo_avail, pbo_avail, vprog_avail, fprog_avail, automini_avail;
    int aniso_avail, fsaa_avail, sprites_avail, depth_tex_avail, occlude_avail;
    int shad_objs_avail, vshader_avail, fshader_avail, gshader_avail, glsl_avail;
    int first_gen_shaders, framebuf_avail, sblend_avail, threaded_avail;
    int max_tex_size;
};
