// Helpers shared by the texture-manager tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "TEX/tex_fixtures.h"
#include "support/alert_probe.h"
#include "support/xvfb.h"

// An 8-bit PNG written by libpng, rows given bottom first (the GL order),
// 3 or 4 channels.
inline bool write_png_file(const std::string& path, int w, int h, int ch,
                           const std::vector<uint8_t>& bottom_first)
{
    texfix::PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.color_type = ch == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    std::vector<std::vector<uint8_t>> rows;
    for (int y = h - 1; y >= 0; --y)
        rows.emplace_back(bottom_first.begin() + size_t(y) * w * ch,
                          bottom_first.begin() + size_t(y + 1) * w * ch);
    return texfix::write_png(path, spec, rows);
}

// The window, the buffers and the log in a private folder. Alerts go to
// standard output, not to a modal window that would wait for a click: a
// warning returns at once, a fatal one ends the child with its text.
inline void open_window(TempCwd& cwd)
{
    xvfb_open_shell_window();
    VOVARU_align_scratch();
    xer.open(cwd.path() + "Log.txt", std::ios::out | std::ios::trunc);
    ogl_inited = 0;
}
