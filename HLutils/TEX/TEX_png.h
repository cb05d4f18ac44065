// The PNG reader: decodes a mapped PNG file through libpng into GL_ALPHA,
// GL_RGB or GL_RGBA rows, bottom row first, gamma-corrected for the display.
// One PNG is decoded at a time (the callbacks share file-level state).
//
// Image headers are untrusted: each side is held to the image budget before any
// size is multiplied, and libpng's own limits follow that budget.
#pragma once

#include <string>

#include <png.h>

#include "TEX/TEX_image.h"

class xmap_class;

// 1 with desc and pixels filled; 0 when the mapping is missing or shorter
// than 8 bytes, or the decoded block would not fit the caller's buffer
// (kTexMaxImageBytes). pixels null: the block is malloc'd, of any size that
// can be had; else the caller's buffer is used.
// row_length 0 or a row length in pixels >= width; power_of_two pads both
// sides to powers of two; alpha_follows_file lets the file choose between
// GL_RGB and GL_RGBA.
int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& pixels,
                 unsigned int wanted_format, int row_length, int power_of_two,
                 int alpha_follows_file, TEX_image_desc& desc);

// libpng callbacks.
void my_readbuf(png_struct* png, unsigned char* dst, png_size_t len);
void my_error(png_struct* png, const char* message);
void my_warning(png_struct* png, const char* message);
png_voidp my_malloc(png_struct* png, png_alloc_size_t size);
void my_free(png_struct* png, png_voidp ptr);
