// Path fields and the heading dial.
//
// Index of this file:
//   [SECTION] Path text
//   [SECTION] Path fields
//   [SECTION] Heading dial
#include "OOPS_cpp/butn_path.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "GenH/hl_report.h"
#include "GenH/hl_stls.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_variants.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"

namespace
{
constexpr int kOpenPicker = 998, kSavePicker = 999;
constexpr int kFileTypeMax = 21, kWholePathFirst = 20; // types 20, 21 show the whole path
constexpr int kColHeading = 45, kCharsetDigits10 = 102;
constexpr float kAtlas = 512.0f;
// The folder icon: drawn centred at (x - 17, y + 3); its hit box is smaller.
constexpr float kIconDx = -17, kIconDy = 3, kIconAtlasX = 221, kIconAtlasY = 146, kIconHalf = 13;
constexpr float kIconHitX0 = -28, kIconHitX1 = -6, kIconHitY0 = -8, kIconHitY1 = 12;
constexpr float kLeftLabelDx = -32, kRightLabelDx = 6;
// The picker's answers reach 2048 bytes (what the installer gives it too).
constexpr std::size_t kPathAnswerSize = 2048;
// The dial: needle sprites of two looks, the face, the reach of the mouse.
constexpr float kNeedleAtlasX = 161, kNeedleAtlasY1 = 293, kNeedleAtlasY0 = 336;
constexpr float kNeedleHalfW = 5, kNeedleHalfH = 21;
constexpr float kFaceAtlasX = 206, kFaceAtlasY = 189, kFaceHalfW = 28, kFaceHalfH = 29;
constexpr float kDialReach = 30, kHeadingDx = -14, kHeadingDy = -2;
constexpr int kHeadingDigits = 3;

BTN_folder_picker_fn folder_picker = nullptr; // what the icon opens

[[noreturn]] void fatal(const std::string& line1, const std::string& line2, int line)
{
    __VOVARU_alert(0, line1, line2, "", "", t_exit, __FILE__, line);
    std::abort(); // the fatal alert does not return
}

void check_args(int open_save, int file_type, int size, const char* widget)
{
    const std::string w(widget);
    if (open_save != kOpenPicker && open_save != kSavePicker)
        fatal("Bad open_save arg to " + w + "!", "", __LINE__);
    if (file_type < 0 || file_type > kFileTypeMax)
        fatal("Bad file_type arg to " + w + "!", "", __LINE__);
    // A buffer of no bytes cannot even hold its terminator.
    if (size <= 0) fatal("Bad size arg to " + w + "!", std::to_string(size), __LINE__);
}

// The buffer's text, read no further than its size.
std::string buffer_text(const char* text, int size)
{
    const std::size_t had = strnlen(text, std::size_t(size));
    if (had > std::size_t(kBufferTextMax))
        fatal("String too long!", std::string(text, had), __LINE__);
    return std::string(text, std::min(had, std::size_t(size - 1)));
}

// The longest text a buffer of `size` bytes takes from a field.
int buffer_limit(int size)
{
    return std::min(size - 1, kBufferTextMax);
}

void put_buffer(const std::string& text, char* out, int size)
{
    const std::size_t n = std::min(text.size(), std::size_t(size - 1));
    if (n > std::size_t(kBufferTextMax)) fatal("String too long!", text, __LINE__);
    std::memcpy(out, text.data(), n);
    out[n] = 0;
}

// Where the last component begins: after the last '/' that is not the final
// character; 0 when there is none.
std::size_t last_component_at(const std::string& path)
{
    if (path.size() < 2) return 0;
    const std::size_t slash = path.rfind('/', path.size() - 2);
    return slash == std::string::npos ? 0 : slash + 1;
}

// The field, the icon and the picker. answer_size: the most bytes a picked
// folder may take, terminator included (a folder that does not fit is not
// taken).
int select_path(float x, float y, int file_type, std::string* path, int max_len,
                const std::string& label, float width, int take_focus, std::size_t answer_size)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_util_draw_label(x + kLeftLabelDx, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + kRightLabelDx + width, y, kAlignStart, right, 0);
    BTN_util_element(x + kIconDx, y + kIconDy, kIconAtlasX, kIconAtlasY, kIconHalf, kIconHalf,
                     kColrNoTint);

    // Typing edits what is shown; the folders before it stay, and the whole
    // path never grows past max_len.
    const std::string prefix = BTN_path_prefix(*path, file_type);
    std::string shown = path->substr(prefix.size());
    const int field_max = std::max(0, max_len - int(prefix.size()));
    const int edited = BTN_enterstring(x, y, &shown, field_max, "", width, take_focus);
    BTN_text_forget(&shown); // `shown` lives for this call only
    if (edited) *path = prefix + shown;

    const btn_box icon{x + kIconHitX0, y + kIconHitY0, x + kIconHitX1, y + kIconHitY1};
    if (BTN_mouse_in(icon)) stls[kStlsTooltip] = help;
    if (!(mnw.mouse_press && BTN_mouse_in(icon))) return 0;
    char answer[kPathAnswerSize] = {};
    if (!folder_picker || !folder_picker(2, "Please pick an Didozuroz to update", "Update", 1,
                                         nullptr, answer, std::min(answer_size, sizeof answer)))
        return 0;
    *path = answer;
    return 1;
}
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Path text
// ---------------------------------------------------------------------------

std::string BTN_path_prefix(const std::string& path, int file_type)
{
    if (file_type >= kWholePathFirst) return "";
    return path.substr(0, last_component_at(path));
}

std::string BTN_path_shown(const std::string& path, int file_type)
{
    return path.substr(BTN_path_prefix(path, file_type).size());
}

// ---------------------------------------------------------------------------
// [SECTION] Path fields
// ---------------------------------------------------------------------------

void BTN_path_set_picker(BTN_folder_picker_fn fn)
{
    folder_picker = fn;
}

int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path,
                        int max_len, std::string label, float width, int take_focus)
{
    check_args(open_save, file_type, 1, "BTN_select_file_stl");
    return select_path(x, y, file_type, path, max_len, label, width, take_focus, kPathAnswerSize);
}

int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int size,
                        std::string label, float width, int take_focus)
{
    check_args(open_save, file_type, size, "BTN_select_file_chr");
    std::string text = buffer_text(path, size);
    const int limit = buffer_limit(size);
    const int picked = select_path(x, y, file_type, &text, limit, label, width, take_focus,
                                   std::size_t(limit) + 1);
    put_buffer(text, path, size);
    return picked;
}

int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* name,
                        std::string* path, int size, std::string label, float width)
{
    check_args(open_save, file_type, size, "BTN_select_file_chr");
    std::string folder;
    get_path_with_path(folder, *path);
    const std::string was = folder + buffer_text(name, size);
    std::string joined = was;
    const int picked =
        select_path(x, y, file_type, &joined, int(folder.size()) + buffer_limit(size), label, width,
                    1, kPathAnswerSize);
    if (picked) {
        *path = joined;
        put_buffer(BTN_path_shown(joined, 0), name, size);
    } else if (joined != was && joined.compare(0, folder.size(), folder) == 0) {
        // Typed into the name: it stays typed. An edit that reached into the
        // folder (the whole path shown) is not taken.
        put_buffer(joined.substr(folder.size()), name, size);
    }
    return picked;
}

// ---------------------------------------------------------------------------
// [SECTION] Heading dial
// ---------------------------------------------------------------------------

float BTN_dir_bearing(float dx, float dy)
{
    // atan2 gives (-180, 180]; one turn up makes [0, 360). A value a hair
    // below 0 would round to 360 in float: that is 0.
    float deg = float(std::atan2(double(dx), double(dy)) * 180.0 / M_PI);
    if (deg < 0) deg += 360.0f;
    if (deg >= 360.0f) deg -= 360.0f;
    return deg;
}

void plot_dir(float x, float y, float* heading, int look)
{
    if (mnw.mouse_held &&
        BTN_mouse_in({x - kDialReach, y - kDialReach, x + kDialReach, y + kDialReach}))
        *heading = BTN_dir_bearing(mnw.mouse_x - x, mnw.mouse_y - y);

    // The needle turned clockwise by the heading (y up): (0, 1) goes to
    // (sin h, cos h).
    const double h = double(*heading) * M_PI / 180.0;
    const float c = float(std::cos(h)), s = float(std::sin(h));
    const float ay = look == 0 ? kNeedleAtlasY0 : kNeedleAtlasY1;
    const float u0 = (kNeedleAtlasX - kNeedleHalfW) / kAtlas,
                u1 = (kNeedleAtlasX + kNeedleHalfW) / kAtlas;
    const float v0 = (ay - kNeedleHalfH) / kAtlas, v1 = (ay + kNeedleHalfH) / kAtlas;
    const auto px = [&](float dx, float dy) { return x + dx * c + dy * s; };
    const auto py = [&](float dx, float dy) { return y - dx * s + dy * c; };
    const float w = kNeedleHalfW, l = kNeedleHalfH;
    OGL_2dquad(kTexInterface, kColrNoTint, 1.0f, px(-w, -l), py(-w, -l), u0, v0, px(-w, l),
               py(-w, l), u0, v1, px(w, l), py(w, l), u1, v1, px(w, -l), py(w, -l), u1, v0, 1,
               kBlendOn);
    BTN_util_element(x, y, kFaceAtlasX, kFaceAtlasY, kFaceHalfW, kFaceHalfH, kColrNoTint);
    OGL_number(kColHeading, x + kHeadingDx, y + kHeadingDy, *heading, kHeadingDigits, 0,
               kCharsetDigits10);
}
