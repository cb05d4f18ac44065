// The drawing frame and the 2-D primitives. Coordinates are window units
// relative to the current window's lower-left corner (mnw.win_x, win_y), y up.
#pragma once

#include <cstddef>
#include <string>

// OGL_viewport modes.
constexpr int kViewOrtho2D = 2; // pixel projection over the whole drawable
constexpr int kViewFrustum = 3;

constexpr int kColBackground = 34; // window background colour id
constexpr int kColLight = 104;     // light colour, multiplies ids up to 45
constexpr int kColLitMax = 45;

// Screen figures of mnw from res_x, res_y; sets the 2-D projection once a
// window is current. The argument is not used.
void OGL_pix_specs(int);
void OGL_viewport(int mode, float left, float view_x0, float bottom, float view_y0, float right,
                  float view_x1, float near_z, float top, float view_y1, float far_z, float zoom,
                  int keep_aspect);
void OGL_scissors(float x, float y, float w, float h);
void OGL_scissors_end();
void OGL_nrml_colors();

void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h);
void OGL_framerect(int colour, float alpha, float x, float y, float w, float h);
void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2);
void OGL_2dquad(int tex_ref, int colour, float alpha, float x1, float y1, float s1, float t1,
                float x2, float y2, float s2, float t2, float x3, float y3, float s3, float t3,
                float x4, float y4, float s4, float t4, int units, int blend);
// The whole drawable in colour 34, whatever window is current. Returns 0.
int OGL_plot_back_col();
// Ends a frame: neutral colour, then swap the buffers of the GL window.
void OGL_sbuff();

// The colour rule: the colour an id and alpha are drawn with (rgba; a is
// above 0.99 only when drawn opaque). Returns 1 when drawn opaque.
int OGL_colour_for(int colour, float alpha, float out_rgba[4]);

// ---------------------------------------------------------------------------
// More 2-D shapes, small 3-D pieces and GL switches (oglp_shapes.cpp). The
// installer calls none of them; the 2-D ones add the window origin like the
// primitives above, the 3-D ones draw in the caller's model-view space.
// ---------------------------------------------------------------------------

// The colour rule applied to GL's current colour (opaque as glColor3).
void OGL_set_colour(int colour, float alpha);

// Circle outline of 73 points from the top, clockwise; blending off.
void OGL_framecircle(int colour, float x, float y, float radius);
// Disc of horizontal lines one pixel apart.
void OGL_fillcircle(int colour, float x, float y, float radius);
// Concentric arcs one pixel apart, one-degree segments; angle 0 is up and
// angles grow clockwise.
void OGL_arc(int colour, float x, float y, float inner_radius, float outer_radius, float from_deg,
             float to_deg);
// Rectangle between two corners in colour 12.
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);
// Axis-aligned textured rectangle from a position, a size and a texture box.
void OGL_2dquad_d(int tex_ref, int colour, float alpha, float x, float y, float s, float t, float w,
                  float h, float ds, float dt, int blend);
// GL colour of v (0 black, then red through violet at 1).
void OGL_spectrum_rgb(float v);

// Inside the caller's glBegin(GL_LINES).
void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
// Inside the caller's glBegin(GL_QUADS): normal, texture and four vertices.
void OGL_3dquad(float* p1, float* p2, float* p3, float* p4);
void OGL_3dquad_st(float* p1, float* p2, float* p3, float* p4, float s1, float t1, float s2,
                   float t2);
// Closed solids with their own glBegin/glEnd and matrix push.
void OGL_disc(float x, float y, float z, float size);
void OGL_cube(float x, float y, float z, float size_x, float size_y, float size_z, float s1,
              float s2, float t1, float t2, float heading);

void OGL_poly_offset(int n);
void OGL_glow_colors();
void OGL_setspec(float level);
// Only the GL viewport (mode 2 whole drawable, 3 in window units).
void OGL_screensize(int mode, float x0, float y0, float x1, float y1);
void OGL_printer();

// Unit-square texture coordinates.
extern const float st00[2], st01[2], st11[2], st10[2];

// ---------------------------------------------------------------------------
// Background picture, screenshot and text on a backing (oglp_back.cpp). The
// installer calls none of them.
// ---------------------------------------------------------------------------

// The background picture is cut into a 4 x 4 grid of 512 x 512 RGBA tiles,
// texture slots 424 + 4 row + column, rows counted from the picture's bottom.
constexpr int kBackTileSide = 512;
constexpr int kBackTileGrid = 4;
constexpr int kBackMaxSide = kBackTileSide * kBackTileGrid; // 2048
extern const char* const kBackPicturePath;                  // "Resources/bitmaps/intro.png"
// Size of the background picture in pixels; 0 until it is made, and again
// when its tiles could not be made.
extern int back_dx, back_dy;
// Test hook: OGL_make_back_tex takes the 16 MB block it cuts the tiles from
// with fn (freed with free), so a test can make it fail. nullptr restores
// malloc; returns the previous hook.
using OGL_back_alloc_fn = void* (*)(std::size_t bytes);
OGL_back_alloc_fn OGL_set_back_alloc_hook(OGL_back_alloc_fn fn);

// Loads the picture and uploads it as the sixteen tiles; only during
// start-up (no window current). A missing or unreadable picture is fatal.
void OGL_make_back_tex();
// Draws the picture from its tiles, in GL-window pixels, each tile at its
// own size: at start-up against the window's top (and right when narrower),
// over colour 34 where it does not cover the window; with a window current
// in the 1024 x 768 area.
void OGL_plot_back_tex();

// Where the picture lies, in GL-window pixels, and whether the window is
// first filled with colour 34.
struct back_box {
    float left = 0, right = 0, bottom = 0, top = 0;
    bool fill = false;
};
back_box OGL_back_box(bool window_current, int drawable_w, int drawable_h, float area_x,
                      int picture_w, int picture_h);
// The part of the picture tile (column i, row j) holds, as drawn: the
// window rectangle and the texture's upper corner (s1, t1) (the lower one is
// (0, 0)). False when the picture does not reach the tile or the tile lies
// outside the drawable.
struct back_tile_quad {
    float x0, y0, x1, y1;
    float s1, t1;
};
bool OGL_back_tile_quad(const back_box& box, int i, int j, int drawable_w, int drawable_h,
                        back_tile_quad* out);

// Reads the middle of the GL window (at most 2048 x 2048) into scratch_array
// as packed RGB rows, bottom first; with save, also writes it as the first
// "screenshot_" + number + ".png" after the last used whose name is free.
void OGL_screenshot(int save);
// The block OGL_screenshot reads from a drawable of W x H.
void OGL_screenshot_box(int drawable_w, int drawable_h, int* x, int* y, int* w, int* h);
// Whether a screenshot name is taken: any entry under it (file, folder,
// link, even a dangling one), so a screenshot never lands on or through it.
bool OGL_screenshot_name_taken(const std::string& name);

// Text in a field bar centred at x, with the label's left and right texts
// beside the bar; the bar is as wide as the text (charsets 100 and 102) or
// 100 pixels.
void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text,
                      int charset, int colour);
// Width of the field bar of OGL_boxed_string.
float OGL_boxed_width(const std::string& text, int charset);
// Proportional text centred on x over a grey box at half alpha.
void OGL_gray_string(int colour, float x, float y, std::string text);
