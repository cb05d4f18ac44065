// Row layout of the blocks the PNG and BMP readers write.
#include "TEX/TEX_image.h"

#include <climits>

namespace
{

long long next_power_of_two(long long v)
{
    long long p = 1;
    while (p < v)
        p *= 2;
    return p;
}

} // namespace

bool TEX_layout_block(long long width, long long height, int bpp, int row_length, int power_of_two,
                      bool into_caller_buffer, TEX_block_layout& out)
{
    // Sides first: once both lie within the budget no product below can
    // overflow, however large the header said they were.
    if (width < 1 || height < 1 || width > kTexMaxImageBytes || height > kTexMaxImageBytes)
        return false;
    if (row_length != 0 && row_length < width) return false;

    TEX_block_layout l;
    l.pad = row_length ? (long long)bpp * (row_length - width) : 0;
    if (power_of_two) {
        const long long w2 = next_power_of_two(width);
        const long long h2 = next_power_of_two(height);
        l.pad = (long long)bpp * (w2 - width);
        l.row_bytes = (long long)bpp * w2;
        l.rows = h2;
        l.clear = l.pad > 0 || height < h2;
    } else {
        l.row_bytes = l.pad + (long long)bpp * width;
        l.rows = height;
    }
    // The descriptor keeps the pad in an int.
    if (l.row_bytes > INT_MAX) return false;
    if (into_caller_buffer && l.row_bytes * l.rows > kTexMaxImageBytes) return false;
    out = l;
    return true;
}
