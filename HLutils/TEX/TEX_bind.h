// The GL state cache and the texture-binding cache: the only places that
// switch fixed-function state and call glBindTexture.
//
// A test holds every other file to no glBindTexture. TEX_bind is also the
// only caller of glDeleteTextures, so the binding cache forgets a deleted
// name.
#pragma once

#include "UTL/UTL_memory.h"

// Argument values of OGL_setstate.
enum {
    kFogOn = 0,
    kFogOff = 1,
    kLightOn = 2,
    kLightOff = 3,
    kBlendNone = 4,
    kBlendOn = 5,
    kAlphaTest = 6,
    kBlendAndTest = 7,
    kDepthOn = 8,
    kDepthOff = 9,
    kDepthWrite = 10,
    kDepthNoWrite = 11,
};

constexpr int kTexUnits = 8;         // units the binding cache knows
constexpr int kTexEnvUntouched = 25; // bind without touching the environment
constexpr int kTexAtlas = 389;       // interface atlas, never replaced by kill_tex
constexpr int kTexGrey = 927;        // grey fallback texture

// Brings fog, texture units, lighting, blending/alpha test, depth test and
// depth writes to the state given, issuing only the GL calls that change it.
void OGL_setstate(int fog, int units, int light, int blend, int depth, int mask);

// Binds texture name tex on unit (0..7) with environment recipe mode; unit 0
// is the active unit again on return.
void TEX_bind_ref(int tex, int unit, int mode);

// Forgets what every unit has bound (a new context has its own bindings).
void TEX_reset_bind();

// Deletes GL texture name tex. GL binds texture 0 wherever tex was bound, so
// the units that held it forget it: a texture made again under the same name
// is really bound before its upload.
void TEX_delete_texture(int tex);

// The constant colour (level, level, level, level) of `unit`, which the
// recipes 21 and 22 mix with; a unit the hardware lacks is ignored. The
// binding cache is not touched.
void TEX_set_blend_level(int unit, float level);

// The "perf/kill_tex" debugging switch: while its value is non-zero every
// texture but the atlas is bound as the grey fallback. Nothing sets it.
extern UTL_stat gKillTex;
