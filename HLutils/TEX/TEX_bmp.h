// The BMP reader: uncompressed 24-bit Windows bitmaps only.
#pragma once

#include <string>

#include "TEX/TEX_image.h"

class xmap_class;

// 1 after converting into 1, 3 or 4 bytes per pixel (bottom row first), 0 when
// the file has no mapping, its rows lie beyond the mapping, its height is
// negative, a side exceeds the image budget or the block would not fit the
// caller's buffer (a malloc'd block may be larger). Other bitmaps than
// 24-bit uncompressed end the program with a fatal alert.
int TEX_load_bmp(const std::string& path, xmap_class* file, unsigned char*& pixels,
                 unsigned int wanted_format, int row_length, int power_of_two,
                 TEX_image_desc& desc);
