// The OpenGL renderer record: limits and strings read once the context exists
// (filled by OGL_extensions::init_extensions) and two drawing settings.
#pragma once

#include <string>
#include <vector>

struct ren_struct {
    float max_aniso = 0.0f; // 1.0 unless anisotropic filtering is there
    int max_tex_units = 0;  // fixed-function units, at least 1 after detection
    int max_image_units = 0;
    int max_tex_coords = 0;
    const char* gl_vendor = nullptr; // owned by the driver
    const char* gl_renderer = nullptr;
    const char* gl_version = nullptr;
    const char* gl_extensions = nullptr;
    int monochrome = 0;        // never set in this program
    float global_alpha = 1.0f; // alpha multiplier of every drawing call
    float lit_grey = 0.0f, lit_floor = 0.0f;
    std::vector<std::string> strings_a;
    std::vector<std::string> strings_b;
};
