// In-place image utilities: the box filter and the row flip (DXT-aware).
#pragma once

#include <cstdint>

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
