// The colour table: every drawing call names its colour by an id into `colr`.
// It also carries the gamma correction the image readers apply and the pulse
// value of highlighted items.
#pragma once

// Number of colour ids, 0 .. 104.
constexpr int kColrCount = 105;
// Entries of the colour scale used by the plotting routines.
constexpr int kColrSpectrumCount = 1000;

// Colour ids with a fixed role in the library.
enum {
    kColrNoTint = 0,        // artwork quads of widgets and panels
    kColrFirstSampled = 34, // 34 .. 47 are sampled from the interface atlas at start-up
    kColrMenuMean = 39,     // mean of 35 and 38, set at start-up
    kColrLastSampled = 47,
    kColrLastLit = 45,    // ids 0 .. 45 are multiplied by the light colour when drawn
    kColrPulseFirst = 78, // 78 .. 83 pulse, rewritten every frame
    kColrPulseLast = 83,
    kColrInstlTint = 102, // tint of the installer artwork
    kColrLight = 104,     // the light colour
};

class colr_class
{
  public:
    double file_gamma = 0;               // gamma of image files without their own: 1.8
    double screen_gamma = 0;             // display gamma: 2.2
    int gamma_needed = 0;                // 1 when screen_gamma differs from 1.8
    unsigned char gamma_table[256] = {}; // 1.8-authored byte -> byte for the display
    float rgb[kColrCount][3] = {};
    float pulse = 0; // 0.4 .. 1.0 once the clock runs
    // 1 once something was drawn in a pulsing colour (or the caret) since the
    // clock last set the pulse: the screen moves and the window keeps its pace.
    int pulse_drawn = 0;
    float plot_lo = 0, plot_hi = 0, plot_range = 0;
    float spectrum[kColrSpectrumCount][3] = {};

    colr_class();

    // No range check: callers keep to 0 .. 104.
    void assign(int id, float r, float g, float b);
    // The clock's pulse h: the pulsing colours 78..83 in its shade, and
    // nothing pulsing drawn yet this frame.
    void set_pulse(float h);

    // Plotting and light extras; the installer calls none of them.
    // Fills `spectrum`: 0 rainbow, 1 red, 2 green, 3 blue ramp; others keep it.
    void spectrum_init(int type);
    // A 1000-pixel colour bar at (x, y) up, hi at its top and lo at its foot;
    // drawn with the 2-D shapes (oglp_shapes.cpp).
    void spectrum_plotscale(float x, float y, float lo, float hi, int decimals);
    // Every channel of the light colour at least 0.75.
    void set_lites_for_interface();
    // Colour 48 from the light colour (0), ren.lit_floor (1) or ren.lit_grey (2).
    void set_lit_col(int type);
};
