// The installer's artwork: pieces of the installer image and the background.
#include "installer/artwork.h"

#include <cmath>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/tman.h"

namespace
{
constexpr float kImageTexels = 1024; // the installer image is addressed in pixels / 1024
constexpr int kBlendAlpha = 5, kBlendOpaque = 4;
constexpr int kColBackImage = 49;
} // namespace

int interface_rect(float x, float y, float ax, float ay, float w, float h, int hover, int tint)
{
    x = std::trunc(x);
    y = std::trunc(y);
    if (tint == kRectGreen)
        colr.assign(kColrInstlTint, 0.8f, 1, 0.8f);
    else if (tint == kRectRed)
        colr.assign(kColrInstlTint, 1, 0.8f, 0.8f);
    else
        colr.assign(kColrInstlTint, 1, 1, 1);
    const bool in =
        x <= mnw.mouse_x && mnw.mouse_x <= x + w && y <= mnw.mouse_y && mnw.mouse_y <= y + h;
    // The pointed-at copy lies one artwork below the normal one, the pressed one two.
    if (hover && in) ay -= (mnw.mouse_held ? 2 : 1) * (h + 1);
    const float s0 = ax / kImageTexels, s1 = (ax + w) / kImageTexels;
    const float t0 = ay / kImageTexels, t1 = (ay + h) / kImageTexels;
    OGL_2dquad(kTexInstaller, kColrInstlTint, 1, x, y, s0, t0, x, y + h, s0, t1, x + w, y + h, s1,
               t1, x + w, y, s1, t0, 1, kBlendAlpha);
    return mnw.mouse_press && in ? 1 : 0;
}

void interface_icon(float x, float y, int n)
{
    interface_rect(x, y, static_cast<float>((n % 8) * 64), static_cast<float>((n / 8) * 64 + 66),
                   64, 64, 0, kRectUntinted);
}

void draw_background()
{
    // The picture is opaque and covers the window: nothing to blend with.
    OGL_2dquad(kTexInsBack1, kColBackImage, 1, 0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f,
               1024, 0, 1, 0, 1, kBlendOpaque);
}
