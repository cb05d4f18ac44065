// The image writers: DDS with DXT blocks and a full mipmap chain (through
// libsquish) and 8-bit PNG (through libpng). Both take the in-memory layout
// of TEX_image_desc (bottom row first, `pad` bytes after each row) and write
// files top row first. A file appears under its name only once complete:
// the bytes go to a temporary name beside it first.
//
// A target that exists and is not a regular file (a device, a link) is written
// in place. libsquish runs OpenMP threads: a test that uses it does not fork
// afterwards.
#pragma once

#include <string>

#include "TEX/TEX_image.h"

// GL_RGB becomes DXT1, GL_RGBA DXT5; any other format is a fatal alert. 1
// after writing app_path + path; 0 when the file cannot be made or written,
// for an empty or oversized image.
int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc);

// GL_RGB, GL_RGBA or GL_ALPHA (grey); any other format is a fatal alert. 1
// after writing app_path + path; 0 on any failure (a libpng error shows the
// "PNG error!" warning first).
int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels);

// Saves the image in scratch_array: tightly packed rows, RGBA with 4 bytes
// per pixel, else RGB. 0 for an image larger than the buffer.
int write_png_to_disk(std::string path, int width, int height, int bytes_per_pixel);
