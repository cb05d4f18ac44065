// The DDS and PNG writers: headers and level sizes, level 0 read back by
// ImageMagick, smaller levels by libsquish, PNG round trips through our own
// reader, and failures (full device, file size limit, bad arguments).
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>
#include <squish.h>

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_png.h"
#include "TEX/TEX_write.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "tex_fixtures.h"

namespace
{

using Bytes = std::vector<unsigned char>;

struct Rgba {
    unsigned char r, g, b, a;
};

// An image in the library's layout: bottom row first, pad bytes after each
// row. colour(x, y) gives the pixel, y counted from the bottom.
template <class F> Bytes make_image(int w, int h, int bpp, int pad, F colour)
{
    Bytes b;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgba c = colour(x, y);
            const unsigned char all[4] = {c.r, c.g, c.b, c.a};
            b.insert(b.end(), all, all + bpp);
        }
        b.insert(b.end(), size_t(pad), 0xEE);
    }
    return b;
}

using texfix::desc_of;

uint32_t le32(const std::string& s, size_t at)
{
    return uint32_t((unsigned char)s[at]) | uint32_t((unsigned char)s[at + 1]) << 8 |
           uint32_t((unsigned char)s[at + 2]) << 16 | uint32_t((unsigned char)s[at + 3]) << 24;
}

// Level w x h of a DDS file written by TEX_save_dds, decompressed.
Bytes dds_level(const std::string& file, int flags, int w0, int h0, int level, int* w_out,
                int* h_out)
{
    size_t at = 128;
    int w = w0, h = h0;
    for (int i = 0; i < level; ++i) {
        at += size_t(squish::GetStorageRequirements(w, h, flags));
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    Bytes out(size_t(w) * h * 4);
    squish::DecompressImage(out.data(), w, h, file.data() + at, flags);
    *w_out = w;
    *h_out = h;
    return out;
}

// Level 0 as ImageMagick reads it: RGBA bytes, top row first.
std::string magick_rgba(const std::string& path)
{
    XvfbResult r = run_capture("convert '" + path + "[0]' -depth 8 rgba:- | od -An -v -tu1");
    EXPECT_EQ(r.status, 0) << r.output;
    return r.output;
}

std::vector<int> numbers(const std::string& text)
{
    std::vector<int> v;
    size_t i = 0;
    while (i < text.size()) {
        if (isdigit((unsigned char)text[i])) {
            size_t end = i;
            v.push_back(std::stoi(text.substr(i), &end));
            i += end;
        } else {
            ++i;
        }
    }
    return v;
}

std::vector<std::string> folder_names(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

const Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

} // namespace

TEST(DdsWriter, HeadersAndLevelSizes)
{
    TempDir dir;
    struct {
        int format, w, h, mips;
        const char* fourcc;
        int flags;
    } cases[] = {
        {GL_RGB, 4, 4, 3, "DXT1", squish::kDxt1}, {GL_RGBA, 256, 64, 9, "DXT5", squish::kDxt5},
        {GL_RGB, 1, 1, 1, "DXT1", squish::kDxt1}, {GL_RGBA, 3, 7, 3, "DXT5", squish::kDxt5},
        {GL_RGB, 8, 2, 4, "DXT1", squish::kDxt1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
        const int bpp = c.format == GL_RGBA ? 4 : 3;
        const Bytes img = make_image(c.w, c.h, bpp, 0, [](int x, int y) {
            return Rgba{uint8_t(x * 3), uint8_t(y * 5), 90, 200};
        });
        ASSERT_EQ(TEX_save_dds(dir / "a.dds", img.data(), desc_of(c.format, c.w, c.h)), 1);
        const std::string f = TempDir::read(dir / "a.dds");
        size_t want = 128;
        int w = c.w, h = c.h;
        for (int i = 0; i < c.mips; ++i) {
            want += size_t(squish::GetStorageRequirements(w, h, c.flags));
            if (w > 1) w /= 2;
            if (h > 1) h /= 2;
        }
        EXPECT_EQ(f.size(), want);
        EXPECT_EQ(f.substr(0, 4), "DDS ");
        EXPECT_EQ(le32(f, 4), 124u);
        EXPECT_EQ(le32(f, 8), 0xA1007u);
        EXPECT_EQ(le32(f, 12), uint32_t(c.h));
        EXPECT_EQ(le32(f, 16), uint32_t(c.w));
        EXPECT_EQ(le32(f, 20), uint32_t(squish::GetStorageRequirements(c.w, c.h, c.flags)));
        EXPECT_EQ(le32(f, 28), uint32_t(c.mips));
        EXPECT_EQ(le32(f, 76), 32u);
        EXPECT_EQ(le32(f, 80), 4u);
        EXPECT_EQ(f.substr(84, 4), c.fourcc);
        EXPECT_EQ(le32(f, 108), 0x401008u);
        for (size_t i : {24u, 32u, 72u, 88u, 104u, 112u, 124u})
            EXPECT_EQ(le32(f, i), 0u) << i;
    }
    EXPECT_EQ(TempDir::read(dir / "a.dds").size() > 0, true);
    EXPECT_EQ(folder_names(dir.path()).size(), 1u); // no temporary file left behind
}

TEST(DdsWriter, PixelsReadBackTopRowFirst)
{
    TempDir dir;
    // 8 x 8, red in the upper half of the picture, blue below; with pad 2.
    const Bytes img = make_image(8, 8, 3, 2, [](int, int y) { return y >= 4 ? kRed : kBlue; });
    ASSERT_EQ(TEX_save_dds(dir / "rb.dds", img.data(), desc_of(GL_RGB, 8, 8, 2)), 1);
    const std::vector<int> px = numbers(magick_rgba(dir / "rb.dds"));
    ASSERT_EQ(px.size(), 8u * 8 * 4);
    for (int row = 0; row < 8; ++row) {
        const Rgba want = row < 4 ? kRed : kBlue;
        EXPECT_EQ(px[row * 32 + 0], want.r) << row;
        EXPECT_EQ(px[row * 32 + 2], want.b) << row;
        EXPECT_EQ(px[row * 32 + 3], 255) << row;
    }
    const std::string f = TempDir::read(dir / "rb.dds");
    int w, h;
    Bytes l1 = dds_level(f, squish::kDxt1, 8, 8, 1, &w, &h);
    ASSERT_EQ(w, 4);
    EXPECT_EQ(l1[0], 255);          // top-left red
    EXPECT_EQ(l1[15 * 4 + 2], 255); // bottom-right blue
    Bytes l3 = dds_level(f, squish::kDxt1, 8, 8, 3, &w, &h);
    ASSERT_EQ(w, 1);
    EXPECT_NEAR(l3[0], 127, 8); // the mean of red and blue
    EXPECT_NEAR(l3[2], 127, 8);

    // RGBA keeps its alpha (DXT5).
    const Bytes rgba = make_image(4, 4, 4, 0, [](int x, int) {
        return Rgba{255, 255, 255, uint8_t(x < 2 ? 0 : 255)};
    });
    ASSERT_EQ(TEX_save_dds(dir / "a.dds", rgba.data(), desc_of(GL_RGBA, 4, 4)), 1);
    Bytes a0 = dds_level(TempDir::read(dir / "a.dds"), squish::kDxt5, 4, 4, 0, &w, &h);
    EXPECT_EQ(a0[3], 0);
    EXPECT_EQ(a0[3 * 4 + 3], 255);
    Bytes a1 = dds_level(TempDir::read(dir / "a.dds"), squish::kDxt5, 4, 4, 1, &w, &h);
    EXPECT_EQ(a1[3], 0);
    EXPECT_EQ(a1[4 + 3], 255);
}

TEST(DdsWriter, ThinImagesAverageAlongTheirLongSide)
{
    TempDir dir;
    // Wide: 4 x 1, red red blue blue -> 2 x 1 red blue.
    const Bytes wide = make_image(4, 1, 3, 0, [](int x, int) { return x < 2 ? kRed : kBlue; });
    ASSERT_EQ(TEX_save_dds(dir / "w.dds", wide.data(), desc_of(GL_RGB, 4, 1)), 1);
    int w, h;
    Bytes l1 = dds_level(TempDir::read(dir / "w.dds"), squish::kDxt1, 4, 1, 1, &w, &h);
    ASSERT_EQ(w, 2);
    EXPECT_EQ(l1[0], 255);
    EXPECT_EQ(l1[4 + 2], 255);
    // Tall: 1 x 4, top red red, bottom blue blue -> 1 x 2 red over blue (the
    // pairs are averaged, not the first half of the rows kept).
    const Bytes tall = make_image(1, 4, 3, 0, [](int, int y) { return y >= 2 ? kRed : kBlue; });
    ASSERT_EQ(TEX_save_dds(dir / "t.dds", tall.data(), desc_of(GL_RGB, 1, 4)), 1);
    const std::string f = TempDir::read(dir / "t.dds");
    EXPECT_EQ(le32(f, 28), 3u);
    Bytes t1 = dds_level(f, squish::kDxt1, 1, 4, 1, &w, &h);
    ASSERT_EQ(h, 2);
    EXPECT_EQ(t1[0], 255);     // top red
    EXPECT_EQ(t1[4 + 2], 255); // bottom blue
    EXPECT_EQ(t1[4 + 0], 0);
}

TEST(PngWriter, RoundTripsThroughTheReader)
{
    TempDir dir;
    struct {
        int format, bpp, pad;
    } cases[] = {{GL_RGB, 3, 2}, {GL_RGBA, 4, 0}, {GL_ALPHA, 1, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bpp);
        const int w = 5, h = 3;
        const Bytes img = make_image(w, h, c.bpp, c.pad, [](int x, int y) {
            return Rgba{uint8_t(x * 40 + 1), uint8_t(y * 70 + 2), uint8_t(x * y * 9 + 3),
                        uint8_t(255 - x * 20)};
        });
        ASSERT_EQ(TEX_save_png(dir / "r.png", desc_of(c.format, w, h, c.pad), img.data()), 1);
        const std::string f = TempDir::read(dir / "r.png");
        const int want_type = c.bpp == 4 ? 6 : c.bpp == 3 ? 2 : 0;
        EXPECT_EQ(int((unsigned char)f[24]), 8);         // bit depth
        EXPECT_EQ(int((unsigned char)f[25]), want_type); // colour type
        EXPECT_EQ(int((unsigned char)f[28]), 0);         // not interlaced
        const size_t g = f.find("gAMA");
        ASSERT_NE(g, std::string::npos);
        EXPECT_EQ(le32(std::string{f[g + 7], f[g + 6], f[g + 5], f[g + 4]}, 0), 45455u);

        xmap_class map(dir / "r.png");
        unsigned char* back = nullptr;
        TEX_image_desc d;
        ASSERT_EQ(TEX_load_png("r.png", &map, back, unsigned(c.format), 0, 0, 0, d), 1);
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        // The file's gamma is the display's: bytes come back unchanged.
        for (int y = 0; y < h; ++y)
            EXPECT_EQ(std::memcmp(back + y * w * c.bpp, img.data() + y * (w * c.bpp + c.pad),
                                  size_t(w * c.bpp)),
                      0)
                << "row " << y;
        std::free(back);
    }
}

TEST(PngWriter, ScratchBufferAndAppPath)
{
    TempDir dir;
    VOVARU_align_scratch();
    const std::string saved = app_path;
    app_path = dir.path();
    // 2 x 2 RGB, packed, bottom row first.
    const unsigned char px[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::memcpy(scratch_array, px, sizeof(px));
    EXPECT_EQ(write_png_to_disk("shot.png", 2, 2, 3), 1);
    EXPECT_EQ(write_png_to_disk("big.png", 4096, 4097, 1), 0); // over 16 MB as RGB
    EXPECT_EQ(write_png_to_disk("big.png", 2049, 2048, 4), 0);
    EXPECT_EQ(write_png_to_disk("none.png", 0, 5, 4), 0);
    EXPECT_EQ(write_png_to_disk("none.png", 5, -1, 4), 0);
    app_path = saved;
    EXPECT_FALSE(TempDir::exists(dir / "big.png"));
    EXPECT_FALSE(TempDir::exists(dir / "none.png"));

    xmap_class map(dir / "shot.png");
    unsigned char* back = nullptr;
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("shot.png", &map, back, GL_RGB, 0, 0, 0, d), 1);
    EXPECT_EQ(std::memcmp(back, px, sizeof(px)), 0);
    std::free(back);
}

TEST(Writers, FailuresReturnZeroAndLeaveNoPartialFile)
{
    TempDir dir;
    TempCwd cwd;
    const Bytes small = make_image(4, 4, 3, 0, [](int, int) { return kRed; });
    // Noise does not compress: more than a stdio buffer reaches the device
    // from inside libpng.
    Bytes noise(256 * 256 * 3);
    uint32_t s = 12345;
    for (unsigned char& b : noise)
        b = (unsigned char)((s = s * 1103515245 + 12345) >> 16);

    // A full device: the write or the close fails.
    EXPECT_EQ(TEX_save_dds("/dev/full", small.data(), desc_of(GL_RGB, 4, 4)), 0);
    EXPECT_EQ(TEX_save_png("/dev/full", desc_of(GL_RGB, 4, 4), small.data()), 0);
    {
        AlertProbe probe;
        EXPECT_EQ(TEX_save_png("/dev/full", desc_of(GL_RGB, 256, 256), noise.data()), 0);
        ASSERT_EQ(probe.count(), 1u);
        EXPECT_EQ(probe.last().lines[0], "PNG error!");
        EXPECT_EQ(probe.last().lines[2], "/dev/full"); // the file being written
        EXPECT_EQ(probe.last().kind, t_alert);
    }
    // No folder to write in.
    EXPECT_EQ(TEX_save_dds(dir / "no/such.dds", small.data(), desc_of(GL_RGB, 4, 4)), 0);
    EXPECT_EQ(TEX_save_png(dir / "no/such.png", desc_of(GL_RGB, 4, 4), small.data()), 0);
    // Empty images used to loop for ever in the mipmap chain.
    for (auto wh : {std::make_pair(0, 4), std::make_pair(4, 0), std::make_pair(-3, -3)}) {
        EXPECT_EQ(TEX_save_dds(dir / "e.dds", small.data(), desc_of(GL_RGB, wh.first, wh.second)),
                  0);
        EXPECT_EQ(TEX_save_png(dir / "e.png", desc_of(GL_RGB, wh.first, wh.second), small.data()),
                  0);
    }
    EXPECT_TRUE(folder_names(dir.path()).empty());

    // A regular file that cannot be written whole (file size limit): the old
    // file stays as it was and no temporary file is left. In this process:
    // libsquish's OpenMP pool does not survive a fork.
    dir.write("keep.dds", "old");
    dir.write("keep.png", "old");
    const Bytes img = make_image(64, 64, 3, 0, [](int x, int y) {
        return Rgba{uint8_t(x * 4), uint8_t(y * 4), 0, 255};
    });
    rlimit saved_lim;
    getrlimit(RLIMIT_FSIZE, &saved_lim);
    const auto saved_sig = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = saved_lim;
    lim.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &lim);
    int dds = -1, png = -1;
    {
        AlertProbe probe;
        dds = TEX_save_dds(dir / "keep.dds", img.data(), desc_of(GL_RGB, 64, 64));
        png = TEX_save_png(dir / "keep.png", desc_of(GL_RGB, 256, 256), noise.data());
        EXPECT_EQ(probe.count(), 1u);
    }
    setrlimit(RLIMIT_FSIZE, &saved_lim);
    signal(SIGXFSZ, saved_sig);
    EXPECT_EQ(dds, 0);
    EXPECT_EQ(png, 0);
    EXPECT_EQ(TempDir::read(dir / "keep.dds"), "old");
    EXPECT_EQ(TempDir::read(dir / "keep.png"), "old");
    EXPECT_EQ(folder_names(dir.path()).size(), 2u);
}

TEST(Writers, WrongFormatsAreFatal)
{
    TempDir dir;
    TempCwd cwd;
    const Bytes img(64, 0);
    struct {
        std::function<void()> call;
        const char* text;
        const char* source;
    } cases[] = {
        {[&] { TEX_save_dds(dir / "x.dds", img.data(), desc_of(GL_ALPHA, 4, 4)); },
         "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "HLutils/TEX/TEX_dds line 223"},
        {[&] { TEX_save_png(dir / "x.png", desc_of(GL_BGRA, 4, 4), img.data()); },
         "Illegal pixel format for png-write.", "HLutils/TEX/TEX_png line 164"},
    };
    for (const auto& c : cases) {
        ChildResult r = run_in_child([&] {
            texfix::print_alert_sources();
            c.call();
        });
        EXPECT_TRUE(r.aborted());
        EXPECT_NE(r.out.find(c.text), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.source), std::string::npos) << r.out;
    }
    EXPECT_TRUE(folder_names(dir.path()).empty());
}
