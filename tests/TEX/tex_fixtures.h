// Image fixtures made by the tests themselves: DDS and BMP byte by byte,
// PNG through libpng's writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "GenC/hl_alert.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_image.h"
#include "support/temp_dir.h"

namespace texfix
{

// For a child that raises fatal alerts: prints where each alert says it
// comes from ("<file> line <n>") to standard output, before its text.
inline void print_alert_sources()
{
    alert_set_watch_hook([](const alert_notice& n) {
        std::printf("alert from %s line %d\n", n.source_file ? n.source_file : "", n.source_line);
        std::fflush(stdout);
    });
}

inline void put_le(std::string& s, size_t at, uint32_t v, int bytes)
{
    if (s.size() < at + bytes) s.resize(at + bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        s[at + i] = char((v >> (8 * i)) & 0xFF);
}

// DDS header fields the reader looks at; the rest stay zero.
struct DdsHeader {
    uint32_t flags = 0x1007; // caps, height, width, pixel format
    int width = 4;
    int height = 4;
    uint32_t pf_flags = 0x4;
    const char* fourcc = "DXT1";
    uint32_t caps = 0x1000;
};

constexpr uint32_t kDdsMipCount = 0x20000;
constexpr uint32_t kDdsCapsMip = 0x400000;

inline std::string make_dds(const DdsHeader& h, size_t data_bytes)
{
    std::string s(128, '\0');
    s.replace(0, 4, "DDS ");
    put_le(s, 4, 124, 4);
    put_le(s, 8, h.flags, 4);
    put_le(s, 12, uint32_t(h.height), 4);
    put_le(s, 16, uint32_t(h.width), 4);
    put_le(s, 76, 32, 4);
    put_le(s, 80, h.pf_flags, 4);
    if (h.fourcc) s.replace(84, 4, std::string(h.fourcc, 4));
    put_le(s, 108, h.caps, 4);
    for (size_t i = 0; i < data_bytes; ++i)
        s.push_back(char(i * 7 + 1));
    return s;
}

// A bitmap from rows of B, G, R bytes, bottom row first, each padded to 4.
struct BmpSpec {
    int width = 1;
    int height = 1;
    int bits = 24;
    uint32_t compression = 0;
    uint32_t data_offset = 54;
};

inline std::string make_bmp(const BmpSpec& b, const std::vector<std::vector<uint8_t>>& rows)
{
    std::string s(54, '\0');
    s[0] = 'B';
    s[1] = 'M';
    put_le(s, 10, b.data_offset, 4);
    put_le(s, 14, 40, 4);
    put_le(s, 18, uint32_t(b.width), 4);
    put_le(s, 22, uint32_t(b.height), 4);
    put_le(s, 26, 1, 2);
    put_le(s, 28, uint32_t(b.bits), 2);
    put_le(s, 30, b.compression, 4);
    s.resize(b.data_offset, '\0');
    for (const auto& r : rows) {
        std::string row(r.begin(), r.end());
        while (row.size() % 4)
            row.push_back('\0');
        s += row;
    }
    put_le(s, 2, uint32_t(s.size()), 4);
    return s;
}

// A PNG written by libpng. rows: top row first, packed as libpng expects
// for the colour type and bit depth.
struct PngSpec {
    int width = 1;
    int height = 1;
    int color_type = PNG_COLOR_TYPE_RGB;
    int bit_depth = 8;
    bool interlace = false;
    double gamma = 0; // 0: no gAMA chunk
    std::vector<png_color> palette;
    std::vector<uint8_t> trns_alpha; // palette tRNS
    bool trns_color = false;         // grey/RGB tRNS with trns_value
    png_color_16 trns_value{};
};

inline bool write_png(const std::string& path, const PngSpec& p,
                      const std::vector<std::vector<uint8_t>>& rows)
{
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), p.bit_depth, p.color_type,
                 p.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), int(p.palette.size()));
    if (!p.trns_alpha.empty())
        png_set_tRNS(png, info, p.trns_alpha.data(), int(p.trns_alpha.size()), nullptr);
    if (p.trns_color) {
        png_color_16 v = p.trns_value;
        png_set_tRNS(png, info, nullptr, 0, &v);
    }
    if (p.gamma > 0) png_set_gAMA(png, info, p.gamma);
    png_write_info(png, info);
    std::vector<png_bytep> ptrs;
    for (const auto& r : rows)
        ptrs.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, ptrs.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(fp) == 0;
}

// A header's sides and how a reader is asked to lay them out.
struct HeaderSidesCase {
    const char* name;
    uint32_t width, height;
    unsigned format;
    int row_length, power_of_two;
};

// One PNG chunk made by hand: its length field says `declared` bytes (the
// data's own size when negative), whatever data follows.
inline std::string png_chunk(const char* type, const std::string& data, long long declared = -1)
{
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const std::string body = std::string(type, 4) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    return be32(uint32_t(declared < 0 ? data.size() : size_t(declared))) + body +
           be32(uint32_t(crc));
}

// The signature and a valid IHDR chunk of an 8-bit image of colour type
// `color_type`; nothing after it.
inline std::string png_signature_and_header(uint32_t width, uint32_t height,
                                            int color_type = PNG_COLOR_TYPE_RGB)
{
    std::string ihdr;
    for (uint32_t v : {width, height})
        for (int i = 3; i >= 0; --i)
            ihdr.push_back(char(v >> (8 * i)));
    ihdr += std::string{8, char(color_type), 0, 0, 0};
    return std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk("IHDR", ihdr);
}

// A reader test: image files in a private folder, mapped as the readers get
// them, and the pixel block a reader malloc'd (freed after the test).
class ReaderTest : public ::testing::Test
{
  protected:
    // Writes bytes to a file of the folder and maps it.
    xmap_class* map_file(const std::string& name, const std::string& bytes)
    {
        dir_.write(name, bytes);
        return map_path(dir_ / name);
    }
    xmap_class* map_path(const std::string& path)
    {
        map_.reset(new xmap_class(path));
        return map_.get();
    }
    void TearDown() override { std::free(owned_); }

    TempDir dir_;
    std::unique_ptr<xmap_class> map_;
    unsigned char* owned_ = nullptr;
};

// An image descriptor without mipmaps.
inline TEX_image_desc desc_of(int format, int w, int h, int pad = 0)
{
    TEX_image_desc d;
    d.format = format;
    d.width = w;
    d.height = h;
    d.pad = pad;
    return d;
}

} // namespace texfix
