// The open and save picker: a modal window (998 open, 999 save) that lists
// the current folder, its levels as a staircase and a pop-up, and runs one
// frame pass per pass of its own loop until the user decides.
//
// Index: [SECTION] Paths, levels and names; [SECTION] The picker.
#include "OOPS_cpp/open_save.h"

#include "Files/folder_list.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/file_dialog.h"
#include "OOPS_cpp/oglp_text.h"

namespace
{

// Per file type: where a call without a folder hint starts, and the
// extension a saved name gets. Types 13 to 16 belong to the sibling
// applications of the suite (rail and space).
struct type_row {
    const char* start;
    const char* save_ext;
};
const type_row kTypes[kOpenSaveTypes] = {
    {"", ""},                                     // 0 every file
    {"", ""},                                     // 1 folders only
    {"", ".BMP"},                                 // 2 images
    {"", ".ACF"},                                 // 3
    {"", ".AFL"},                                 // 4
    {"", ".WPN"},                                 // 5
    {"", ".WAV"},                                 // 6
    {"", ".OBJ"},                                 // 7
    {"", ""},                                     // 8 FDR
    {"Output/situations/", ".SIT"},               // 9
    {"Output/movies/", ".SMO"},                   // 10
    {"Output/FMS plans/", ".FMS"},                // 11
    {"", ""},                                     // 12 images without panel files
    {"Zudezud Rail/Output/trains/", ".TRA"},      // 13
    {"Zudezud Rail/Output/cars/", ".CAR"},        // 14
    {"Zudezud Space/Resources/craft/", ".SPA"},   // 15
    {"Zudezud Space/Resources/regions/", ".REG"}, // 16
    {"", ""},                                     // 17 DSF
    {"", ".HGT"},                                 // 18
    {"", ".TXT"},                                 // 19
    {"sim/", ""},                                 // 20 nothing
    {"sim/", ""},                                 // 21 command paths
};

const char kBaseItem[] = "Didozuroz folder";

// Layout of the picker.
constexpr float kListX = 10, kListY = 180;
constexpr int kListSlot = 0;
constexpr int kColLevel = 47;
constexpr float kLevelX = 20, kLevelY = 415, kLevelStep = 10;
constexpr float kSaveX = 282, kOpenX = 280, kButtonY = 18, kCancelX = 33;
constexpr int kButtonStyle = 1;
constexpr float kPopupX = 150, kPopupY = 434;

// What the picker keeps between calls.
struct opensave_state {
    int level = 0;                          // the pop-up's item of the current folder
    opensave_watch_fn pass_probe = nullptr; // the test hook watching each pass
};
opensave_state picker;

// Everything up to and including the last '/' that is not the final
// character; "" when there is none.
std::string folder_part(const std::string& path)
{
    if (path.size() < 2) return std::string();
    const size_t slash = path.rfind('/', path.size() - 2);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Paths, levels and names
// ---------------------------------------------------------------------------

std::string BTN_opensave_start_folder(int file_type, const std::string& hint)
{
    if (!hint.empty())
        return hint.find('/') == std::string::npos ? std::string() : folder_part(hint);
    if (file_type < 0 || file_type >= kOpenSaveTypes) return std::string();
    return kTypes[file_type].start;
}

std::string BTN_opensave_parent(const std::string& folder)
{
    return folder_part(folder);
}

std::string BTN_opensave_save_name(int file_type, const std::string& name)
{
    std::string out = name;
    if (out.size() > 4 && out[out.size() - 4] == '.') out.erase(out.size() - 4);
    if (file_type >= 0 && file_type < kOpenSaveTypes) out += kTypes[file_type].save_ext;
    return out;
}

opensave_levels BTN_opensave_levels(const std::string& folder)
{
    opensave_levels lv;
    std::vector<std::string> paths;
    std::vector<std::string> items;
    // A level starts at 0 and after every '/' but the final one.
    for (size_t i = 0; i + 1 < folder.size(); ++i) {
        if (i != 0 && folder[i - 1] != '/') continue;
        const size_t slash = folder.find('/', i);
        std::string name = folder.substr(i, slash == std::string::npos ? slash : slash - i);
        items.push_back(BTN_popup_safe_item(name));
        for (char& c : name)
            if (c == '-') c = ' ';
        lv.names.push_back(name);
        paths.push_back(slash == std::string::npos ? folder : folder.substr(0, slash + 1));
    }
    // The pop-up takes a fixed number of items: the base folder and the
    // deepest levels, which are the ones a user steps back to.
    const size_t keep_from =
        items.size() < size_t(kBTNMaxPopupItems) ? 0 : items.size() - (kBTNMaxPopupItems - 1);
    lv.popup = kBaseItem;
    lv.paths.assign(1, std::string());
    for (size_t d = keep_from; d < items.size(); ++d) {
        lv.popup += "-" + items[d];
        lv.paths.push_back(paths[d]);
    }
    for (size_t k = 0; k < lv.paths.size(); ++k)
        if (lv.paths[k] == folder) lv.level = int(k);
    return lv;
}

opensave_watch_fn BTN_opensave_set_watch_hook(opensave_watch_fn fn)
{
    opensave_watch_fn previous = picker.pass_probe;
    picker.pass_probe = fn;
    return previous;
}

// ---------------------------------------------------------------------------
// [SECTION] The picker
// ---------------------------------------------------------------------------

int BTN_opensave(int open_save, int file_type, std::string* path)
{
    if (open_save != kOpenPicker && open_save != kSavePicker)
        __VOVARU_alert(0, "Bad open_save arg to BTN_opensave!", "", "", "", t_exit, __FILE__,
                       __LINE__);
    if (file_type < 0 || file_type >= kOpenSaveTypes)
        __VOVARU_alert(0, "Bad file_type arg to BTN_opensave!", "", "", "", t_exit, __FILE__,
                       __LINE__);
    const bool saving = open_save == kSavePicker;

    std::string folder = BTN_opensave_start_folder(file_type, *path);
    std::vector<std::string> names;
    std::vector<int> kinds;
    int n = opensave_getitems(folder, file_type, names, kinds);
    int centre = n / 2, selection = n / 2;
    std::string save_name;
    // The window and its frame passes belong to the shell; without one there
    // is no window to pick in.
    if (!VOVARU_shell().start_window || !VOVARU_shell().frame) return 0;
    const int earlier = mnw.win_now;
    VOVARU_shell().start_window(open_save);
    // The key flags of the frame pass before belong to the earlier window
    // (the Return that chose this call, say): they must not act here.
    return_hit = escape_hit = delete_hit = 0;

    for (int pass = 0;; ++pass) {
        if (mnw.win_now != open_save) return 0;

        const bool have_sel = selection >= 0 && selection < int(names.size());
        stand_io_dialog(open_save, file_type, have_sel ? folder + names[size_t(selection)] : "-");

        n = opensave_getitems(folder, file_type, names, kinds);
        const int dbl =
            BTN_list_and_search(kListSlot, kListX, kListY, 0, 0, &centre, &selection, 0, n - 1,
                                saving ? &save_name : nullptr, "File:", BTN_name_from_vector,
                                &names, nullptr, nullptr, BTN_type_from_vector, &kinds);

        const opensave_levels lv = BTN_opensave_levels(folder);
        for (size_t d = 1; d <= lv.names.size(); ++d)
            OGL_string(kColLevel, kLevelX + kLevelStep * float(d), kLevelY - kLevelStep * float(d),
                       lv.names[d - 1], kTextNoWrap, kCharsetProp, kTextLeft);
        picker.level = lv.level;

        const int act = saving ? BTN_action(kSaveX, kButtonY, 0, 0, kButtonStyle, "Save", "-")
                               : BTN_action(kOpenX, kButtonY, 0, 0, kButtonStyle, "Open", "-");
        if (BTN_action(kCancelX, kButtonY, 0, 0, kButtonStyle, stls[kStlsCancel], "-") ||
            escape_hit) {
            VOVARU_shell().start_window(earlier);
            return 0;
        }

        if (BTN_textlist(kPopupX, kPopupY, &picker.level, lv.popup, "")) {
            // The new folder is listed on the next pass.
            folder = lv.paths[size_t(picker.level)];
        } else {
            if (saving && (act || return_hit) && !save_name.empty()) {
                *path = folder + BTN_opensave_save_name(file_type, save_name);
                VOVARU_shell().start_window(earlier);
                return 1;
            }
            if ((dbl || (!saving && (return_hit || act))) && selection >= 0 && selection < n) {
                const size_t s = size_t(selection);
                if (kinds[s] == kItemFolder) {
                    folder += names[s] + "/";
                    n = opensave_getitems(folder, file_type, names, kinds);
                    selection = n / 2;
                } else if (!saving) {
                    *path = folder + names[s];
                    VOVARU_shell().start_window(earlier);
                    return 1;
                }
            }
            if (delete_hit && !folder.empty()) {
                folder = BTN_opensave_parent(folder);
                n = opensave_getitems(folder, file_type, names, kinds);
                selection = n / 2;
            }
        }

        if (picker.pass_probe)
            picker.pass_probe(
                opensave_view{pass, &folder, &names, selection, picker.level, &save_name});
        VOVARU_shell().frame();
    }
}
