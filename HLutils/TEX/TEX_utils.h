// In-place image utilities: the box filter and the row flip (DXT-aware).
//
// Also loading by content (BMP or PNG by signature), the colour key and
// compositing.
#pragma once

#include <cstdint>
#include <string>

#include "TEX/TEX_image.h"

// The S3TC colour block: endpoints in RGB 5:6:5 (little-endian), then one
// byte of four 2-bit indices per texel row, top row first, leftmost texel
// in the lowest bits.
struct DXTColBlock {
    uint16_t col0;
    uint16_t col1;
    uint8_t row[4];
};

// The DXT5 alpha block: two endpoints, then four rows of 12 bits of 3-bit
// indices, top row in the lowest bits.
struct DXT5AlphaBlock {
    uint8_t alpha0;
    uint8_t alpha1;
    uint8_t stuff[6];
};

static_assert(sizeof(DXTColBlock) == 8, "S3TC colour block is 8 bytes");
static_assert(sizeof(DXT5AlphaBlock) == 8, "DXT5 alpha block is 8 bytes");

// Shrinks the first level in place by integer factors (each >= 1, the sides
// multiples of them); each channel becomes the mean over its cell.
void TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int factor_x, int factor_y);

// Reverses the row order of every level. Nonzero when some DXT1 block is in
// three-colour mode and uses its transparent index.
int TEX_flip_y(const TEX_image_desc& desc, unsigned char* pixels);

int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int found);
int nv_flip_blocks_dxtc3(DXTColBlock* blocks, int count, int unused);
int nv_flip_blocks_dxtc5(DXTColBlock* blocks, int count, int unused);
int nv_flip_dxt5_alpha(DXT5AlphaBlock* block);
void nv_gamma_correct(DXTColBlock* block);

// [SECTION] Loading by content, colour key, compositing, 5:6:5 steps

// Maps the file and reads it as BMP ("BM") or PNG (by its signature), with
// no power-of-two enlargement; DDS and other files give 0.
int TEX_load_any(const std::string& path, unsigned char*& pixels, unsigned int wanted_format,
                 int row_length, int alpha_follows_file, TEX_image_desc& desc);
// TEX_load_any of path with its 4-character extension (if any) replaced by
// ".png", then by ".bmp".
int TEX_load_any_ext(const std::string& path, unsigned char*& pixels, unsigned int wanted_format,
                     int row_length, int alpha_follows_file, TEX_image_desc& desc);

// Clears the alpha of pixels whose colour is within tolerance (sum of the
// channel differences below it) of key (red, green, blue). Only images of
// 4 bytes a pixel (GL_RGBA, GL_BGRA) have an alpha to clear; others stay.
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, unsigned char* key,
                    int tolerance);

// Draws src scaled into the rectangle (x1, y1)-(x2, y2) of dst, bilinear,
// over dst by src's alpha. Both must be RGB or RGBA (or both BGR or BGRA);
// other pairs are left alone.
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                   unsigned char* src, unsigned char* dst, float x1, float y1, float x2, float y2);

// One step of a 5:6:5 colour, green first, then blue, then red. 1 after a
// change; 0 when the colour is already at the end (it stays).
int IncColor565(unsigned short& colour);
int DecColor565(unsigned short& colour);
