// The image descriptor shared by every image reader, converter and writer,
// and the byte count of an image with its smaller levels.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// A plain block of pixel bytes.
//   Uncompressed level: `height` rows of width * bytes-per-pixel bytes, each
//   followed by `pad` bytes. DXT level: ceil(w/4) * ceil(h/4) blocks.
//   With has_mips the levels, each half the one before down to 1x1, follow
//   without gaps. PNG and BMP readers store the bottom row first; DDS data
//   stays top row first until TEX_flip_y.
struct TEX_image_desc {
    int format = 0; // GL_ALPHA, GL_RGB, GL_RGBA, GL_BGR, GL_BGRA or a DXT format
    int width = 0;  // of the first (largest) level
    int height = 0;
    int pad = 0;      // bytes after each row; 0 for DXT formats
    int has_mips = 0; // 1: every smaller level down to 1x1 follows
};

// The size of the shared image buffers. An image decoded into a caller's
// buffer must fit it; readers refuse larger ones from the header, before
// decoding. A side longer than this fits no buffer at all.
constexpr long long kTexMaxImageBytes = 16LL * 1024 * 1024;

// Bytes of the first level and, with has_mips, of every smaller level; 0 for
// a format outside the table above, and for a count an int cannot hold.
int TEX_bytes_needed_for_image(const TEX_image_desc& desc);

// The block a PNG or BMP reader writes: `rows` rows of `row_bytes` bytes,
// each picture row followed by `pad` bytes. With `clear` the padding columns
// and rows must be zeroed.
struct TEX_block_layout {
    long long pad = 0;
    long long row_bytes = 0;
    long long rows = 0;
    bool clear = false;
};

// Lays out a width x height image of bpp bytes a pixel for the readers'
// row_length and power_of_two arguments. False when a side is below 1 or
// beyond the image budget (checked before any product, so nothing can
// overflow), row_length is below width, a row would not fit an int, or
// the block would not fit a caller's buffer (into_caller_buffer).
bool TEX_layout_block(long long width, long long height, int bpp, int row_length, int power_of_two,
                      bool into_caller_buffer, TEX_block_layout& out);
