// The DDS reader: checks the header of a mapped file and points into it.
#pragma once

#include <string>

#include "TEX/TEX_image.h"

class xmap_class;

// Size of the DDS header; the pixel data starts right after it.
constexpr int kDdsHeaderBytes = 128;

// 1 with desc filled and pixels pointing at offset 128 of the mapping, else
// 0. The file must stay mapped while the pixels are used. A file shorter
// than its header and pixel data imply is refused.
int TEX_load_dds(const std::string& path, xmap_class* file, unsigned char*& pixels,
                 TEX_image_desc& desc);
