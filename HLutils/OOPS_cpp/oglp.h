// The drawing frame and the 2-D primitives. Coordinates are window units
// relative to the current window's lower-left corner (mnw.win_x, win_y), y up.
#pragma once

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
