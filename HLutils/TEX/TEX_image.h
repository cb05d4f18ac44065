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
    int format = 0;    // GL_ALPHA, GL_RGB, GL_RGBA, GL_BGR, GL_BGRA or a DXT format
    int width = 0;     // of the first (largest) level
    int height = 0;
    int pad = 0;       // bytes after each row; 0 for DXT formats
    int has_mips = 0;  // 1: every smaller level down to 1x1 follows
};

// Every decoded image must fit the shared 16 MB image buffers; readers refuse
// larger ones from the header, before decoding.
constexpr long long kTexMaxImageBytes = 16LL * 1024 * 1024;

// Bytes of the first level and, with has_mips, of every smaller level; 0 for
// a format outside the table above.
int TEX_bytes_needed_for_image(const TEX_image_desc& desc);
