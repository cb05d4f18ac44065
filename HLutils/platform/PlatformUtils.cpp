// The folder picker (window 998).
//
// Index of this file:
//   [SECTION] Path levels and the answer
//   [SECTION] The picker window
#include "platform/PlatformUtils.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "Files/folder_list.h"
#include "Files/io_utils.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_path.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"

static_assert(kPickerMaxLevels == kBTNMaxPopupItems, "one pop-up item per level");

// ---------------------------------------------------------------------------
// [SECTION] Path levels and the answer
// ---------------------------------------------------------------------------

picker_levels picker_path_levels(const std::string& folder)
{
    std::vector<std::string> paths, names;
    for (size_t i = 0; i < folder.size(); ++i) {
        if (i > 0 && folder[i - 1] != '/') continue;
        const size_t end = folder.find('/', i);
        names.push_back(folder.substr(i, end == std::string::npos ? end : end - i));
        paths.push_back(end == std::string::npos ? folder : folder.substr(0, end + 1));
    }

    picker_levels lv;
    const size_t dropped =
        paths.size() > size_t(kPickerMaxLevels) ? paths.size() - kPickerMaxLevels : 0;
    for (size_t k = dropped; k < paths.size(); ++k) {
        lv.paths.push_back(paths[k]);
        lv.shown.push_back(BTN_popup_safe_item(OGL_font_text(names[k])));
        if (k > dropped) lv.choices += '-';
        if (k == 0) lv.choices += '/'; // the root level is offered as "/"
        lv.choices += lv.shown.back();
        if (paths[k] == folder) lv.current = int(k - dropped);
    }
    return lv;
}

std::string picker_answer(const std::string& folder)
{
    size_t skip = 0;
    while (skip + 1 < folder.size() && folder[skip] == '/' && folder[skip + 1] == '/')
        ++skip;
    return folder.substr(skip);
}

int picker_copy_out(const std::string& text, char* out, std::size_t out_size)
{
    if (!out || text.size() >= out_size) return 0;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return 1;
}

// ---------------------------------------------------------------------------
// [SECTION] The picker window
// ---------------------------------------------------------------------------

namespace
{
const char kSourceFile[] = "HLutils/platform/PlatformUtils";
constexpr int kLineNewFolder = 102; // the line its alert has always named

// Layout in window units of window 998 (561 x 474).
constexpr float kListX = 10, kListY = 180, kListW = 520; // default height: rows 70..290
constexpr float kPathX = 10, kPathY = 300, kPathW = 520, kPathH = 120;
constexpr float kNameBarX = 270, kNameBarY = 52, kNameBarW = 520;
constexpr int kNameMax = 30; // the list's own field keeps 36
constexpr int kColName = 45, kColLevel = 47;
constexpr float kNameX = 25, kNameY = 49, kNameWrap = 440;
constexpr float kCaretDx = 26, kCaretY0 = 48, kCaretY1 = 55;
constexpr float kButtonY = 28, kNewFolderX = 430, kCancelX = 35, kSelectX = 510;
constexpr float kPopupY = 438;
// The staircase: level m (from 1) at (20 + 10m, 415 - 10m); the path panel
// holds eleven steps, so a deeper path shows its deepest eleven.
constexpr float kStairX = 20, kStairY = 415, kStairStep = 10;
constexpr int kStairRows = 11;
constexpr int kButtonStyle = 1; // pressed look before acting

int plevel = 0; // the pop-up's level, kept from one call to the next
picker_watch_fn watch_hook = nullptr;

// Makes folder + name; a failure is told with its error text.
void make_new_folder(const std::string& folder, const std::string& name)
{
    const std::string path = folder + name;
    if (mkdir(path.c_str(), 0777) == 0) return;
    const int err = errno;
    __VOVARU_alert(kWinPicker, "I could not make the new folder.", "Error: " + error_str(err), path,
                   "", t_alert, kSourceFile, kLineNewFolder);
}

void draw_staircase(const picker_levels& lv)
{
    const int n = int(lv.shown.size());
    const int first = n > kStairRows ? n - kStairRows : 0;
    for (int k = first; k < n; ++k) {
        const float m = float(k - first + 1);
        OGL_string(kColLevel, kStairX + kStairStep * m, kStairY - kStairStep * m, lv.shown[k],
                   kTextNoWrap, kCharsetProp, kTextLeft);
    }
}
} // namespace

picker_watch_fn picker_set_watch_hook(picker_watch_fn fn)
{
    picker_watch_fn previous = watch_hook;
    watch_hook = fn;
    return previous;
}

void picker_register()
{
    BTN_path_set_picker(GetFilePathFromUser);
}

int GetFilePathFromUser(int, const char* prompt, const char* action, int, const char* start,
                        char* out, std::size_t out_size)
{
    const shell_hooks& shell = VOVARU_shell();
    if (!shell.start_window || !shell.frame) return 0; // no window to pick in
    app_path.clear();
    std::string folder = (start && *start) ? start : "/";
    if (folder.back() != '/') folder += '/'; // the listing takes folders only with it
    const int previous = mnw.win_now;

    std::vector<std::string> names, shown_names; // as on disk; as the fonts draw them
    std::vector<int> kinds;
    int n = opensave_getitems(folder, kListFolders, names, kinds);
    int middle = n / 2, selection = n / 2;
    std::string name;
    shell.start_window(kWinPicker);

    while (mnw.win_now == kWinPicker) {
        if (app_done) { // the program is ending: let its loop see that
            shell.start_window(previous);
            return 0;
        }
        OGL_plot_back_col();
        BTN_fillwin(1, kPanelNone);

        n = opensave_getitems(folder, kListFolders, names, kinds);
        shown_names.resize(names.size());
        for (size_t i = 0; i < names.size(); ++i)
            shown_names[i] = OGL_font_text(names[i]);
        const int double_click =
            BTN_list_and_search(0, kListX, kListY, kListW, 0, &middle, &selection, 0, n - 1, &name,
                                "File:", BTN_name_from_vector, &shown_names, nullptr, nullptr,
                                BTN_type_from_vector, &kinds);
        BTN_frame2(kPanelInset, kPathX, kPathY, kPathW, kPathH, "");
        BTN_frame1(kBarField, kNameBarX, kNameBarY, kNameBarW, kColrNoTint);

        if (name.size() > size_t(kNameMax)) name.resize(kNameMax);
        const float w = OGL_text_width(name);
        OGL_line(kColName, 1.0f, kCaretDx + w, kCaretY0, kCaretDx + w, kCaretY1);
        OGL_string(kColName, kNameX, kNameY, name, kNameWrap, kCharsetProp, kTextLeft);

        if (BTN_action(kNewFolderX, kButtonY, 0, 0, kButtonStyle, "New Folder", "-"))
            make_new_folder(folder, name); // an alert returns to this window

        const picker_levels lv = picker_path_levels(folder);
        draw_staircase(lv);
        // While the pop-up is open it slides its list into the drawable
        // through the level; setting the level then would undo the slide.
        const float popup_x = mnw.win_w * 0.5f;
        if (active_popup_code != BTN_popup_id(popup_x, kPopupY) && lv.current >= 0)
            plevel = lv.current;
        bool went_up = false;
        if (BTN_textlist(popup_x, kPopupY, &plevel, lv.choices, "")) {
            folder = lv.paths[size_t(plevel)];
            went_up = true;
        }

        if (!went_up && (double_click || return_hit) && n > 0 && selection < n &&
            kinds[size_t(selection)] == kItemFolder) {
            folder += names[size_t(selection)] + "/";
            n = opensave_getitems(folder, kListFolders, names, kinds);
            selection = n / 2;
        }

        if (BTN_action(kCancelX, kButtonY, 0, 0, kButtonStyle, "Cancel", "-")) {
            shell.start_window(previous);
            return 0;
        }
        // A folder longer than the caller's buffer is not taken.
        if (BTN_action(kSelectX, kButtonY, 0, 0, kButtonStyle, "Select", "-") &&
            picker_copy_out(picker_answer(folder), out, out_size)) {
            shell.start_window(previous);
            return 1;
        }

        if (watch_hook) watch_hook(picker_view{folder, names, selection, middle, name, lv, plevel});
        shell.frame();
    }
    return 0;
}
