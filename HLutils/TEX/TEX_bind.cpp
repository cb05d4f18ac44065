// GL state cache and texture-binding cache.
#include "TEX/TEX_bind.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OGL/OGL_ren.h"

UTL_stat gKillTex("perf/kill_tex", UTL_stat_perf, 0);

// ---------------------------------------------------------------------------
// [SECTION] State cache
// ---------------------------------------------------------------------------

namespace
{
// What OGL_setstate last set (o_tex: enabled unit count).
struct state_cache {
    int fog, tex, lit, alB, alT, deR, deW;
};

state_cache& cache()
{
    // Seeded from GL once, at the first call with a context current.
    static state_cache c = [] {
        state_cache s;
        s.fog = glIsEnabled(GL_FOG) ? kFogOn : kFogOff;
        s.tex = glIsEnabled(GL_TEXTURE_2D) ? num_units : 0;
        s.lit = glIsEnabled(GL_LIGHTING) ? kLightOn : kLightOff;
        s.alB = glIsEnabled(GL_BLEND) ? 1 : 0;
        s.alT = glIsEnabled(GL_ALPHA_TEST) ? 1 : 0;
        s.deR = glIsEnabled(GL_DEPTH_TEST) ? kDepthOn : kDepthOff;
        s.deW = kDepthNoWrite; // the context is made with depth writes off
        return s;
    }();
    return c;
}

void set_cap(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}
} // namespace

void OGL_setstate(int fog, int units, int light, int blend, int depth, int mask)
{
    state_cache& c = cache();

    if (fog != c.fog) set_cap(GL_FOG, fog == kFogOn);

    if (units != c.tex) {
        if (units >= 1) {
            glEnable(GL_TEXTURE_2D);
        } else {
            glDisable(GL_TEXTURE_2D);
            if (units < 0) units = 0;
        }
        if (units > ren.max_tex_units) units = ren.max_tex_units;
        num_units = units;
        if (units > 1 || c.tex > 1) {
            for (int i = 0; i < kTexUnits; ++i)
                if (c.tex <= i && i < units) {
                    glActiveTextureARB(GL_TEXTURE0 + i);
                    glEnable(GL_TEXTURE_2D);
                }
            for (int i = 0; i < kTexUnits; ++i)
                if (units <= i && i < c.tex) {
                    glActiveTextureARB(GL_TEXTURE0 + i);
                    glDisable(GL_TEXTURE_2D);
                }
            glActiveTextureARB(GL_TEXTURE0);
        }
    }

    if (light != c.lit) {
        set_cap(GL_LIGHTING, light == kLightOn);
        set_cap(GL_LIGHT0, light == kLightOn);
    }

    const int want_blend = (blend == kBlendOn || blend == kBlendAndTest) ? 1 : 0;
    const int want_test = (blend == kAlphaTest || blend == kBlendAndTest) ? 1 : 0;
    if (want_blend != c.alB) set_cap(GL_BLEND, want_blend);
    if (want_test != c.alT) set_cap(GL_ALPHA_TEST, want_test);

    if (depth != c.deR) set_cap(GL_DEPTH_TEST, depth == kDepthOn);
    if (mask != c.deW) glDepthMask(mask == kDepthWrite ? GL_TRUE : GL_FALSE);

    c.fog = fog;
    c.tex = units;
    c.lit = light;
    c.alB = want_blend;
    c.alT = want_test;
    c.deR = depth;
    c.deW = mask;
}

// ---------------------------------------------------------------------------
// [SECTION] Texture binding
// ---------------------------------------------------------------------------

namespace
{
int o_tex[kTexUnits] = {-1, -1, -1, -1, -1, -1, -1, -1}; // name bound per unit
int o_mod[kTexUnits] = {-1, -1, -1, -1, -1, -1, -1, -1}; // environment recipe per unit

// Sources and operands of one combine function: up to three arguments.
struct combine_fn {
    GLenum fn;
    int n;
    GLenum src[3];
    GLenum op[3];
};

constexpr GLenum P = GL_PREVIOUS, T = GL_TEXTURE, K = GL_CONSTANT, C = GL_PRIMARY_COLOR;
constexpr GLenum RGB = GL_SRC_COLOR, A = GL_SRC_ALPHA, INV_A = GL_ONE_MINUS_SRC_ALPHA;

struct recipe {
    int mode;
    combine_fn rgb, alpha;
    int env_colour;    // -1 unchanged, 0 black, 1 white
    float alpha_scale; // 0: not set
};

const recipe kRecipes[] = {
    {1, {GL_ADD, 2, {P, T}, {RGB, RGB}}, {GL_REPLACE, 1, {P}, {A}}, -1, 1.0f},
    {2, {GL_ADD, 2, {P, T}, {RGB, RGB}}, {GL_ADD, 2, {P, T}, {A, A}}, -1, 1.0f},
    {10, {GL_MODULATE, 2, {P, T}, {RGB, RGB}}, {GL_REPLACE, 1, {T}, {A}}, -1, 1.0f},
    {11, {GL_REPLACE, 1, {P}, {RGB}}, {GL_SUBTRACT, 2, {T, P}, {A, A}}, -1, 4.0f},
    {12, {GL_REPLACE, 1, {P}, {RGB}}, {GL_MODULATE, 2, {P, T}, {INV_A, A}}, -1, 1.0f},
    {13, {GL_MODULATE, 2, {P, P}, {RGB, INV_A}}, {GL_REPLACE, 1, {K}, {A}}, 1, 1.0f},
    {14, {GL_REPLACE, 1, {P}, {RGB}}, {GL_REPLACE, 1, {P}, {A}}, -1, 1.0f},
    {15, {GL_REPLACE, 1, {P}, {RGB}}, {GL_REPLACE, 1, {K}, {A}}, 1, 1.0f},
    {16, {GL_MODULATE, 2, {P, T}, {RGB, RGB}}, {GL_REPLACE, 1, {K}, {A}}, 1, 1.0f},
    {17, {GL_REPLACE, 1, {T}, {A}}, {GL_REPLACE, 1, {K}, {A}}, 1, 1.0f},
    {18, {GL_INTERPOLATE, 3, {T, P, T}, {RGB, RGB, A}}, {GL_REPLACE, 1, {P}, {A}}, -1, 1.0f},
    {19, {GL_INTERPOLATE, 3, {T, P, P}, {RGB, RGB, A}}, {GL_REPLACE, 1, {P}, {A}}, -1, 1.0f},
    {20, {GL_MODULATE, 2, {P, T}, {RGB, A}}, {GL_REPLACE, 1, {P}, {A}}, -1, 1.0f},
    {21,
     {GL_INTERPOLATE, 3, {T, P, K}, {RGB, RGB, RGB}},
     {GL_INTERPOLATE, 3, {T, P, K}, {A, A, A}},
     -1,
     1.0f},
    {22, {GL_INTERPOLATE, 3, {T, K, T}, {RGB, RGB, A}}, {GL_REPLACE, 1, {P}, {A}}, -1, 1.0f},
    {23, {GL_MODULATE, 2, {P, C}, {RGB, RGB}}, {GL_REPLACE, 1, {P}, {A}}, -1, 0.0f},
    {24, {GL_INTERPOLATE, 3, {C, K, T}, {RGB, RGB, RGB}}, {GL_REPLACE, 1, {T}, {A}}, 0, 1.0f},
};

const GLenum kSrcRgb[3] = {GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB};
const GLenum kOpRgb[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
const GLenum kSrcAlpha[3] = {GL_SOURCE0_ALPHA, GL_SOURCE1_ALPHA, GL_SOURCE2_ALPHA};
const GLenum kOpAlpha[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};

void set_recipe(int mode)
{
    const recipe* r = nullptr;
    for (const recipe& x : kRecipes)
        if (x.mode == mode) r = &x;
    if (!r) { // a plain GL environment mode (GL_MODULATE, GL_REPLACE, ...)
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
        return;
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, r->rgb.fn);
    for (int i = 0; i < r->rgb.n; ++i) {
        glTexEnvi(GL_TEXTURE_ENV, kSrcRgb[i], r->rgb.src[i]);
        glTexEnvi(GL_TEXTURE_ENV, kOpRgb[i], r->rgb.op[i]);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, r->alpha.fn);
    for (int i = 0; i < r->alpha.n; ++i) {
        glTexEnvi(GL_TEXTURE_ENV, kSrcAlpha[i], r->alpha.src[i]);
        glTexEnvi(GL_TEXTURE_ENV, kOpAlpha[i], r->alpha.op[i]);
    }
    if (r->env_colour >= 0) {
        const float v = r->env_colour ? 1.0f : 0.0f;
        const float col[4] = {v, v, v, v};
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, col);
    }
    if (r->alpha_scale > 0) glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, r->alpha_scale);
}
} // namespace

void TEX_bind_ref(int tex, int unit, int mode)
{
    if (mode == 0) mode = GL_MODULATE;
    if (gKillTex.stat_value != 0 && tex != kTexAtlas) tex = kTexGrey;
    if (tex == o_tex[unit] && mode == o_mod[unit]) return;

    if (unit > 0) glActiveTextureARB(GL_TEXTURE0 + unit);
    if (tex != o_tex[unit]) {
        glBindTexture(GL_TEXTURE_2D, tex);
        o_tex[unit] = tex;
    }
    if (mode != kTexEnvUntouched && mode != o_mod[unit]) {
        o_mod[unit] = mode;
        if (glExt.combine_avail)
            set_recipe(mode);
        else
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
    }
    if (unit > 0) glActiveTextureARB(GL_TEXTURE0);
}

void TEX_reset_bind()
{
    for (int i = 0; i < kTexUnits; ++i)
        o_tex[i] = o_mod[i] = -1;
}

void TEX_delete_texture(int tex)
{
    const GLuint name = GLuint(tex);
    glDeleteTextures(1, &name);
    for (int i = 0; i < kTexUnits; ++i)
        if (o_tex[i] == tex) o_tex[i] = -1;
}

void TEX_set_blend_level(int unit, float level)
{
    if (unit < 0 || unit >= ren.max_tex_units) return;
    const float col[4] = {level, level, level, level};
    if (unit > 0) glActiveTextureARB(GL_TEXTURE0 + unit);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, col);
    if (unit > 0) glActiveTextureARB(GL_TEXTURE0);
}
