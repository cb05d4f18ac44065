// The standard file dialog: the fixed parts of the open and save picker and
// the preview of the selected aircraft or FDR file.
//
// Index: [SECTION] Reading the preview files; [SECTION] Drawing.
#include "OOPS_cpp/file_dialog.h"

#include <cstring>
#include <strings.h>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bind.h"

namespace
{

constexpr int kWinOpen = 998;
constexpr int kTypeAircraft = 3, kTypeFdr = 8, kTypeNothing = 20;

// Aircraft versions the preview reads, ended by 0 (8000, not 800).
const int kAcfVersions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};
const int kFdrVersions[] = {1, 0};
// Where the four texts lie in the head block, in drawing order.
constexpr int kHeadTextAt[kAcfHeadTexts] = {1552, 1052, 2052, 1012};

constexpr const char* kIconSuffix = "_icon.png";
constexpr int kIconFlags = 0x511;

// Panels and their places.
constexpr float kFolderX = 10, kFolderY = 300, kFolderW = 290, kFolderH = 120;
constexpr float kPictureX = 331, kPictureY = 70, kPictureSide = 220;
constexpr float kTextPanelX = 331, kTextPanelY = 300, kTextPanelW = 220, kTextPanelH = 120;
constexpr int kColText = 47, kColIcon = 49;
constexpr float kTextX = 341, kFirstTextY = 405, kTextGap = 10, kTextWrap = 200;
constexpr float kCommentY = 270;
constexpr float kIconX0 = 341, kIconY0 = 80, kIconX1 = 541, kIconY1 = 280;
constexpr int kIconBlend = 4;

stand_io_state& state()
{
    static stand_io_state s{};
    return s;
}

// The characters of a record the FDR reader passes between records.
bool fdr_gap(char c)
{
    return c == 0 || c == '\r' || c == '\n' || c == '\t' || c == ' ';
}

// Reads the aircraft head and its icon into the dialog's state.
void read_aircraft(const std::string& path)
{
    stand_io_state& s = state();
    stand_io_read_head(path, s.top_of_veh);
    // Refused or unreadable heads still get their icon tried; a name the
    // texture loader's reader would refuse gets none. Loaded as a late load:
    // a start-up load draws the start-up screen and swaps it over the picker.
    const std::string icon = stand_io_icon_name(path);
    s.has_tex = 0;
    if (stand_io_path_readable(icon))
        s.has_tex =
            tman.load_texture(tex_fail_silent, kTexFileIcon, kIconFlags, tex_load_later, icon);
}

// One size of the icon's slot, read under the texture manager's lock.
float icon_size(float tman_class::ref_dat_struct::*size)
{
    tman_locker l(&tman.lock);
    return tman.ref_dat[size_t(kTexFileIcon)].*size;
}

void draw_aircraft()
{
    const stand_io_state& s = state();
    float y = kFirstTextY;
    for (int i = 0; i < kAcfHeadTexts; ++i)
        y = OGL_string(kColText, kTextX, y, stand_io_head_text(s.top_of_veh, i), kTextWrap,
                       kCharsetProp, kTextLeft) -
            kTextGap;
    if (s.has_tex == 0) return;
    const float tex_dx = icon_size(&tman_class::ref_dat_struct::tex_dx);
    const float tex_dy = icon_size(&tman_class::ref_dat_struct::tex_dy);
    const float sx = tex_dx > 0 ? icon_size(&tman_class::ref_dat_struct::img_dx) / tex_dx : 0;
    const float ty = tex_dy > 0 ? icon_size(&tman_class::ref_dat_struct::img_dy) / tex_dy : 0;
    OGL_2dquad(kTexFileIcon, kColIcon, 1.0f, kIconX0, kIconY0, 0, 0, kIconX0, kIconY1, 0, ty,
               kIconX1, kIconY1, sx, ty, kIconX1, kIconY0, sx, 0, 1, kIconBlend);
}

} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Reading the preview files
// ---------------------------------------------------------------------------

const stand_io_state& stand_io_dialog_state()
{
    return state();
}

int stand_io_path_readable(const std::string& path)
{
    if (path.find_first_of("\\:") != std::string::npos) return 0;
    return (int)(app_path.size() + path.size()) <= kMaxFilePath;
}

int stand_io_read_head(const std::string& path, unsigned char block[kAcfHeadBytes])
{
    std::memset(block, 0, kAcfHeadBytes);
    if (!stand_io_path_readable(path)) return 0;
    xmap_class file(path);
    if (file.check_file(kFileBinary, kAcfVersions, nullptr, nullptr) == 0) return 0;
    // A short head would be the reader's fatal alert: a broken file the
    // user merely selected shows empty texts instead.
    if (file.end - file.cursor < kAcfHeadBytes) return 0;
    file.swap = 0; // copied as bytes
    file.read_n_rev((long)block, kAcfHeadBytes);
    return 1;
}

std::string stand_io_head_text(const unsigned char block[kAcfHeadBytes], int i)
{
    if (i < 0 || i >= kAcfHeadTexts) return std::string();
    const char* p = reinterpret_cast<const char*>(block) + kHeadTextAt[i];
    return std::string(p, strnlen(p, size_t(kAcfHeadBytes - kHeadTextAt[i])));
}

std::string stand_io_icon_name(const std::string& path)
{
    const size_t n = path.size();
    const bool cut = n > 4 && path[n - 4] == '.';
    return (cut ? path.substr(0, n - 4) : path) + kIconSuffix;
}

std::string stand_io_read_comment(const std::string& path)
{
    if (!stand_io_path_readable(path)) return std::string();
    xmap_class file(path);
    if (file.check_file(kFileText, kFdrVersions, nullptr, nullptr) == 0) return std::string();
    const char*& c = file.cursor;
    const char* const end = file.end;
    while (c < end) {
        file.skip_blanks();
        const char* key = c;
        while (c < end && *c != ',' && *c != '\r' && *c != '\n' && *c != 0)
            ++c;
        const size_t key_len = size_t(c - key);
        if (c < end) ++c; // the ',' or line end
        file.skip_blanks();
        if (key_len == 4 && strncasecmp(key, "COMM", 4) == 0) {
            const char* text = c;
            while (c < end && *c != '\r' && *c != '\n' && *c != 0)
                ++c;
            return std::string(text, size_t(c - text));
        }
        while (c < end && *c != '\r' && *c != '\n' && *c != 0)
            ++c;
        while (c < end && fdr_gap(*c))
            ++c;
    }
    return std::string();
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing
// ---------------------------------------------------------------------------

void stand_io_dialog(int open_save, int file_type, std::string path)
{
    stand_io_state& s = state();
    OGL_plot_back_col();
    BTN_fillwin(1, kPanelNone);
    BTN_frame2(kPanelInset, kFolderX, kFolderY, kFolderW, kFolderH, "");
    if (open_save != kWinOpen) return;

    if (file_type == kTypeAircraft || file_type == kTypeFdr || file_type == kTypeNothing) {
        BTN_frame2(kPanelInset, kPictureX, kPictureY, kPictureSide, kPictureSide, "");
        BTN_frame2(kPanelInset, kTextPanelX, kTextPanelY, kTextPanelW, kTextPanelH, "");
    }
    if (file_type == kTypeAircraft &&
        (path.find(".acf") != std::string::npos || path.find(".ACF") != std::string::npos)) {
        OGL_setstate(kFogOff, 1, kLightOff, kBlendNone, kDepthOff, kDepthNoWrite);
        if (path != s.old_path) read_aircraft(path);
        draw_aircraft();
    }
    if (file_type == kTypeFdr && path.find(".fdr") != std::string::npos) {
        if (path != s.old_path) s.comment = stand_io_read_comment(path);
        if (!s.comment.empty())
            OGL_string(kColText, kTextX, kCommentY, s.comment, kTextWrap, kCharsetProp, kTextLeft);
    }
    s.old_path = path;
}
