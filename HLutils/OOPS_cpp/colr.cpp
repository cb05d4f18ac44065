#include "OOPS_cpp/colr.h"

#include <cmath>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"

namespace
{

struct ColrDefault {
    int id;
    float r, g, b;
};

// Ids not listed stay black; 34 .. 47 are sampled at start-up and 78 .. 83
// pulse, so their defaults are never seen. 1 and 69, the installer's error
// texts, are dark reds: they must stand out 4.5:1 on its light panels.
const ColrDefault kColrDefaults[] = {
    {0, 1, 1, 1},
    {1, 0.65f, 0, 0},
    {2, 1, 1, 0.2f},
    {3, 0.7f, 0.7f, 0.7f},
    {4, 0.8f, 0, 0},
    {5, 1, 1, 0},
    {6, 0.3f, 0.3f, 0.3f},
    {7, 0.2f, 0, 0},
    {8, 1, 0.8f, 0.2f},
    {9, 0.1f, 0.1f, 0.1f},
    {10, 0, 0.8f, 0},
    {13, 0, 0.4f, 0},
    {15, 0.4f, 0.4f, 1},
    {17, 0, 0, 0.6f},
    {18, 0.9f, 0.9f, 0.9f},
    {19, 0.8f, 0.1f, 0.1f},
    {20, 0.9f, 0.9f, 1},
    {21, 0.9f, 0.9f, 0.9f},
    {22, 0.1f, 0.1f, 0.1f},
    {24, 1, 1, 0},
    {26, 1, 1, 1},
    {27, 1, 1, 1},
    {28, 1, 1, 1},
    {29, 1, 1, 0},
    {31, 1, 1, 1},
    {32, 1, 1, 1},
    {33, 1, 1, 1},
    {49, 1, 1, 1},
    {50, 0.4f, 1, 0.4f},
    {51, 1, 0.4f, 0.4f},
    {52, 1, 1, 0.6f},
    {53, 0.7f, 0.7f, 1},
    {54, 1, 0.5f, 0},
    {55, 0.8f, 0.8f, 0.8f},
    {56, 0, 1, 0},
    {57, 1, 0.2f, 0.2f},
    {58, 1, 1, 0.2f},
    {59, 0.4f, 0.4f, 1},
    {60, 0.5f, 0.3f, 0},
    {61, 0.5f, 0.5f, 0.5f},
    {62, 0, 0.6f, 0},
    {63, 0.6f, 0.2f, 0},
    {64, 1, 1, 0},
    {65, 0.2f, 0.2f, 0.8f},
    {66, 1, 0.2f, 1},
    {67, 0.2f, 0.2f, 0.2f},
    {68, 0, 0.2f, 0},
    {69, 0.65f, 0, 0},
    {70, 0.6f, 0.6f, 0},
    {71, 0.15f, 0.15f, 0.6f},
    {72, 0.49f, 0.43f, 0.24f},
    {74, 0, 0.1f, 0},
    {75, 1, 0, 1},
    {76, 0, 1, 1},
    {77, 0.44f, 0.53f, 0.54f},
    {84, 1, 0, 1},
    {86, 1, 0, 1},
    {87, 1, 1, 1},
    {96, 0.5f, 0.5f, 0.4f},
    {97, 1, 0.3f, 0},
    {98, 0.5f, 0.5f, 0.4f},
    {99, 0.8f, 0.8f, 0.7f},
    {100, 0, 0.6f, 0.2f},
    {101, 1, 1, 0.9f},
    {104, 1, 1, 1},
};

constexpr double kAuthoredGamma = 1.8; // gamma the artwork was made for
constexpr double kDisplayGamma = 2.2;

} // namespace

colr_class::colr_class()
{
    // Every field is zero from its initialiser; store the defaults.
    for (const ColrDefault& d : kColrDefaults)
        assign(d.id, d.r, d.g, d.b);
    file_gamma = kAuthoredGamma;
    screen_gamma = kDisplayGamma;

    // The table follows the fixed 1.8 -> 2.2 curve, not the two fields: the
    // exponent is held in single precision, the power taken in double.
    const float e = float(kAuthoredGamma / kDisplayGamma);
    gamma_table[0] = 0;
    for (int i = 1; i < 256; ++i)
        gamma_table[i] = (unsigned char)(int)(255.0 * std::pow(i / 255.0, double(e)) + 0.5);
    gamma_table[255] = 255;

    gamma_needed = (screen_gamma != kAuthoredGamma) ? 1 : 0;
}

void colr_class::assign(int id, float r, float g, float b)
{
    rgb[id][0] = r;
    rgb[id][1] = g;
    rgb[id][2] = b;
}

void colr_class::set_pulse(float h)
{
    assign(78, h, h, h);
    assign(79, h, 0.5f * h, 0);
    assign(80, h, 0.3f * h, 0.3f * h);
    assign(81, 0.3f * h, 0.3f * h, h);
    assign(82, 0.2f * h, 0.8f * h, 0.2f * h);
    assign(83, 0.7f * h, 0.7f * h, 0.2f * h);
    pulse = h;
    pulse_drawn = 0;
}

// [SECTION] Plotting and light extras

namespace
{

// Red, orange, yellow, green, blue, violet.
const float roygbv_rgb_loc[6][3] = {
    {1, 0, 0}, {1, 0.32f, 0.08f}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {0.8f, 0, 0.8f},
};

constexpr int kColrLitCol = 48; // set by set_lit_col
constexpr float kColrInterfaceMin = 0.75f;

} // namespace

void colr_class::spectrum_init(int type)
{
    for (int i = 0; i < kColrSpectrumCount; ++i) {
        const float a = float(i) * 0.001f;
        float* e = spectrum[i];
        switch (type) {
        case 0: {
            int seg;
            float rest;
            if (a < 0.2f) {
                seg = 1;
                rest = a;
            } else if (a < 0.4f) {
                seg = 2;
                rest = a - 0.2f;
            } else if (a < 0.6f) {
                seg = 3;
                rest = a - 0.4f;
            } else if (a >= 0.8f) {
                seg = 5;
                rest = a - 0.8f;
            } else {
                seg = 4;
                rest = a - 0.6f;
            }
            const float f = 5 * rest;
            for (int c = 0; c < 3; ++c)
                e[c] = (1 - f) * roygbv_rgb_loc[seg - 1][c] + f * roygbv_rgb_loc[seg][c];
            break;
        }
        case 1:
            e[0] = a, e[1] = 0, e[2] = 0;
            break;
        case 2:
            e[0] = 0, e[1] = a, e[2] = 0;
            break;
        case 3:
            e[0] = 0, e[1] = 0, e[2] = a;
            break;
        default:
            return;
        }
    }
}

void colr_class::set_lites_for_interface()
{
    for (float& c : rgb[kColrLight])
        c = std::fmax(c, kColrInterfaceMin);
}

void colr_class::set_lit_col(int type)
{
    float* out = rgb[kColrLitCol];
    switch (type) {
    case 0:
        for (int c = 0; c < 3; ++c)
            out[c] = std::fmax(rgb[kColrLight][c], ren.lit_floor);
        break;
    case 1:
        assign(kColrLitCol, ren.lit_floor, ren.lit_floor, ren.lit_floor);
        break;
    case 2:
        assign(kColrLitCol, ren.lit_grey, ren.lit_grey, ren.lit_grey);
        break;
    default:
        __VOVARU_alert(0, "bad col_type!", "", "", "", t_exit, "HLutils/OOPS_cpp/colr", __LINE__);
    }
}
