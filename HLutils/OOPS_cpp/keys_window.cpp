// The key-assignment window: the list of key bindings, one button a row; a
// selected row takes the next key pressed, and its command is picked from
// the command tree (a group list and the group's commands).
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/oglp_text.h"

namespace
{
constexpr int kRows = 34; // rows of the binding list
constexpr float kTitleH = 34;
constexpr float kDefault = -1; // a panel's x, y, width or height by the window's margins
constexpr float kColumnGap = 20;
constexpr float kMiddleW = 184;
constexpr int kColHeading = 47, kColHelp = 43, kColPath = 45;
constexpr float kTop = 685; // y of the first row of every list
constexpr float kRowStep = 20, kBoxStep = 15;
constexpr float kCommandColumn = 148, kListBottom = 20;

const char* const kHelp = "Select the key you'd like to program from the list on the left of "
                          "this screen and hit any key you like! Then select the group above and "
                          "the item at right to assign some funtion to that keypress!";

// The part of a path up to and including its last '/' that is not its final
// character: "sim/operation/none" gives "sim/operation/", that gives "sim/".
std::string folder_of(const std::string& path)
{
    if (path.size() < 2) return "";
    const size_t slash = path.rfind('/', path.size() - 2);
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string path_of(int command)
{
    if (command < 0 || command >= static_cast<int>(cmnd.paths.size())) return "";
    return cmnd.paths[static_cast<size_t>(command)];
}

std::string row_label(const key_binding& b)
{
    std::string label = "-";
    if (b.flags) label += keys_class::flag_to_str(b.flags) + " ";
    return label + keys_class::vkey_to_str(b.vkey);
}
} // namespace

void keys_class::keys_wind()
{
    // Panels; the middle column starts 20 right of the binding list.
    float ox, oy, x0, cmd_x, top;
    BTN_subwin(kTitleH, kPanelList, kDefault, kDefault, 380, kDefault, "", &ox, &oy);
    x0 = ox + kColumnGap;
    BTN_subwin(kTitleH, kPanelGroup, x0, kDefault, kMiddleW, 270, "", &cmd_x, &top);
    BTN_subwin(kTitleH, kPanelInset, x0, top, kMiddleW, 100, "", &ox, &top);
    BTN_subwin(kTitleH, kPanelGroup, x0, top, kMiddleW, kDefault, "", &ox, &oy);
    BTN_subwin(kTitleH, kPanelGroup, cmd_x, kDefault, kDefault, kDefault, "", &ox, &oy);

    // A selection the list no longer holds (keys_io cut it) is none.
    if (k_change >= static_cast<int>(bindings.size())) k_change = -1;

    if (k_change >= 0) {
        const int command = bindings[static_cast<size_t>(k_change)].command;
        OGL_string(kColHeading, x0 + 10, 370, path_of(command), 174, kCharsetProp, kTextLeft);
        if (command >= 0 && command < static_cast<int>(cmnd.descriptions.size()))
            OGL_string(kColHeading, x0 + 10, 340, cmnd.descriptions[static_cast<size_t>(command)],
                       174, kCharsetProp, kTextLeft);
    }
    OGL_string(kColHelp, x0 + 92, 260, kHelp, 164, kCharsetProp, kTextCentre);

    if (BTN_action(x0 + 92, 30, -1, 0, 1, "Add New Key Assignment", "-")) {
        bindings.push_back({0, 0, cmnd.get_cmnd_by_name("sim/operation/none"), 0});
        k_cen = static_cast<int>(bindings.size()) - kRows; // the new one in the bottom row
    }

    const int count = static_cast<int>(bindings.size());
    BTN_vert_slider(0, x0 - 15, 30, 686, 0, count - kRows, &k_cen);

    // Only rows that exist are drawn; the top row stays within the list.
    if (k_cen > count - kRows) k_cen = count - kRows;
    if (k_cen < 0) k_cen = 0;

    for (int i = k_cen; i < k_cen + kRows && i < count; ++i) {
        const float r = static_cast<float>(i - k_cen);
        key_binding& b = bindings[static_cast<size_t>(i)];
        if (BTN_action(88, 689 - kRowStep * r, 140, i == k_change, 1, row_label(b), "-"))
            k_change = i == k_change ? -1 : i;
        OGL_string(kColPath, 164, kTop - kRowStep * r, path_of(b.command), kTextNoWrap,
                   kCharsetProp, kTextLeft);
        if (i != k_change || !mnw.key_hit) continue;
        // A key and its modifiers belong to one binding at most.
        const int vkey = last_vkey, flags = last_flags;
        rebind(b, vkey, flags, b.command);
        for (key_binding& other : bindings)
            if (&other != &b && other.vkey == vkey && other.flags == flags)
                rebind(other, 0, 0, other.command);
    }
    if (k_change < 0) return;

    // The command tree around the selected binding: R holds groups, G is
    // the group, P the command.
    key_binding& sel = bindings[static_cast<size_t>(k_change)];
    std::string P = path_of(sel.command), G = folder_of(P);
    const std::string R = folder_of(G);
    std::vector<std::string> names;
    bool group_clicked = false;
    cmnd.get_cmds_in_path(R, names);
    for (size_t j = 0; j < names.size(); ++j) {
        int ticked = R + names[j] == G;
        if (BTN_bool(x0 + 18, kTop - kBoxStep * static_cast<float>(j), &ticked, "|" + names[j],
                     1)) {
            G = R + names[j];
            group_clicked = true;
        }
    }

    cmnd.get_cmds_in_path(G, names);
    float x = cmd_x + 18, y = kTop;
    for (size_t j = 0; j < names.size(); ++j) {
        int ticked = G + names[j] == P;
        const bool first_of_new_group = group_clicked && j == 0;
        if (BTN_bool(x, y, &ticked, "|-" + names[j], 1) || first_of_new_group) {
            P = G + names[j];
            rebind(sel, sel.vkey, sel.flags, cmnd.get_cmnd_by_name(P));
        }
        y -= kBoxStep;
        if (y < kListBottom) {
            x += kCommandColumn;
            y = kTop;
        }
    }
}
