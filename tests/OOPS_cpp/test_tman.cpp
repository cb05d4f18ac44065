// The texture manager: pure pieces without a window, then slots, loads, the
// built-in images and text drawing in a real GL context under Xvfb.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "GenC/hl_init.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_app.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "TEX/tex_fixtures.h"
#include "UTL/UTL_cmdline.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "tman_test_util.h"

namespace
{

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------
bool write_bytes(const std::string& path, const std::vector<uint8_t>& b)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(f);
}

// Where screenshots go: ZUDEZUD_SHOTS_DIR, else nowhere.
void save_screenshot(const std::string& name, int x, int y, int w, int h)
{
    const char* dir = std::getenv("ZUDEZUD_SHOTS_DIR");
    if (!dir || !*dir) return;
    std::vector<uint8_t> px(size_t(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    write_png_file(std::string(dir) + "/" + name, w, h, 3, px);
}

std::vector<uint8_t> read_rgb(int x, int y, int w, int h)
{
    std::vector<uint8_t> px(size_t(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Lit pixels (any channel above 100) inside and outside a box of a read-back.
struct Lit {
    int inside = 0, outside = 0;
};
Lit count_lit(const std::vector<uint8_t>& px, int w, int h, int bx0, int by0, int bx1, int by1)
{
    Lit l;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &px[(size_t(y) * w + x) * 3];
            if (p[0] < 100 && p[1] < 100 && p[2] < 100) continue;
            if (x >= bx0 && x < bx1 && y >= by0 && y < by1)
                ++l.inside;
            else
                ++l.outside;
        }
    return l;
}

int bound_texture()
{
    GLint t = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &t);
    return t;
}

// ---------------------------------------------------------------------------
// Pure pieces
// ---------------------------------------------------------------------------
TEST(TmanScale, SizesFromLevelAndFlags)
{
    struct Case {
        int level, flags, w, h, mode;
        int img_w, img_h, tex_w, tex_h;
    } cases[] = {
        {3, 2, 256, 128, 2, 64, 32, 64, 32},
        {3, 2 | kTexNoScale, 256, 128, 2, 256, 128, 256, 128},
        {5, 2, 100, 100, 2, 100, 100, 128, 128},
        {5, 2 | kTexKeepSize, 100, 100, 2, 100, 100, 100, 100},
        {0, 2, 1, 1, 2, 1, 1, 1, 1}, // scale raised so a pixel stays
        {4, 2 | kTexScaleUp, 64, 64, 2, 64, 64, 64, 64},
        {5, 2 | kTexScaleDown, 64, 64, 2, 32, 32, 32, 32},
        {3, 2, 512, 512, 1, 512, 512, 512, 512}, // mode 1: scale 1
        {9, 2, 60, 30, 2, 60, 30, 64, 32},       // unknown level: scale 1
    };
    for (const Case& c : cases) {
        mnw.tex_level = c.level;
        int iw, ih, tw, th;
        TEX_get_scale("x", 0, c.flags, c.w, c.h, &iw, &ih, &tw, &th, c.mode);
        EXPECT_EQ(iw, c.img_w) << c.level << " " << c.flags;
        EXPECT_EQ(ih, c.img_h);
        EXPECT_EQ(tw, c.tex_w);
        EXPECT_EQ(th, c.tex_h);
    }
    mnw.tex_level = 5;
}

TEST(TmanScale, SizeOutOfRangeIsFatal)
{
    TempCwd cwd;
    ChildResult r = run_in_child([] {
        int a, b, c, d;
        mnw.tex_level = 5;
        TEX_get_scale("big.png", 0, 2, 3000, 10, &a, &b, &c, &d, 2);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("Trying to create a texture either less than 1 or greater than 2048!"),
              std::string::npos)
        << r.out;
}

TEST(TmanUpload, InternalFormats)
{
    struct Case {
        int format, flags, internal;
    } cases[] = {
        {GL_BGRA, 0, GL_RGBA},
        {GL_BGR, 0, GL_RGB},
        {GL_RGB, kTexFloat16, 0x881B},
        {GL_RGBA, kTexFloat16, 0x881A},
        {GL_ALPHA, kTexFloat16, 0x881C},
        {GL_DEPTH_COMPONENT, 0, GL_DEPTH_COMPONENT24},
        {GL_RGB, kTexSized8, 0x8051},
        {GL_RGBA, kTexSized8, 0x8058},
        {GL_RGBA, kTexFloat16 | kTexSized8, 0x881A},
        {GL_ALPHA, 0, GL_ALPHA},
        {0x83F3, 0, 0x83F3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tex_internal_format(c.format, c.flags), c.internal);
}

TEST(TmanUpload, NearestSlots)
{
    for (int s : {389, 416, 422, 423, 424, 439})
        EXPECT_TRUE(tex_slot_is_nearest(s)) << s;
    for (int s : {0, 388, 390, 415, 417, 421, 440, 927})
        EXPECT_FALSE(tex_slot_is_nearest(s)) << s;
}

TEST(TmanUpload, BleedFillsFromOpaqueNeighboursOnly)
{
    // 6 x 1: red opaque at x 0, transparent elsewhere; x 2 is in reach, x 3 not.
    std::vector<uint8_t> p(6 * 4, 0);
    p[0] = 255;
    p[3] = 255;
    for (int x = 1; x < 6; ++x)
        p[size_t(x) * 4 + 1] = 7; // green 7, to see what stays
    tex_bleed_alpha(p.data(), 6, 1);
    EXPECT_EQ(p[1 * 4 + 0], 255);
    EXPECT_EQ(p[2 * 4 + 0], 255);
    EXPECT_EQ(p[2 * 4 + 1], 0);
    EXPECT_EQ(p[2 * 4 + 3], 0); // alpha stays 0
    EXPECT_EQ(p[3 * 4 + 0], 0);
    EXPECT_EQ(p[3 * 4 + 1], 7);
}

TEST(TmanUpload, RepackMovesRowsToTheTextureWidth)
{
    // 3 x 2 pixels of 1 byte in rows 8 bytes apart, to rows of 4 with 3 rows.
    std::vector<uint8_t> p = {1, 2, 3, 9, 9, 9, 9, 9, 4, 5, 6, 9, 9, 9, 9, 9};
    tex_repack_rows(p.data(), 1, 3, 2, 8, 4, 3);
    const std::vector<uint8_t> want = {1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 12), want);
}

TEST(TmanFlags, HasAndMute)
{
    tman_class t;
    EXPECT_EQ(t.has_instl_load_fail(), 0);
    t.instl_load_fail = 1;
    EXPECT_EQ(t.has_instl_load_fail(), 1);
    t.mute_instl_load_fail();
    EXPECT_EQ(t.instl_load_fail, 2);
    EXPECT_EQ(t.has_instl_load_fail(), 0);
    t.scene_load_fail = 1;
    t.aircraft_load_fail = 1;
    EXPECT_EQ(t.has_scene_load_fail() + t.has_plane_load_fail(), 2);
    t.mute_scene_load_fail();
    t.mute_plane_load_fail();
    EXPECT_EQ(t.has_scene_load_fail() + t.has_plane_load_fail(), 0);
}

TEST(TmanLoad, EmptyNameReturnsZeroAndTouchesNothing)
{
    tman_class t;
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 389, 2, tex_load_startup, ""), 0);
    EXPECT_TRUE(t.ref_dat.empty());
}

TEST(TmanLoad, BadArgumentsAreFatal)
{
    TempCwd cwd;
    struct Case {
        int ref, flags, time;
        const char* msg;
    } cases[] = {
        {1133, 2, 100, "Trying to bind too low or high a manual_ref!"},
        {-1, 2, 100, "Trying to bind too low or high a manual_ref!"},
        {5, 2, 99, "Trying to create an invalid texture load_time!"},
        {5, 0x4000, 100, "Trying to bind an invalid filter type!"},
        {5, 0, 100, "BAD color enum for tman"},
    };
    for (const Case& c : cases) {
        ChildResult r = run_in_child([&] {
            VOVARU_align_scratch();
            tman.load_texture(tex_fail_silent, c.ref, c.flags, c.time, "scratch_array:x");
        });
        EXPECT_TRUE(r.aborted()) << c.msg;
        EXPECT_NE(r.out.find(c.msg), std::string::npos) << r.out;
    }
}

TEST(TmanLoad, MissingFileWithFatalModeNamesTheFileAndTheSite)
{
    TempCwd cwd;
    ChildResult r = run_in_child([&] {
        xer.open(cwd.path() + "Log.txt", std::ios::out | std::ios::trunc);
        tman.load_texture(tex_fail_fatal, 5, 2, 101, cwd.path() + "nothing/here.png");
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("Trying to load a texture that you do not have!"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("www.zudezud.example. The missing file is:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(cwd.path() + "nothing/here.png"), std::string::npos) << r.out;
    // Logged before the alert ends the run.
    EXPECT_NE(
        TempDir::read(cwd.path() + "Log.txt")
            .find("WARNING: we are missing the texture: " + cwd.path() + "nothing/here.png.\n"),
        std::string::npos);
}

// ---------------------------------------------------------------------------
// Files: lookup by extension, readers chosen by content, DDS levels
// ---------------------------------------------------------------------------
void put_le32(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

// An uncompressed BGRA DDS (BGR with bytes 3), top row first as files store
// it. Pixel (x, row) of level L holds B = L, G = row, R = x, A = 255, so
// skipped levels and the row flip both show.
std::vector<uint8_t> make_dds_bgra(int w, int h, bool mips, int bytes = 4)
{
    std::vector<uint8_t> f(128, 0);
    std::memcpy(f.data(), "DDS ", 4);
    put_le32(f, 4, 124);
    put_le32(f, 8, 0x1007 | (mips ? 0x20000 : 0));
    put_le32(f, 12, uint32_t(h));
    put_le32(f, 16, uint32_t(w));
    put_le32(f, 76, 32);
    put_le32(f, 80, bytes == 4 ? 0x41 : 0x40); // RGB, with alpha or without
    put_le32(f, 88, uint32_t(bytes * 8));
    put_le32(f, 92, 0x00FF0000);
    put_le32(f, 96, 0x0000FF00);
    put_le32(f, 100, 0x000000FF);
    put_le32(f, 104, bytes == 4 ? 0xFF000000 : 0);
    put_le32(f, 108, 0x1000 | (mips ? 0x400008 : 0));
    for (int level = 0;; ++level) {
        size_t at = f.size();
        f.resize(at + size_t(w) * size_t(h) * size_t(bytes));
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x, at += size_t(bytes)) {
                f[at] = uint8_t(level);
                f[at + 1] = uint8_t(row);
                f[at + 2] = uint8_t(x);
                if (bytes == 4) f[at + 3] = 255;
            }
        if (!mips || (w == 1 && h == 1)) break;
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    return f;
}

// A 24-bit BMP, bottom row first, every pixel grey v.
std::vector<uint8_t> make_bmp(int w, int h, uint8_t v)
{
    const int row = (w * 3 + 3) / 4 * 4;
    std::vector<uint8_t> f(54, 0);
    f[0] = 'B';
    f[1] = 'M';
    put_le32(f, 2, uint32_t(54 + row * h));
    put_le32(f, 10, 54);
    put_le32(f, 14, 40);
    put_le32(f, 18, uint32_t(w));
    put_le32(f, 22, uint32_t(h));
    f[26] = 1;
    f[28] = 24;
    put_le32(f, 34, uint32_t(row * h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            f.insert(f.end(), {v, v, v});
        f.resize(f.size() + size_t(row - w * 3), 0);
    }
    return f;
}

bool write_grey_png(const std::string& path, int w, int h)
{
    return write_png_file(path, w, h, 4, std::vector<uint8_t>(size_t(w) * h * 4, 255));
}

struct FileLoad {
    int ok = 0, format = 0, mips = 0, bpp = 0, img_w = 0, img_h = 0, tex_w = 0, tex_h = 0;
};

// The file stage alone, as load_texture_io runs it for an RGBA load (an RGB
// one with bytes 3).
FileLoad load_file(const std::string& name, int flags = 2, char bytes = 4)
{
    FileLoad r;
    char bpp = bytes;
    r.ok = load_any_into_scratch(name, 600, flags, r.format, r.mips, bpp, 0, &r.img_w, &r.img_h,
                                 &r.tex_w, &r.tex_h);
    r.bpp = bpp;
    return r;
}

TEST(TmanFiles, LookupByExtensionAndContent)
{
    TempCwd cwd;
    const std::string d = cwd.path();
    mnw.tex_level = 5;
    write_bytes(d + "a.dds", make_dds_bgra(4, 4, true));
    write_grey_png(d + "a.png", 8, 8);
    write_bytes(d + "b.bmp", make_bmp(2, 2, 90));
    write_grey_png(d + "c.bmp", 16, 8); // PNG data under a .bmp name
    write_grey_png(d + "noext", 2, 4);
    write_bytes(d + "tiny.png", {0x89, 'P', 'N', 'G', 13, 10, 26});
    write_bytes(d + "junk.png", std::vector<uint8_t>(64, 'x'));
    write_bytes(d + "flat.dds", make_dds_bgra(4, 4, false));
    struct Case {
        const char* name;
        bool no_dds;
        int ok, format, img_w, img_h;
    } cases[] = {
        {"a.png", false, 1, GL_BGRA, 4, 4},  // the DDS is tried first
        {"a.png", true, 1, GL_RGBA, 8, 8},   // "--no_dds": the PNG
        {"a.dds", true, 1, GL_RGBA, 8, 8},   // the extension gives way either way
        {"b.png", false, 1, GL_RGBA, 2, 2},  // neither .dds nor .png: the BMP
        {"c.bmp", false, 1, GL_RGBA, 16, 8}, // the content decides the reader
        {"noext", false, 1, GL_RGBA, 2, 4},  // no three-letter extension: as given
        {"tiny.png", false, 0, 0, 0, 0},     // 7 bytes
        {"junk.png", false, 0, 0, 0, 0},     // no reader takes it
        {"flat.dds", false, 0, 0, 0, 0},     // a DDS without mipmaps fails
        {"gone.png", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        if (c.no_dds) cmdline.options["--no_dds"] = "";
        const FileLoad r = load_file(d + c.name);
        cmdline.options.erase("--no_dds");
        EXPECT_EQ(r.ok, c.ok) << c.name << " " << c.no_dds;
        if (!c.ok) continue;
        EXPECT_EQ(r.format, c.format) << c.name << " " << c.no_dds;
        EXPECT_EQ(r.img_w, c.img_w) << c.name;
        EXPECT_EQ(r.img_h, c.img_h) << c.name;
    }
}

TEST(TmanFiles, DdsSkipsLevelsAndFlipsRows)
{
    TempCwd cwd;
    write_bytes(cwd.path() + "m.dds", make_dds_bgra(16, 16, true));
    mnw.tex_level = 3; // a quarter: the two largest levels are skipped
    const FileLoad r = load_file(cwd.path() + "m.dds");
    mnw.tex_level = 5;
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.mips, 1);
    EXPECT_EQ(r.bpp, 4);
    EXPECT_EQ(r.img_w, 4);
    EXPECT_EQ(r.tex_w, 4);
    EXPECT_EQ(r.tex_h, 4);
    // Level 2 (4 x 4), then 2 x 2 and 1 x 1, each bottom row first now.
    const uint8_t* p = tman_scratch_temp();
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 4; ++x) {
            const uint8_t* q = p + (row * 4 + x) * 4;
            EXPECT_EQ(q[0], 2);
            EXPECT_EQ(q[1], 3 - row) << row;
            EXPECT_EQ(q[2], x);
        }
    EXPECT_EQ(p[64], 3);      // the 2 x 2 level follows
    EXPECT_EQ(p[64 + 16], 4); // then the 1 x 1 level
}

TEST(TmanFiles, DdsThatWouldOverflowTheBufferIsRefused)
{
    TempCwd cwd;
    // 2048 x 2048 BGRA with its levels: about 21 MB, more than the buffer.
    write_bytes(cwd.path() + "big.dds", make_dds_bgra(2048, 2048, true));
    mnw.tex_level = 5;
    EXPECT_EQ(load_file(cwd.path() + "big.dds").ok, 0);
    // Half the size, with the top level skipped, fits.
    mnw.tex_level = 4;
    const FileLoad half = load_file(cwd.path() + "big.dds");
    mnw.tex_level = 5;
    EXPECT_EQ(half.ok, 1);
    EXPECT_EQ(half.tex_w, 1024);
}

TEST(TmanFiles, DdsWhoseLevelsAreNotTheTextureSizeIsRefused)
{
    TempCwd cwd;
    write_bytes(cwd.path() + "odd.dds", make_dds_bgra(48, 24, true));
    std::vector<uint8_t> cut = make_dds_bgra(16, 16, true);
    cut.resize(cut.size() - 100);
    write_bytes(cwd.path() + "cut.dds", cut);
    mnw.tex_level = 5;
    // 48 x 24 would be uploaded as 64 x 32 levels read from 48 x 24 ones.
    EXPECT_EQ(load_file(cwd.path() + "odd.dds").ok, 0);
    const FileLoad kept = load_file(cwd.path() + "odd.dds", 2 | kTexKeepSize);
    EXPECT_EQ(kept.ok, 1);
    EXPECT_EQ(kept.tex_w, 48);
    EXPECT_EQ(load_file(cwd.path() + "cut.dds").ok, 0); // shorter than its levels
}

// Bytes per pixel follow the format a DDS file holds, whatever the load
// asked for: 3 for uncompressed 24-bit data and for DXT1 without alpha.
TEST(TmanFiles, DdsBytesPerPixelFollowTheFormat)
{
    TempCwd cwd;
    const std::string d = cwd.path();
    mnw.tex_level = 5;
    write_bytes(d + "bgr.dds", make_dds_bgra(8, 8, true, 3));
    write_bytes(d + "bgra.dds", make_dds_bgra(8, 8, true, 4));
    texfix::DdsHeader h;
    h.width = h.height = 8;
    h.flags |= texfix::kDdsMipCount;
    h.caps |= texfix::kDdsCapsMip;
    h.fourcc = "DXT5";
    std::ofstream(d + "dxt5.dds", std::ios::binary) << texfix::make_dds(h, 4 * 16 + 3 * 16);
    // DXT1 blocks with colour 0 above colour 1: no one-bit alpha.
    h.fourcc = "DXT1";
    std::string dxt1 = texfix::make_dds(h, 0);
    for (int b = 0; b < 4 + 3; ++b)
        dxt1 += std::string("\xFF\xFF\0\0\0\0\0\0", 8);
    std::ofstream(d + "dxt1.dds", std::ios::binary) << dxt1;
    struct Case {
        const char* name;
        int format, bpp;
    } cases[] = {
        {"bgr.dds", GL_BGR, 3},
        {"bgra.dds", GL_BGRA, 4},
        {"dxt5.dds", GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 4},
        {"dxt1.dds", GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 3},
    };
    for (const Case& c : cases)
        for (char asked : {char(1), char(3), char(4)}) {
            const FileLoad r = load_file(d + c.name, asked == 1 ? 3 : asked == 3 ? 1 : 2, asked);
            ASSERT_EQ(r.ok, 1) << c.name;
            EXPECT_EQ(r.format, c.format) << c.name;
            EXPECT_EQ(r.bpp, c.bpp) << c.name << " asked " << int(asked);
        }
}

// Image headers whose sides overflow any size product are refused by the
// texture manager like any other failed load; nothing beyond the files is
// read. (Distinct stems: each name is tried as .dds, .png, .bmp in turn.)
TEST(TmanFiles, OverflowingHeadersFailTheLoad)
{
    TempCwd cwd;
    const std::string d = cwd.path();
    mnw.tex_level = 5;
    texfix::BmpSpec bmp;
    bmp.width = bmp.height = 0x7FFFFFFF;
    std::ofstream(d + "square.bmp", std::ios::binary)
        << texfix::make_bmp(bmp, {{1, 2, 3, 4, 5, 6}});
    bmp.width = 0x40000001;
    bmp.height = 0x40000000;
    std::ofstream(d + "wraps.bmp", std::ios::binary) << texfix::make_bmp(bmp, {{1, 2, 3, 4, 5, 6}});
    texfix::DdsHeader dds;
    dds.width = dds.height = 0x7FFFFFFF;
    dds.pf_flags = 0x41;
    dds.flags |= texfix::kDdsMipCount;
    dds.caps |= texfix::kDdsCapsMip;
    std::ofstream(d + "sides.dds", std::ios::binary) << texfix::make_dds(dds, 64);
    std::ofstream(d + "wide.png", std::ios::binary)
        << texfix::png_signature_and_header(1u << 24, 1u << 24) + texfix::png_chunk("IDAT", "") +
               texfix::png_chunk("IEND", "");
    for (const char* name : {"square.bmp", "wraps.bmp", "sides.dds", "wide.png"})
        for (int flags : {1, 2, 3}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(load_file(d + name, flags, flags == 1 ? 3 : flags == 2 ? 4 : 1).ok, 0);
            AlertProbe probe;
            EXPECT_EQ(tman.load_texture(tex_fail_silent, 610, flags, 101, d + name), 0);
            EXPECT_EQ(probe.count(), 0u);
            ASSERT_GT(tman.ref_dat.size(), 610u);
            EXPECT_EQ(tman.ref_dat[610].state, kTexStateLoaded); // the fallback
            EXPECT_EQ(tman.ref_dat[610].vram_bytes, 0);
        }
}

// ---------------------------------------------------------------------------
// Under Xvfb
// ---------------------------------------------------------------------------
TEST(TmanGL, SlotSelectionAndRegistry)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    scratch_dx = scratch_dy = 4;
    std::memset(scratch_array, 200, 4 * 4 * 4);
    tman_class t; // an empty table; the window already filled the global one
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 389, 2, 101, "scratch_array:a"), 389);
    ASSERT_EQ(t.ref_dat.size(), 390u);
    EXPECT_EQ(t.ref_dat[388].name, "un-inited");
    EXPECT_EQ(t.ref_dat[388].state, kTexStateEmpty);
    EXPECT_EQ(t.ref_dat[388].fail_mode, tex_fail_fatal);
    EXPECT_EQ(t.ref_dat[389].tex_id, 389);
    EXPECT_EQ(t.ref_dat[389].ref_count, -1);

    EXPECT_EQ(t.load_texture(tex_fail_fatal, 0, 2, 101, "scratch_array:one"), 1132);
    EXPECT_EQ(t.ref_dat.size(), 1133u);
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 0, 2, 101, "scratch_array:two"), 1133);
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 0, 2, 101, "scratch_array:one"), 1132);
    EXPECT_EQ(t.ref_dat[1132].ref_count, 2);
    EXPECT_EQ(t.total_count, 3);
    EXPECT_EQ(t.loaded_count, 3);

    for (int s = 400; s < 404; ++s)
        t.load_texture(tex_fail_fatal, s, 2, 101, "scratch_array:same");
    EXPECT_EQ(t.slot_for_name("scratch_array:same"), 400);
    EXPECT_EQ(t.ref_dat[403].name, "scratch_array:same");
}

TEST(TmanGL, BindingFallsBackToGreyAndNeverReadsPastTheTable)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    scratch_dx = scratch_dy = 4;
    tman.load_texture(tex_fail_fatal, 389, 2, 101, "scratch_array:a");
    AlertProbe probe;
    tman.bind_ref(389, 0, 0);
    EXPECT_EQ(bound_texture(), 389);
    EXPECT_EQ(probe.count(), 0u);
    tman.bind_ref(388, 0, 0); // in the table, never loaded
    EXPECT_EQ(bound_texture(), 927);
    EXPECT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().lines[0], "missing non-scenery texture - how?");
    EXPECT_EQ(probe.last().lines[2], "ref=   388");
    tman.bind_ref(389, 0, 0);
    tman.bind_ref(394, 0, 0); // beyond the table (the menu font is 393)
    EXPECT_EQ(bound_texture(), 927);
    EXPECT_EQ(probe.count(), 2u);
    tman.bind_ref(5000, 0, 0);
    EXPECT_EQ(probe.count(), 3u);
    tman.ref_dat[100].state = kTexStateQueued; // queued: silent
    tman.bind_ref(100, 0, 0);
    EXPECT_EQ(probe.count(), 3u);
}

TEST(TmanGL, FailedLoadTakesEmptyValuesAndSetsTheFlagOnce)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    EXPECT_EQ(tman.load_texture(tex_fail_installer, 500, 2, 101, "missing/pic.png"), 0);
    const auto& d = tman.ref_dat[500];
    EXPECT_EQ(d.state, kTexStateLoaded);
    EXPECT_EQ(d.tex_id, 0);
    EXPECT_EQ(d.vram_bytes, 0);
    EXPECT_EQ(d.tex_dx, 0);
    EXPECT_EQ(tman.instl_load_fail, 1);
    tman.mute_instl_load_fail();
    EXPECT_EQ(tman.load_texture(tex_fail_installer, 0, 2, 101, "missing/other.png"), 1132);
    EXPECT_EQ(tman.instl_load_fail, 2);
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 0, 2, 101, "missing/quiet.png"), 1133);
    xer.flush();
    const std::string log = TempDir::read(cwd.path() + "Log.txt");
    EXPECT_NE(log.find("WARNING: we are missing the texture: missing/pic.png.\n"),
              std::string::npos);
    EXPECT_NE(log.find("WARNING: we are missing the texture: missing/other.png.\n"),
              std::string::npos);
    EXPECT_EQ(log.find("quiet"), std::string::npos);
    // Binding a failed slot draws without a warning.
    AlertProbe probe;
    tman.bind_ref(500, 0, 0);
    EXPECT_EQ(probe.count(), 0u);
}

// Checkerboard of 4 x 4 blocks, black and white, opaque: survives gamma and
// the box filter exactly, and any shear of the rows shows.
std::vector<uint8_t> checker(int w, int h)
{
    std::vector<uint8_t> p(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t v = ((x / 4 + y / 4) % 2) ? 255 : 0;
            uint8_t* q = &p[(size_t(y) * w + x) * 4];
            q[0] = q[1] = q[2] = v;
            q[3] = 255;
        }
    return p;
}

std::vector<uint8_t> texture_rgba(int slot, int w, int h)
{
    tman.bind_ref(slot, 0, 0);
    std::vector<uint8_t> px(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

TEST(TmanGL, OddSizedFilesUploadWithoutShear)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    write_png_file(cwd.path() + "odd.png", 100, 60, 4, checker(100, 60));

    // Image size kept: a 100 x 60 texture, rows of 100.
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 600, 2 | kTexKeepSize, 101, cwd.path() + "odd.png"),
              600);
    EXPECT_EQ(tman.ref_dat[600].tex_dx, 100);
    EXPECT_EQ(tman.ref_dat[600].tex_dy, 60);
    EXPECT_EQ(texture_rgba(600, 100, 60), checker(100, 60));

    // Shrunk to a quarter: 25 x 15 in a 32 x 16 texture, the rest cleared.
    mnw.tex_level = 3;
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 601, 2, 101, cwd.path() + "odd.png"), 601);
    EXPECT_EQ(tman.ref_dat[601].img_dx, 25);
    EXPECT_EQ(tman.ref_dat[601].tex_dx, 32);
    const auto got = texture_rgba(601, 32, 16);
    int bad = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            // Outside the picture only alpha is known: the colour is bled in.
            const bool in = x < 25 && y < 15;
            const uint8_t v = ((x + y) % 2) ? 255 : 0;
            const uint8_t* q = &got[(size_t(y) * 32 + x) * 4];
            if (in ? (q[0] != v || q[3] != 255) : q[3] != 0) ++bad;
        }
    EXPECT_EQ(bad, 0);
}

// An uncompressed 24-bit DDS uploads as 3 bytes a pixel: the recorded video
// memory says so, and the texture holds its pixels, rows flipped.
TEST(TmanGL, Bgr24DdsUploadsThreeBytesAPixel)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    write_bytes(cwd.path() + "bgr.dds", make_dds_bgra(16, 8, true, 3));
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 602, 1, 101, cwd.path() + "bgr.dds"), 602);
    const auto& d = tman.ref_dat[602];
    EXPECT_EQ(d.gl_format, GL_BGR);
    EXPECT_EQ(d.tex_dx, 16);
    EXPECT_EQ(d.tex_dy, 8);
    EXPECT_EQ(d.vram_bytes, 16 * 8 * 3);
    const auto got = texture_rgba(602, 16, 8);
    int bad = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t* q = &got[(size_t(y) * 16 + x) * 4];
            // B = level 0, G = file row (top first), R = x.
            if (q[0] != x || q[1] != 7 - y || q[2] != 0 || q[3] != 255) ++bad;
        }
    EXPECT_EQ(bad, 0);
}

TEST(TmanGL, BuiltInImagesLoadWithTheirSizes)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd); // start-up's way: the built-in images are loaded once
    struct Case {
        int slot, img_w, img_h, tex_w, tex_h;
    } cases[] = {
        {389, 512, 512, 512, 512},
        {390, 1010, 764, 1024, 1024},
        {391, 1024, 768, 1024, 1024},
        {392, 1024, 768, 1024, 1024},
    };
    for (const Case& c : cases) {
        const auto& d = tman.ref_dat[size_t(c.slot)];
        EXPECT_EQ(d.state, kTexStateLoaded);
        EXPECT_EQ(d.img_dx, c.img_w) << c.slot;
        EXPECT_EQ(d.img_dy, c.img_h) << c.slot;
        EXPECT_EQ(d.tex_dx, c.tex_w) << c.slot;
        EXPECT_EQ(d.tex_dy, c.tex_h) << c.slot;
        tman.bind_ref(c.slot, 0, 0);
        GLint w = 0, h = 0, minf = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minf);
        EXPECT_EQ(w, c.tex_w);
        EXPECT_EQ(h, c.tex_h);
        EXPECT_EQ(minf, c.slot == 389 ? GL_NEAREST : GL_LINEAR);
    }
    EXPECT_EQ(scratch_dx, 512);
    EXPECT_EQ(scratch_dy, 512);
    EXPECT_EQ(std::memcmp(scratch_array, t_interface_dat, kTexesInterfaceBytes), 0);
    EXPECT_EQ(tman.slot_for_name("scratch_array:hardwired textures"), 390);

    // The swatches start-up samples.
    const int sw[13][6] = {
        {319, 155, 51, 67, 86, 255},    {319, 147, 78, 78, 73, 255},
        {319, 139, 13, 27, 44, 255},    {319, 131, 125, 126, 121, 255},
        {319, 123, 255, 255, 255, 255}, {319, 115, 238, 238, 238, 255},
        {319, 107, 13, 27, 44, 255},    {319, 99, 93, 99, 110, 255},
        {319, 91, 34, 41, 53, 255},     {319, 83, 39, 44, 52, 255},
        {319, 75, 36, 43, 53, 255},     {319, 67, 127, 220, 175, 255},
        {395, 115, 220, 220, 220, 255},
    };
    for (const auto& s : sw) {
        const uint8_t* p = scratch_array + 4 * (512 * s[1] + s[0]);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(p[i], s[2 + i]) << s[0] << "," << s[1];
    }
}

// Text steps by the advance table, so a glyph whose ink reached past its
// advance would run into the next one and close up the blank between words.
TEST(TmanBuiltIn, GlyphInkStaysInsideItsAdvance)
{
    int drawn = 0;
    for (int r = 0; r < kGlyphRows; ++r)
        for (int c = 0; c < kGlyphCols; ++c) {
            const int b = kGlyphLayout[r][c];
            const int room = OGL_char_advance(b) > 1 ? OGL_char_advance(b) - 1 : 1;
            int ink = 0, outside = 0;
            for (int y = 0; y < kGlyphCellH; ++y)
                for (int x = 0; x < kGlyphCellW; ++x) {
                    const int px = c * kGlyphCellW + x, py = r * kGlyphCellH + y;
                    if (t_interface_dat[4 * (512 * py + px) + 3] < 40) continue;
                    ++ink;
                    if (x >= room) ++outside;
                }
            EXPECT_EQ(outside, 0) << "byte " << b;
            if (b == ' ')
                EXPECT_EQ(ink, 0);
            else
                EXPECT_GT(ink, 0) << "byte " << b;
            drawn += ink > 0;
        }
    EXPECT_EQ(drawn, kGlyphRows * kGlyphCols - 1);
}

// Wrapped lines are kTextLineStep apart: the rows that any glyph inks, from
// the lowest descender to the highest ascender, leave one row of that pitch
// free, so the lines never touch. The accented letters set their accents
// above and are left out.
TEST(TmanBuiltIn, GlyphInkLeavesARowBetweenWrappedLines)
{
    const std::string accented = "\xC1\xC9\xCD\xD3\xDA\xD1\xE1\xE9\xED\xF3\xFA\xF1";
    int low = kGlyphCellH, high = -1;
    for (int r = 0; r < kGlyphRows; ++r)
        for (int c = 0; c < kGlyphCols; ++c) {
            if (accented.find(char(kGlyphLayout[r][c])) != std::string::npos) continue;
            for (int y = 0; y < kGlyphCellH; ++y)
                for (int x = 0; x < kGlyphCellW; ++x) {
                    const int px = c * kGlyphCellW + x, py = r * kGlyphCellH + y;
                    if (t_interface_dat[4 * (512 * py + px) + 3] == 0) continue;
                    low = std::min(low, y);
                    high = std::max(high, y);
                }
        }
    EXPECT_LE(high - low + 1, kTextLineStep - 1) << "ink from row " << low << " to " << high;
}

// The window with the built-in images, white text and a black screen.
void text_scene(TempCwd& cwd)
{
    open_window(cwd);
    colr.assign(0, 1, 1, 1);
    colr.assign(104, 1, 1, 1);
    VOVARU_startwind(kWinMain, 0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

TEST(TextGL, GlyphsLandWhereTheLayoutPutsThem)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    text_scene(cwd);
    ASSERT_EQ(mnw.win_x, 0);
    // "A" at (10.5, 20): quad x 11..25, y 14..29.
    EXPECT_EQ(OGL_string(0, 10.5f, 20, "A", 9999, kCharsetProp, 0), 20);
    glFinish();
    Lit a = count_lit(read_rgb(0, 0, 60, 60), 60, 60, 11, 14, 25, 29);
    EXPECT_GT(a.inside, 10);
    EXPECT_EQ(a.outside, 0);

    // Wrapping: "aaaa bbbb" in 40 pixels puts the b's 10 pixels lower.
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(OGL_string(0, 100, 300, "aaaa bbbb", 40, kCharsetProp, 0), 280);
    glFinish();
    const auto px = read_rgb(90, 270, 80, 40);
    // First line cells span y 294..309, the second 284..299; b's ascenders
    // reach above the a's x-height only on the second line's left.
    Lit line1 = count_lit(px, 80, 40, 10, 24, 60, 39); // x 100..150, y 294..309
    Lit line2 = count_lit(px, 80, 40, 10, 14, 40, 29); // x 100..130, y 284..299
    EXPECT_GT(line1.inside, 10);
    EXPECT_GT(line2.inside, 10);
    Lit right = count_lit(px, 80, 40, 45, 0, 80, 40); // nothing right of x 135
    EXPECT_EQ(right.inside, 0);

    // Number text on the fixed cells: '-' at x0 + 1, then 0 4 2.
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_number(0, 200, 100, -42, 3, 0, kCharsetFix10);
    glFinish();
    const auto nx = read_rgb(180, 80, 60, 40);
    // x0 = 190: '-' cell 191..205, digits 200.., 210.., 220..234; y0 = 98.
    EXPECT_GT(count_lit(nx, 60, 40, 11, 14, 20, 29).inside, 0); // the minus
    EXPECT_EQ(count_lit(nx, 60, 40, 0, 0, 11, 40).inside, 0);   // nothing left of x 191
    EXPECT_EQ(count_lit(nx, 60, 40, 55, 0, 60, 40).inside, 0);  // nothing right of x 235
    EXPECT_GT(count_lit(nx, 60, 40, 40, 14, 54, 29).inside, 5); // the 2
}

TEST(TextGL, TextScaleAboveOneEnlargesTheQuads)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    text_scene(cwd);
    EXPECT_EQ(oglp.text_scale, 1.0f);
    oglp.text_scale = 2;
    // "A" at (10.5, 20): the quad grows from (11, 14) to 28 x 30.
    OGL_string(0, 10.5f, 20, "A", 9999, kCharsetProp, 0);
    glFinish();
    oglp.text_scale = 1;
    const auto px = read_rgb(0, 0, 80, 80);
    const Lit a = count_lit(px, 80, 80, 11, 14, 39, 44);
    EXPECT_GT(a.inside, 20);
    EXPECT_EQ(a.outside, 0);
    // Ink beyond the 14 x 15 cell of scale 1.
    EXPECT_GT(count_lit(px, 80, 80, 19, 24, 39, 44).inside, 5);
}

TEST(TextGL, Screenshots)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    text_scene(cwd);

    // The atlas at 1:1 over the window background colour.
    colr.assign(34, 0.2f, 0.26f, 0.34f);
    OGL_fillrect(34, 1, 0, 0, 1024, 768);
    OGL_2dquad(389, 0, 1, 0, 0, 0, 0, 0, 512, 0, 1, 512, 512, 1, 1, 512, 0, 1, 0, 1, 5);
    glFinish();
    save_screenshot("atlas.png", 0, 0, 512, 512);

    // Every glyph in both atlas charsets.
    glClear(GL_COLOR_BUFFER_BIT);
    std::string all;
    for (int c = 0x20; c < 0x7F; ++c)
        all += char(c);
    std::string accents = "\xFB \xC1\xE1\xC9\xE9\xCD\xED\xD3\xF3\xDA\xFA\xD1\xF1\xBF";
    OGL_string(0, 10, 100, all.substr(0, 48), 9999, kCharsetProp, 0);
    OGL_string(0, 10, 85, all.substr(48), 9999, kCharsetProp, 0);
    OGL_string(0, 10, 70, accents, 9999, kCharsetProp, 0);
    OGL_string(0, 10, 50, all.substr(0, 48), 9999, kCharsetFix10, 0);
    OGL_string(0, 10, 35, all.substr(48), 9999, kCharsetFix10, 0);
    OGL_number(0, 10, 15, -12345.678f, 8, 2, kCharsetFix10);
    OGL_number(0, 150, 15, 12345.678f, 7, 2, kCharsetProp);
    glFinish();
    save_screenshot("glyphs.png", 0, 0, 520, 112);

    // A sample screen: background, artwork, panel, buttons, wrapped text.
    colr.assign(49, 1, 1, 1);
    colr.assign(102, 1, 1, 1);
    colr.assign(46, 36 / 255.f, 43 / 255.f, 53 / 255.f);
    OGL_2dquad(391, 49, 1, 0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f, 1024, 0, 1, 0, 1, 5);
    auto piece = [](float x, float y, float ax, float ay, float w, float h) {
        OGL_2dquad(390, 102, 1, x, y, ax / 1024, ay / 1024, x, y + h, ax / 1024, (ay + h) / 1024,
                   x + w, y + h, (ax + w) / 1024, (ay + h) / 1024, x + w, y, (ax + w) / 1024,
                   ay / 1024, 1, 5);
    };
    piece(0, 595, 644, 33, 128, 86);
    piece(29, 608, (21 % 8) * 64, (21 / 8) * 64 + 66, 64, 64);
    piece(10, 78, 513, 166, 126, 22);
    piece(450, 78, 640, 166, 83, 22);
    piece(700, 78, 822, 235, 116, 22);
    piece(960, 78, 780, 166, 51, 22);
    OGL_string(46, 154, 640, "NET: Zudezud 9.00 Beta-19", 9999, kCharsetProp, 0);
    OGL_string(46, 154, 615,
               "To make the download a LOT faster, if you have an earlier version of Zudezud 9 "
               "on your hard drive, choose that with the DESTINATION button below, and I will "
               "UPDATE THAT FOLDER! Ratios: 50% - 100% / caf\xE9, a\xF1o, \xBFqu\xE9? 21\xFB",
               300, kCharsetProp, 0);
    OGL_string(46, 134, 112,
               "Click on the 'DESTINATION' button below to choose the copy of Zudezud you wish "
               "to update, or choose the destination you wish to install a new copy of Zudezud to!",
               9999, kCharsetProp, 0);
    OGL_string(13, 500, 300, "INSTALLATION COMPLETE!", 9999, kCharsetProp, 1);
    OGL_number(46, 500, 280, 1234.5f, 6, 1, kCharsetFix10);
    glFinish();
    save_screenshot("sample.png", 0, 0, 1024, 768);
}

} // namespace
