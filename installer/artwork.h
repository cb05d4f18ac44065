// The installer's artwork, which the main screen and the modal windows both
// draw: pieces of the installer image (buttons, icons) and the background.
#pragma once

// Tints of the installer image's pieces.
enum {
    kRectUntinted = 0,
    kRectGreen = 1, // a button that works
    kRectRed = 2,   // a button that does not work yet
};
// Draws the w x h piece of the installer image at (ax, ay) at (x, y); hover
// shows the pointed-at or pressed copy under the pointer. 1 when this
// frame's press lies in the rectangle.
int interface_rect(float x, float y, float ax, float ay, float w, float h, int hover, int tint);
// Icon n of the installer image's 64 x 64 grid at (x, y).
void interface_icon(float x, float y, int n);
// The background image over the 1024 x 768 interface area.
void draw_background();
