// The background picture, the screenshot and the text on a backing: the
// picture's box and tiles as tables, then real tiles, frames and files under
// Xvfb, read back and compared with the source image.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "GenC/hl_init.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_png.h"
#include "support/alert_probe.h"
#include "support/gl_feedback.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "tman_test_util.h"

namespace
{

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------
// A picture in which every pixel of a 1024-wide picture differs from its
// neighbours in each direction, so rows or columns taken from the wrong place
// show up as mismatches (RGB, rows bottom first).
std::vector<uint8_t> pattern(int w, int h)
{
    std::vector<uint8_t> p;
    p.reserve(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.insert(p.end(), {uint8_t(x), uint8_t(y),
                               uint8_t((x >> 8) << 5 | (y >> 8) << 2 | ((x + y) & 3))});
    return p;
}

// The picture as Resources/bitmaps/intro.png in the current folder.
void write_picture(TempCwd& cwd, const std::vector<uint8_t>& rgb, int w, int h)
{
    std::filesystem::create_directories(cwd.path() + "Resources/bitmaps");
    ASSERT_TRUE(write_png_file(cwd.path() + kBackPicturePath, w, h, 3, rgb));
}

// Level 0 of a slot's texture as RGBA, and its size.
std::vector<uint8_t> texture_of(int slot, int* w, int* h)
{
    tman.bind_ref(slot, 0, 0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, h);
    std::vector<uint8_t> px(size_t(std::max(*w, 0)) * std::max(*h, 0) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!px.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// The whole back buffer as RGB, rows bottom first.
std::vector<uint8_t> back_buffer()
{
    glFinish();
    std::vector<uint8_t> px(size_t(mnw.res_x) * mnw.res_y * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, mnw.res_x, mnw.res_y, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// How many pixels of the frame differ (beyond 1 a channel) from what is
// expected: the picture with its lower-left corner at (px, py), and `outside`
// (r, g, b) elsewhere.
long mismatches(const std::vector<uint8_t>& frame, const std::vector<uint8_t>& picture, int pw,
                int ph, int px, int py, const uint8_t* outside)
{
    long bad = 0;
    for (int y = 0; y < mnw.res_y; ++y)
        for (int x = 0; x < mnw.res_x; ++x) {
            const uint8_t* got = &frame[(size_t(y) * mnw.res_x + x) * 3];
            const int sx = x - px, sy = y - py;
            const bool in = sx >= 0 && sx < pw && sy >= 0 && sy < ph;
            const uint8_t* want = in ? &picture[(size_t(sy) * pw + sx) * 3] : outside;
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(got[c]) - int(want[c])) > 1) {
                    ++bad;
                    break;
                }
        }
    return bad;
}

// The window as start-up makes it, w x h, no window current yet; white as
// colour 0, grey 128 as colour 34; alerts print. Image files are decoded
// without a gamma change, so the pixels can be compared byte for byte.
void back_window(TempCwd& cwd, int w = 1024, int h = 768)
{
    xvfb_open_shell_window(w, h);
    xer.open(cwd.path() + "Log.txt", std::ios::out | std::ios::trunc);
    ogl_inited = 0;
    colr.assign(0, 1, 1, 1);
    colr.assign(kColLight, 1, 1, 1);
    colr.assign(kColBackground, 128 / 255.0f, 128 / 255.0f, 128 / 255.0f);
    colr.file_gamma = colr.screen_gamma;
}

// Exact figures compared as one list, so a failure shows them all.
std::vector<float> floats(std::initializer_list<float> v)
{
    return v;
}

const uint8_t kGrey128[3] = {128, 128, 128};
const uint8_t kBlack[3] = {0, 0, 0};

} // namespace

// ---------------------------------------------------------------------------
// Where the picture and its tiles go
// ---------------------------------------------------------------------------
TEST(BackPicture, BoxAtStartUpAndInAWindow)
{
    struct {
        bool window;
        int W, H;
        float area_x;
        int pw, ph;
        back_box want;
    } cases[] = {
        {false, 1280, 1024, 0, 1024, 768, {0, 1024, 256, 1024, true}},
        {true, 1280, 1024, 128, 1024, 768, {128, 1152, 0, 768, false}},
        {false, 2048, 1536, 0, 1024, 768, {0, 1024, 768, 1536, true}},
        {false, 800, 600, 0, 1024, 768, {-224, 800, 0, 768, false}},       // right edges agree
        {false, 800, 600, 0, 2048, 2048, {-1248, 800, -936, 1112, false}}, // drop held to 512
        {false, 2048, 2048, 0, 2048, 2048, {0, 2048, 0, 2048, false}},
        {false, 1024, 768, 0, 0, 0, {0, 0, 768, 768, true}}, // no picture yet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " picture " << c.pw << "x" << c.ph
                                        << " window " << c.window);
        const back_box b = OGL_back_box(c.window, c.W, c.H, c.area_x, c.pw, c.ph);
        EXPECT_EQ(
            floats({b.left, b.right, b.bottom, b.top, float(b.fill)}),
            floats({c.want.left, c.want.right, c.want.bottom, c.want.top, float(c.want.fill)}));
    }
}

// Each tile is drawn at its own 512 pixels from the picture's lower-left
// corner, cut at the picture's edges with its texture cut to match.
TEST(BackPicture, TilesAtTheirOwnSize)
{
    const back_box pic1024{0, 1024, 256, 1024, true};
    const back_box pic2048{0, 2048, 0, 2048, false};
    struct {
        const back_box* box;
        int W, H, i, j;
        bool drawn;
        back_tile_quad want;
    } cases[] = {
        {&pic1024, 1280, 1024, 0, 0, true, {0, 256, 512, 768, 1, 1}},
        {&pic1024, 1280, 1024, 1, 0, true, {512, 256, 1024, 768, 1, 1}},
        {&pic1024, 1280, 1024, 0, 1, true, {0, 768, 512, 1024, 1, 0.5f}},
        {&pic1024, 1280, 1024, 1, 1, true, {512, 768, 1024, 1024, 1, 0.5f}},
        {&pic1024, 1280, 1024, 2, 0, false, {}}, // beyond the picture's right edge
        {&pic1024, 1280, 1024, 0, 2, false, {}}, // beyond its top
        // A full-size picture: the same tiles as four equal parts of its box.
        {&pic2048, 2048, 2048, 3, 2, true, {1536, 1024, 2048, 1536, 1, 1}},
        {&pic2048, 1280, 1024, 2, 1, true, {1024, 512, 1536, 1024, 1, 1}},
        {&pic2048, 1280, 1024, 3, 0, false, {}}, // right of the window
        {&pic2048, 1280, 1024, 0, 2, false, {}}, // above the window
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "tile " << c.i << "," << c.j << " in " << c.W << "x" << c.H);
        back_tile_quad q{};
        ASSERT_EQ(OGL_back_tile_quad(*c.box, c.i, c.j, c.W, c.H, &q), c.drawn);
        if (!c.drawn) continue;
        const back_tile_quad& w = c.want;
        EXPECT_EQ(floats({q.x0, q.y0, q.x1, q.y1, q.s1, q.t1}),
                  floats({w.x0, w.y0, w.x1, w.y1, w.s1, w.t1}));
    }
}

// ---------------------------------------------------------------------------
// Real tiles and frames
// ---------------------------------------------------------------------------
// The picture is decoded with rows 2048 pixels long; the tiles are cut at
// that stride, so each holds its 512 x 512 part of the picture unstriped and
// the parts outside the picture are transparent black.
TEST(BackPicture, TilesHoldTheirPartOfThePicture)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    back_window(cwd);
    const int pw = 1024, ph = 768;
    const std::vector<uint8_t> src = pattern(pw, ph);
    write_picture(cwd, src, pw, ph);
    AlertProbe probe;
    ASSERT_EQ(mnw.win_now, kWinNone);
    OGL_make_back_tex();
    EXPECT_EQ(back_dx, pw);
    EXPECT_EQ(back_dy, ph);
    EXPECT_EQ(probe.count(), 0u);
    for (int slot = kTexBackTileFirst; slot <= kTexBackTileLast; ++slot) {
        SCOPED_TRACE(slot);
        const int i = (slot - kTexBackTileFirst) % 4, j = (slot - kTexBackTileFirst) / 4;
        int w = 0, h = 0;
        const std::vector<uint8_t> tex = texture_of(slot, &w, &h);
        ASSERT_EQ(w, 512);
        ASSERT_EQ(h, 512);
        long bad = 0, content = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const uint8_t* got = &tex[(size_t(y) * 512 + x) * 4];
                const int sx = 512 * i + x, sy = 512 * j + y;
                uint8_t want[4] = {0, 0, 0, 0};
                if (sx < pw && sy < ph) {
                    std::memcpy(want, &src[(size_t(sy) * pw + sx) * 3], 3);
                    want[3] = 255;
                    ++content;
                }
                bad += std::memcmp(got, want, 4) != 0;
            }
        EXPECT_EQ(bad, 0);
        const bool has_content = slot == 424 || slot == 425 || slot == 428 || slot == 429;
        EXPECT_EQ(content > 0, has_content);
    }
}

// At start-up on a 1280 x 1024 window the 1024 x 768 picture lies from
// (0, 256) to (1024, 1024) over colour 34; in the main window from the area's
// origin (128, 0). Pixel for pixel the source image.
TEST(BackPicture, DrawnPixelForPixel)
{
    XVFB_TEST_BODY(kXvfbScreen, xvfb_shots_env());
    TempCwd cwd;
    back_window(cwd, 1280, 1024);
    const int pw = 1024, ph = 768;
    const std::vector<uint8_t> src = pattern(pw, ph);
    write_picture(cwd, src, pw, ph);
    OGL_make_back_tex();
    AlertProbe probe;

    for (int pass = 0; pass < 2; ++pass) { // both buffers hold the frame
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        OGL_plot_back_tex();
        if (pass == 0) {
            EXPECT_EQ(mismatches(back_buffer(), src, pw, ph, 0, 256, kGrey128), 0);
        }
        OGL_sbuff();
    }
    const ShownPixels shown = xvfb_shown_frame("back_picture.png");
    ASSERT_EQ(shown.w, 1280);
    EXPECT_TRUE(shown_is(shown, 1100, 500, 128, 128, 128));
    EXPECT_TRUE(shown_is(shown, 600, 100, 128, 128, 128));
    for (const auto& xy : {std::pair<int, int>{0, 256}, {1023, 1023}, {700, 700}, {300, 900}}) {
        const uint8_t* want = &src[(size_t(xy.second - 256) * pw + xy.first) * 3];
        EXPECT_TRUE(shown_is(shown, xy.first, xy.second, want[0], want[1], want[2], 1))
            << xy.first << "," << xy.second;
    }

    VOVARU_startwind(kWinMain, 0);
    OGL_pix_specs(0);
    ASSERT_EQ(mnw.area_x, 128);
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_plot_back_tex(); // no fill with a window current
    EXPECT_EQ(mismatches(back_buffer(), src, pw, ph, 128, 0, kBlack), 0);
    EXPECT_EQ(probe.count(), 0u);
}

// Without the 16 MB block no tile is made: the picture's size goes back to 0
// and drawing binds no tile (a tile never loaded would alert every frame).
TEST(BackPicture, NoBlockNoTilesNothingBound)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    back_window(cwd);
    write_picture(cwd, pattern(1024, 768), 1024, 768);
    OGL_set_back_alloc_hook([](std::size_t) -> void* { return nullptr; });
    OGL_make_back_tex();
    OGL_set_back_alloc_hook(nullptr);
    EXPECT_EQ(back_dx, 0);
    EXPECT_EQ(back_dy, 0);
    for (int slot = kTexBackTileFirst; slot <= kTexBackTileLast; ++slot)
        EXPECT_TRUE(slot >= int(tman.ref_dat.size()) ||
                    tman.ref_dat[size_t(slot)].state != kTexStateLoaded);

    AlertProbe probe;
    OGL_plot_back_tex();
    VOVARU_startwind(kWinMain, 0);
    OGL_pix_specs(0);
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_plot_back_tex();
    EXPECT_EQ(probe.count(), 0u);
    EXPECT_EQ(mismatches(back_buffer(), {}, 0, 0, 0, 0, kBlack), 0);
}

// A missing or unreadable picture is fatal, naming the file; outside
// start-up nothing is read at all.
TEST(BackPicture, MissingPictureIsFatalOnlyAtStartUp)
{
    const std::vector<uint8_t> wide(2049 * 2 * 3, 90);
    struct {
        const char* what;
        std::function<void(TempCwd&)> make;
    } cases[] = {
        {"missing", [](TempCwd&) {}},
        {"wider than 2048", [&](TempCwd& c) { write_picture(c, wide, 2049, 2); }},
        {"not an image",
         [](TempCwd& c) {
             std::filesystem::create_directories(c.path() + "Resources/bitmaps");
             FILE* f = std::fopen((c.path() + kBackPicturePath).c_str(), "wb");
             std::fputs("not a picture at all", f);
             std::fclose(f);
         }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempCwd cwd;
        c.make(cwd);
        ChildResult r = run_in_child([] {
            VOVARU_align_scratch();
            mnw.win_now = kWinNone;
            OGL_make_back_tex();
        });
        EXPECT_TRUE(r.aborted());
        EXPECT_NE(r.out.find("Trying to load a texture that you do not have!"), std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("Resources/bitmaps/intro.png"), std::string::npos) << r.out;

        ChildResult later = run_in_child([] {
            VOVARU_align_scratch();
            mnw.win_now = kWinMain;
            OGL_make_back_tex();
            std::printf("sizes %d %d\n", back_dx, back_dy);
            std::fflush(stdout);
        });
        EXPECT_TRUE(later.exited());
        EXPECT_NE(later.out.find("sizes 0 0"), std::string::npos) << later.out;
    }
}

// ---------------------------------------------------------------------------
// Screenshots
// ---------------------------------------------------------------------------
TEST(Screenshot, MiddleBlockOfTheWindow)
{
    struct {
        int W, H, x, y, w, h;
    } cases[] = {
        {3000, 1000, 476, 0, 2048, 1000},
        {1024, 768, 0, 0, 1024, 768},
        {2049, 4000, 0, 976, 2048, 2048},
        {0, 0, 0, 0, 0, 0},
        {-5, 10, 0, 0, 0, 10},
    };
    for (const auto& c : cases) {
        int x = -1, y = -1, w = -1, h = -1;
        OGL_screenshot_box(c.W, c.H, &x, &y, &w, &h);
        EXPECT_EQ(x, c.x) << c.W << "x" << c.H;
        EXPECT_EQ(y, c.y) << c.W << "x" << c.H;
        EXPECT_EQ(w, c.w) << c.W << "x" << c.H;
        EXPECT_EQ(h, c.h) << c.W << "x" << c.H;
    }
}

namespace
{
// A frame of four coloured quarters with a white square, in the main window.
void draw_quarters()
{
    colr.assign(50, 1, 0, 0);
    colr.assign(51, 0, 1, 0);
    colr.assign(52, 0, 0, 1);
    colr.assign(53, 1, 1, 1);
    const float w = float(mnw.res_x), h = float(mnw.res_y);
    OGL_fillrect(50, 1, 0, 0, w / 2, h / 2);
    OGL_fillrect(51, 1, w / 2, 0, w / 2, h / 2);
    OGL_fillrect(52, 1, 0, h / 2, w / 2, h / 2);
    OGL_fillrect(kColBackground, 1, w / 2, h / 2, w / 2, h / 2);
    OGL_fillrect(53, 1, 10, 20, 30, 40);
    glFinish();
}

// The screenshot file read back through the program's PNG reader, as RGB
// rows bottom first.
std::vector<uint8_t> read_shot(const std::string& path, int* w, int* h)
{
    xmap_class map(path);
    unsigned char* px = nullptr;
    TEX_image_desc d;
    if (!TEX_load_png(path, &map, px, GL_RGB, 0, 0, 0, d)) return {};
    *w = d.width;
    *h = d.height;
    std::vector<uint8_t> out(px, px + size_t(d.width) * d.height * 3);
    std::free(px);
    return out;
}

std::vector<std::string> names_in(const std::string& folder)
{
    std::vector<std::string> n;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}
} // namespace

// With screenshot_0.png and screenshot_1.png present the first saving call
// writes screenshot_2.png and the next screenshot_3.png; the user's files
// stay as they were, and each shot reads back as the window.
TEST(Screenshot, NumberedAfterTheExistingOnes)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    back_window(cwd);
    VOVARU_startwind(kWinMain, 0);
    for (const char* n : {"screenshot_0.png", "screenshot_1.png"}) {
        FILE* f = std::fopen((cwd.path() + n).c_str(), "wb");
        std::fputs(n, f);
        std::fclose(f);
    }
    draw_quarters();
    const std::vector<uint8_t> frame = back_buffer();

    OGL_screenshot(0); // reads, writes nothing
    EXPECT_EQ(std::memcmp(scratch_array, frame.data(), frame.size()), 0);
    xer.close();
    std::filesystem::remove(cwd.path() + "Log.txt");
    EXPECT_EQ(names_in(cwd.path()).size(), 2u);

    OGL_screenshot(1);
    OGL_screenshot(1);
    EXPECT_EQ(names_in(cwd.path()),
              (std::vector<std::string>{"screenshot_0.png", "screenshot_1.png", "screenshot_2.png",
                                        "screenshot_3.png"}));
    EXPECT_EQ(TempDir::read(cwd.path() + "screenshot_0.png"), "screenshot_0.png");
    EXPECT_EQ(TempDir::read(cwd.path() + "screenshot_1.png"), "screenshot_1.png");
    for (const char* n : {"screenshot_2.png", "screenshot_3.png"}) {
        int w = 0, h = 0;
        const std::vector<uint8_t> shot = read_shot(cwd.path() + n, &w, &h);
        EXPECT_EQ(w, 1024) << n;
        EXPECT_EQ(h, 768) << n;
        EXPECT_TRUE(shot == frame) << n;
    }
}

// A name held by a folder or a link (even one whose target is missing) is
// taken too: the screenshot neither fails on it nor writes through it.
TEST(Screenshot, NeverWritesOnOrThroughOtherEntries)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    back_window(cwd);
    VOVARU_startwind(kWinMain, 0);
    xer.close();
    std::filesystem::remove(cwd.path() + "Log.txt");
    ASSERT_EQ(symlink("elsewhere.png", (cwd.path() + "screenshot_0.png").c_str()), 0);
    std::filesystem::create_directory(cwd.path() + "screenshot_1.png");
    draw_quarters();
    OGL_screenshot(1);
    EXPECT_EQ(
        names_in(cwd.path()),
        (std::vector<std::string>{"screenshot_0.png", "screenshot_1.png", "screenshot_2.png"}));
    EXPECT_FALSE(TempDir::exists(cwd.path() + "elsewhere.png"));
    EXPECT_TRUE(std::filesystem::is_empty(cwd.path() + "screenshot_1.png"));
    int w = 0, h = 0;
    EXPECT_EQ(read_shot(cwd.path() + "screenshot_2.png", &w, &h).size(), 1024u * 768 * 3);
}

// A window wider than 2048 gives its middle 2048 columns.
TEST(Screenshot, WideWindowGivesItsMiddle)
{
    XVFB_TEST_BODY("-screen 0 3000x1000x24 +extension GLX");
    TempCwd cwd;
    back_window(cwd, 3000, 1000);
    VOVARU_startwind(kWinMain, 0);
    ASSERT_EQ(mnw.res_x, 3000);
    ASSERT_EQ(mnw.res_y, 1000);
    colr.assign(50, 1, 0, 0);
    colr.assign(51, 0, 1, 0);
    OGL_plot_back_col();
    OGL_fillrect(50, 1, 476, 0, 1, 1000);  // first column read
    OGL_fillrect(51, 1, 475, 0, 1, 1000);  // last column left out
    OGL_fillrect(51, 1, 2524, 0, 1, 1000); // first column right of the block
    OGL_fillrect(50, 1, 2523, 0, 1, 1000); // last column read
    glFinish();
    OGL_screenshot(0);
    for (int y : {0, 500, 999}) {
        const unsigned char* row = scratch_array + size_t(y) * 2048 * 3;
        EXPECT_EQ(row[0], 255) << y;
        EXPECT_EQ(row[1], 0) << y;
        EXPECT_EQ(row[2047 * 3], 255) << y;
        EXPECT_EQ(row[2047 * 3 + 1], 0) << y;
        EXPECT_EQ(row[3], 128) << y; // background
    }
}

// ---------------------------------------------------------------------------
// Text on a backing
// ---------------------------------------------------------------------------
namespace
{
constexpr int kTextCol = 60, kLabelCol = 43;

struct extent {
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
    int count = 0;
};

// The horizontal extent of the polygons drawn in one colour.
extent extent_of(const std::vector<FbPrim>& prims, float r, float g, float b)
{
    extent e;
    for (const FbPrim& p : prims) {
        if (p.kind != FbPrim::kPolygon || p.v.empty()) continue;
        const FbVertex& c = p.v[0];
        if (std::abs(c.r - r) > 1e-3f || std::abs(c.g - g) > 1e-3f || std::abs(c.b - b) > 1e-3f)
            continue;
        ++e.count;
        for (const FbVertex& v : p.v) {
            e.x0 = std::min(e.x0, v.x);
            e.x1 = std::max(e.x1, v.x);
            e.y0 = std::min(e.y0, v.y);
            e.y1 = std::max(e.y1, v.y);
        }
    }
    return e;
}

void text_window(TempCwd& cwd)
{
    back_window(cwd);
    VOVARU_startwind(kWinMain, 0);
    colr.assign(kTextCol, 0, 0, 1);
    colr.assign(kLabelCol, 1, 0, 0);
}
} // namespace

// The bar: 10 a character + 7 for charset 102, the proportional width + 7
// for 100, 100 for any other; the type 9 field is drawn 4 wider, centred on
// x. The text starts 4 inside the bar's left end, the label's parts end and
// start 8 away from it.
TEST(BoxedText, BarTextAndLabels)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    text_window(cwd);
    struct {
        int charset;
        const char* text;
        float bar;   // OGL_boxed_width
        float drawn; // width the field is drawn
    } cases[] = {
        {kCharsetFix10, "Hello", 57, 62},
        {kCharsetProp, "Hello", 34, 38},
        {kCharsetProp, "", 7, 12},
        {kCharsetFix15, "Hello", 100, 104},
    };
    const float x = 512, y = 400;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.charset << " '" << c.text << "'");
        EXPECT_EQ(OGL_boxed_width(c.text, c.charset), c.bar);
        AlertProbe probe; // the 15-pixel font is never loaded here: a warning
        const auto prims =
            gl_feedback([&] { OGL_boxed_string(x, y, "Left|Right", c.text, c.charset, kTextCol); });
        const extent bar = extent_of(prims, 1, 1, 1);
        ASSERT_GT(bar.count, 0);
        EXPECT_NEAR(bar.x0, x - c.drawn / 2, 1e-3);
        EXPECT_NEAR(bar.x1, x + c.drawn / 2, 1e-3);
        EXPECT_NEAR((bar.y0 + bar.y1) / 2, y + 3, 1e-3); // centred 3 above the text line
        const extent text = extent_of(prims, 0, 0, 1);
        if (*c.text) {
            ASSERT_GT(text.count, 0);
            EXPECT_NEAR(text.x0, x - c.bar / 2 + 4, 0.51); // placement rounds to whole pixels
        } else {
            EXPECT_EQ(text.count, 0);
        }
        // Glyph quads start at their pen position: "Left" (20 wide) ends at
        // the gap's left, "Right" starts at its right.
        float left_start = 1e9f, right_start = 1e9f;
        for (const FbPrim& p : prims) {
            if (p.kind != FbPrim::kPolygon || p.v[0].r != 1 || p.v[0].g != 0) continue;
            float px0 = 1e9f;
            for (const FbVertex& v : p.v)
                px0 = std::min(px0, v.x);
            float& side = px0 < x ? left_start : right_start;
            side = std::min(side, px0);
        }
        EXPECT_NEAR(left_start, x - c.bar / 2 - 8 - OGL_text_width("Left"), 1.01);
        EXPECT_NEAR(right_start, x + c.bar / 2 + 8, 1.01);
    }
}

// The boxed text as shown: field bar, text inside, labels outside; and the
// grey string over its half-transparent box.
TEST(BoxedText, DrawnOnScreen)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    text_window(cwd);
    colr.assign(12, 0, 0, 0); // OGL_grayrect's colour
    OGL_plot_back_col();
    OGL_boxed_string(512, 400, "Speed|per second", "12345", kCharsetFix10, kTextCol);
    OGL_gray_string(kTextCol, 100, 300, "Hello");
    const std::vector<uint8_t> f = back_buffer();
    auto px = [&](int x, int y) { return &f[(size_t(y) * mnw.res_x + x) * 3]; };
    auto is = [&](int x, int y, int r, int g, int b) {
        const uint8_t* p = px(x, y);
        return std::abs(p[0] - r) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - b) <= 2;
    };
    // Bar 57 wide drawn 62: from 481 to 543.
    int text = 0, text_outside = 0, label_in_bar = 0, label_left = 0, label_right = 0;
    for (int y = 380; y < 420; ++y)
        for (int x = 380; x < 700; ++x) {
            const uint8_t* p = px(x, y);
            const bool blue = p[2] > 200 && p[0] < 60 && p[1] < 60;
            const bool red = p[0] > 200 && p[1] < 60 && p[2] < 60;
            if (blue) (x >= 481 && x < 543 ? text : text_outside)++;
            if (red && x >= 476 && x < 549) ++label_in_bar;
            if (red && x < 476) ++label_left;
            if (red && x >= 549) ++label_right;
        }
    EXPECT_GT(text, 20);
    EXPECT_EQ(text_outside, 0);
    EXPECT_EQ(label_in_bar, 0);
    EXPECT_GT(label_left, 10);
    EXPECT_GT(label_right, 10);
    EXPECT_FALSE(is(512, 403, 128, 128, 128)); // the field covers the background
    EXPECT_TRUE(is(470, 420, 128, 128, 128));

    // "Hello" is 27 wide: the box from 84.5 to 115.5, 298 to 308, black at
    // half alpha over grey 128.
    EXPECT_TRUE(is(86, 299, 64, 64, 64));
    EXPECT_TRUE(is(114, 307, 64, 64, 64));
    EXPECT_TRUE(is(83, 303, 128, 128, 128));
    EXPECT_TRUE(is(117, 303, 128, 128, 128));
    EXPECT_TRUE(is(100, 309, 128, 128, 128));
    EXPECT_TRUE(is(100, 296, 128, 128, 128));
    int grey_text = 0;
    for (int y = 296; y < 312; ++y)
        for (int x = 80; x < 120; ++x)
            grey_text += px(x, y)[2] > 200 && px(x, y)[0] < 60;
    EXPECT_GT(grey_text, 10);
}
