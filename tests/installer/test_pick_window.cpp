// The destination chosen in the real folder picker (window 998) through
// engine_windows, operated with real input under a private X server: a
// folder holding an installation is taken as it is, any other gets the
// installation folder inside it, and a cancel keeps the destination.
#include "engine_fixture.h"

#include "GenC/hl_windows.h"
#include "support/frame_driver.h"
#include "support/picker_script.h"
#include "support/xvfb.h"

using namespace picker_drive;

namespace
{
using PickWindowTest = EngineTest;

// Steps that enter the listed folder `name` with Return and press Select.
std::vector<step> enter_and_select(const std::string& root, const std::string& name)
{
    return {
        {"select the folder", [root](const picker_view& v) { return v.folder == root; },
         [name](const picker_view& v) {
             for (size_t i = 0; i < v.names.size(); ++i)
                 if (v.names[i] == name) click(kListX, row_of(int(i), v));
         }},
        {"enter it",
         [name](const picker_view& v) {
             return v.selection < int(v.names.size()) && v.names[size_t(v.selection)] == name;
         },
         [](const picker_view&) { keys_queued("Return"); }},
        {"Select", [root, name](const picker_view& v) { return v.folder == root + name + "/"; },
         [](const picker_view&) { click(kSelectX, kButtonY); }},
    };
}
} // namespace

TEST_F(PickWindowTest, DestinationFromThePickerFollowsTheInstallationRule)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    for (const char* d : {"sim", "sim/Airfoils", "sim/Instructions", "sim/Output",
                          "sim/Old Resources", "plain", "plain/Airfoils"})
        tmp.mkdir(d);
    tmp.write("plain/Instructions");
    open_picker_window();
    engine_windows_struct windows = engine_windows;
    windows.pick_folder = pick_folder_in_window;
    engine_set_windows_hook(windows);

    const struct {
        const char* folder;
        std::string dest;
    } cases[] = {{"sim", tmp / "sim/"}, {"plain", tmp / "plain/Zudezud/"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        dest_dir_path = tmp.path();
        g_steps = enter_and_select(tmp.path(), c.folder);
        restart_script();
        EXPECT_EQ(pick_dest_path(), 1);
        expect_script_done();
        EXPECT_EQ(dest_dir_path, c.dest);
        EXPECT_EQ(mnw.win_now, kWinMain);
    }

    // Cancel keeps the destination, also one that does not exist yet.
    dest_dir_path = tmp / "plain/Zudezud/";
    g_steps = {{"Cancel", always, [](const picker_view&) { click(kCancelX, kButtonY); }}};
    restart_script();
    EXPECT_EQ(pick_dest_path(), 0);
    expect_script_done();
    EXPECT_EQ(dest_dir_path, tmp / "plain/Zudezud/");
}
