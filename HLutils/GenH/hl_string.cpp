#include "GenH/hl_string.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

void flt_to_str(float value, std::string* out, int digits, int decimals, int blank)
{
    if (decimals < 0) return;

    // Kept between calls on purpose: the screen formats many numbers a frame.
    static char int_field[32];
    static char frac_field[32];

    const double v = value;
    long long whole = std::llabs(static_cast<long long>(static_cast<int>(v)));
    const double frac = std::fabs(v - static_cast<int>(v));
    long long scale = 1;
    for (int i = 0; i < decimals && i < 18; i++)
        scale *= 10;
    long long part = std::llround(frac * static_cast<double>(scale));
    if (decimals > 0 && part >= scale) {
        // 1.96 with one decimal: carry into the whole number, "2.0", rather
        // than show a fraction field one digit too wide. Without decimals the
        // whole number stays truncated, as no fraction is shown.
        whole += 1;
        part -= scale;
    }

    // Fields wider than the buffers are beyond any screen use.
    const int width = std::max(1, std::min(digits - decimals, 20));
    std::snprintf(int_field, sizeof int_field, "%0*lld", width, whole);
    for (char* c = int_field; c[0] == '0' && c[1] != '\0'; c++)
        *c = ' ';
    std::snprintf(frac_field, sizeof frac_field, "%0*lld", std::min(decimals, 18), part);

    std::string text;
    if (value < 0)
        text = "-";
    else if (blank)
        text = " ";
    text += int_field;
    if (decimals > 0) {
        text += '.';
        text += frac_field;
    }
    *out = text;
}

void get_path_with_path(std::string& folder, const std::string& path)
{
    const long len = static_cast<long>(path.size());
    long at = len - 1;
    if (len >= 3 && path[len - 1] == '/') at = len - 2; // a trailing '/' is not the separator
    while (at >= 0 && path[at] != '/')
        at--;
    folder = at >= 0 ? path.substr(0, at + 1) : std::string();
}

int path_has_no_file(const std::string& path)
{
    return path.empty() || path.back() == '/';
}

int str_to_int(const std::string& text)
{
    if (text.empty()) return -1;
    for (char c : text)
        if (!(c >= '0' && c <= '9') && c != '+' && c != '-') return -1;

    size_t first = 0;
    int sign = 1;
    if (text[0] == '+' || text[0] == '-') {
        sign = text[0] == '-' ? -1 : 1;
        first = 1;
    }
    const size_t count = text.size() - first;
    if (count < 1 || count > 9) return -1;

    // A sign further in counts as +1 or -1 in its decimal place ("1-2" is 92).
    int value = 0;
    for (size_t i = first; i < text.size(); i++) {
        const char c = text[i];
        const int d = c == '+' ? 1 : c == '-' ? -1 : c - '0';
        value = value * 10 + d;
    }
    return value * sign;
}
