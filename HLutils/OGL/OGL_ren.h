// The OpenGL renderer record: limits and strings read once the context exists.
#pragma once

#include <string>
#include <vector>

struct ren_struct {
    float global_alpha = 1.0f;
    std::vector<std::string> strings_a;
    std::vector<std::string> strings_b;
};
