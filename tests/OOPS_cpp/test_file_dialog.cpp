// The standard file dialog: the preview's reading as tables of small files
// (broken heads, odd names), then the dialog drawn in a window with an
// aircraft, its icon and an FDR comment.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <GL/gl.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/file_dialog.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_write.h"
#include "support/alert_probe.h"
#include "support/xvfb.h"

namespace
{

// Writes a file in the current folder.
void put(const std::string& name, const std::string& content)
{
    std::ofstream f(name, std::ios::binary);
    f << content;
    ASSERT_TRUE(f.good()) << name;
}

// A path of exactly `total` characters ending in ".acf", in folders of 99
// characters (a name may not exceed 255), which it makes.
std::string long_acf_path(size_t total)
{
    std::string path;
    while (total - path.size() > 100) {
        path += std::string(99, 'd') + "/";
        ::mkdir(path.c_str(), 0755);
    }
    return path + std::string(total - path.size() - 4, 'n') + ".acf";
}

// A binary header: the letter and the version in little-endian order.
std::string acf_header(char letter, int version)
{
    std::string h(1, letter);
    for (int i = 0; i < 4; ++i)
        h += char((unsigned(version) >> (8 * i)) & 0xff);
    return h;
}

// A head block with the four texts at their offsets.
std::string acf_block(const char* t0, const char* t1, const char* t2, const char* t3)
{
    std::string b(kAcfHeadBytes, '\0');
    b.replace(1552, std::string(t0).size(), t0);
    b.replace(1052, std::string(t1).size(), t1);
    b.replace(2052, std::string(t2).size(), t2);
    b.replace(1012, std::string(t3).size(), t3);
    return b;
}

struct head_read {
    int ok;
    std::string texts[kAcfHeadTexts];
};
head_read read_head(const std::string& path)
{
    unsigned char block[kAcfHeadBytes];
    head_read r;
    r.ok = stand_io_read_head(path, block);
    for (int i = 0; i < kAcfHeadTexts; ++i)
        r.texts[i] = stand_io_head_text(block, i);
    return r;
}

const std::string kGood = acf_block("Cessna 172", "Zudezud", "Trainer", "n172");

} // namespace

// ---------------------------------------------------------------------------
// Reading the preview files
// ---------------------------------------------------------------------------

TEST(FileDialogPreview, AircraftHeadsAsATable)
{
    TempCwd cwd;
    AlertProbe probe;
    const std::string unended(kAcfHeadBytes, 'x');
    const std::string long_name = long_acf_path(500);
    const struct {
        const char* what;
        std::string name, content;
        int ok;
        std::vector<std::string> texts;
    } cases[] = {
        {"version 900",
         "a.acf",
         acf_header('i', 900) + kGood,
         1,
         {"Cessna 172", "Zudezud", "Trainer", "n172"}},
        {"version 8000 and trailing bytes",
         "b.acf",
         acf_header('i', 8000) + kGood + "tail",
         1,
         {"Cessna 172", "Zudezud", "Trainer", "n172"}},
        {"byte-swapped header: bytes copied unswapped",
         "c.acf",
         "a" + std::string("\0\0\x03\x84", 4) + kGood,
         1,
         {"Cessna 172", "Zudezud", "Trainer", "n172"}},
        {"version 800 is not listed", "d.acf", acf_header('i', 800) + kGood, 0, {"", "", "", ""}},
        {"letter neither i nor a", "e.acf", acf_header('I', 900) + kGood, 0, {"", "", "", ""}},
        {"head one byte short",
         "f.acf",
         acf_header('i', 900) + kGood.substr(1),
         0,
         {"", "", "", ""}},
        {"header only", "g.acf", acf_header('i', 900), 0, {"", "", "", ""}},
        {"three bytes", "h.acf", "i\x84\x03", 0, {"", "", "", ""}},
        {"empty file", "i.acf", "", 0, {"", "", "", ""}},
        {"texts without zero bytes end at the block",
         "j.acf",
         acf_header('i', 900) + unended,
         1,
         {std::string(540, 'x'), std::string(1040, 'x'), std::string(40, 'x'),
          std::string(1080, 'x')}},
        {"':' in the name", "k:l.acf", acf_header('i', 900) + kGood, 0, {"", "", "", ""}},
        {"'\\' in the name", "m\\n.acf", acf_header('i', 900) + kGood, 0, {"", "", "", ""}},
        {"name too long for the reader",
         long_name,
         acf_header('i', 900) + kGood,
         0,
         {"", "", "", ""}},
        {"missing file", "", "", 0, {"", "", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = c.name.empty() ? "missing.acf" : c.name;
        if (!c.name.empty()) put(c.name, c.content);
        const head_read r = read_head(name);
        EXPECT_EQ(r.ok, c.ok);
        for (int i = 0; i < kAcfHeadTexts; ++i)
            EXPECT_EQ(r.texts[i], c.texts[size_t(i)]) << i;
    }
    EXPECT_EQ(probe.count(), 0u);
}

TEST(FileDialogPreview, FdrCommentsAsATable)
{
    TempCwd cwd;
    AlertProbe probe;
    const struct {
        const char* what;
        std::string name, content, comment;
    } cases[] = {
        {"comment", "a.fdr", "I\n1 version\nCOMM, hello world\n", "hello world"},
        {"first of two", "b.fdr", "A\n1 version\n\nCOMM,one\nCOMM,two\n", "one"},
        {"any case, tabs, CR LF", "c.fdr", "I\r\n1 version\r\nACFT, x.acf\r\ncomm,\t\tlow\r\n",
         "low"},
        {"after other records, at the end", "d.fdr", "I\n1\nTAIL,n1\n\n  DATA,1,2\nCOMM,last",
         "last"},
        {"blank instead of comma", "e.fdr", "I\n1 version\nCOMM hello\n", ""},
        {"keyword ending the file", "f.fdr", "I\n1 version\nCOMM", ""},
        {"version 2", "g.fdr", "I\n2 version\nCOMM,no\n", ""},
        {"zero bytes between records", "h.fdr",
         std::string("I\n1 version\nX,1\n\0\0\0COMM,after zeros\n", 36), "after zeros"},
        {"empty file", "i.fdr", "", ""},
        {"':' in the name", "j:k.fdr", "I\n1 version\nCOMM,hidden\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put(c.name, c.content);
        EXPECT_EQ(stand_io_read_comment(c.name), c.comment);
    }
    EXPECT_EQ(probe.count(), 0u);
}

TEST(FileDialogPreview, IconNamesAndReadablePaths)
{
    const struct {
        const char* path;
        const char* icon;
    } icons[] = {{"Aircraft/c172.acf", "Aircraft/c172_icon.png"},
                 {"x.ACF", "x_icon.png"},
                 {".acf", ".acf_icon.png"}, // four characters: nothing cut
                 {"noext", "noext_icon.png"}};
    for (const auto& c : icons)
        EXPECT_EQ(stand_io_icon_name(c.path), c.icon) << c.path;
    EXPECT_EQ(stand_io_path_readable("a/b.acf"), 1);
    EXPECT_EQ(stand_io_path_readable(std::string(499, 'a')), 1);
    EXPECT_EQ(stand_io_path_readable(std::string(500, 'a')), 0);
    EXPECT_EQ(stand_io_path_readable("a:b"), 0);
    EXPECT_EQ(stand_io_path_readable("a\\b"), 0);
}

// ---------------------------------------------------------------------------
// Drawn in a window
// ---------------------------------------------------------------------------

namespace
{
// A 64 x 64 icon, red on the left half and blue on the right.
void write_icon(const std::string& path)
{
    std::vector<unsigned char> px(64 * 64 * 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            unsigned char* p = &px[size_t(3 * (y * 64 + x))];
            p[0] = x < 32 ? 255 : 0;
            p[2] = x < 32 ? 0 : 255;
        }
    TEX_image_desc d;
    d.format = GL_RGB;
    d.width = d.height = 64;
    ASSERT_EQ(TEX_save_png(path, d, px.data()), 1);
}

void draw(int open_save, int type, const std::string& path)
{
    VOVARU_startwind(open_save, 0);
    stand_io_dialog(open_save, type, path);
}
} // namespace

TEST(FileDialogWindow, AircraftPreviewWithIconReadOnceAndOddNames)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd;
    xvfb_open_shell_window();
    AlertProbe probe;
    put("c172.acf", acf_header('i', 900) + kGood);
    write_icon("c172_icon.png");

    colr.assign(47, 1, 1, 1); // texts in white, the background stays grey
    draw(998, 3, "c172.acf");
    const stand_io_state& s = stand_io_dialog_state();
    EXPECT_EQ(s.has_tex, kTexFileIcon);
    EXPECT_EQ(s.old_path, "c172.acf");
    OGL_sbuff();
    const ShownPixels p = xvfb_shown_frame("file_dialog_acf.png");
    // The icon's 200 x 200 square: red left, blue right (colour 49 tints it).
    const float ox = mnw.win_x, oy = mnw.win_y;
    const unsigned char* left = p.at(int(ox) + 380, int(oy) + 180);
    const unsigned char* right = p.at(int(ox) + 500, int(oy) + 180);
    EXPECT_GT(left[0], 150);
    EXPECT_LT(left[2], 60);
    EXPECT_GT(right[2], 150);
    EXPECT_LT(right[0], 60);
    // The folder panel and the texts are in the frame too: loading the icon
    // did not put the start-up screen over them.
    EXPECT_FALSE(shown_is(p, int(ox) + 150, int(oy) + 360, 128, 128, 128, 8));
    EXPECT_GT(shown_count(p, int(ox) + 341, int(oy) + 395, int(ox) + 541, int(oy) + 415, 255, 255,
                          255, 60),
              5);

    // The same selection again reads nothing: a changed file still shows the
    // texts read first.
    put("c172.acf", acf_header('i', 900) + acf_block("B", "", "", ""));
    draw(998, 3, "c172.acf");
    EXPECT_EQ(stand_io_head_text(s.top_of_veh, 0), "Cessna 172");
    // Save mode draws no preview and leaves old_path.
    draw(999, 3, "other.acf");
    EXPECT_EQ(s.old_path, "c172.acf");

    // Names the reader refuses, and a broken head beside its icon: no
    // preview, no fatal alert, and the program goes on.
    const std::string odd[] = {"c1:72.acf", "c1\\72.acf", long_acf_path(500)};
    for (const std::string& name : odd) {
        put(name, acf_header('i', 900) + kGood);
        draw(998, 3, name);
        EXPECT_EQ(s.has_tex, 0) << name;
        EXPECT_EQ(stand_io_head_text(s.top_of_veh, 0), "") << name;
        EXPECT_EQ(s.old_path, name);
    }
    // Short enough to read, but its icon's name is too long for the reader.
    const std::string near = long_acf_path(497);
    put(near, acf_header('i', 900) + kGood);
    draw(998, 3, near);
    EXPECT_EQ(s.has_tex, 0);
    EXPECT_EQ(stand_io_head_text(s.top_of_veh, 2), "Trainer");

    put("short.acf", acf_header('i', 900) + "tiny");
    write_icon("short_icon.png");
    draw(998, 3, "short.acf");
    EXPECT_EQ(s.has_tex, kTexFileIcon); // the icon is still shown
    EXPECT_EQ(stand_io_head_text(s.top_of_veh, 1), "");

    // FDR: lower-case ".fdr" only.
    put("f.fdr", "I\n1 version\nCOMM,flight one\n");
    put("G.FDR", "I\n1 version\nCOMM,flight two\n");
    draw(998, 8, "f.fdr");
    EXPECT_EQ(s.comment, "flight one");
    draw(998, 8, "G.FDR");
    EXPECT_EQ(s.comment, "flight one");
    EXPECT_EQ(s.old_path, "G.FDR");
    EXPECT_EQ(probe.count(), 0u);
}
