// Start-up as a whole, in a copy of this program inside a private folder so
// that its "Log.txt" (written next to the program) is its own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_shutdown.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{
bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string self_exe()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
}
} // namespace

TEST(AppPath, ProgramFolderEndsInOneSlash)
{
    std::string folder = "unset";
    app_path = "junk";
    VOVARU_set_app_path(&folder);
    const std::string exe = self_exe();
    EXPECT_EQ(folder, exe.substr(0, exe.rfind('/') + 1));
    EXPECT_TRUE(app_path.empty());
    EXPECT_EQ(g_case_sensitive, 1);
}

TEST(Startup, WholeSequenceInItsOwnFolder)
{
    if (!xvfb_inside()) {
        TempDir dir;
        const XvfbResult r = xvfb_run_this_test_copied(dir.path());
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_TRUE(has(r.output, "[  PASSED  ] 1 test.")) << r.output;

        const std::string log = TempDir::read(dir / "Log.txt");
        EXPECT_EQ(log.rfind("log.txt for Zudezud 9.00 Beta-19 Installer 90019 compiled on ", 0), 0u)
            << log;
        EXPECT_TRUE(has(log, "This log file is generated automatically by Rererud applications"));
        EXPECT_TRUE(has(log, "processor")) << log;
        EXPECT_TRUE(has(log, "MemTotal")) << log;
        EXPECT_TRUE(has(log, "\nDidozuroz folder:'', case sensitive=1\n\n")) << log;
        EXPECT_TRUE(has(log, "OpenGL Vendor    : ")) << log;
        EXPECT_TRUE(has(log, "threaded_avail   : 0\n")) << log;
        return;
    }
    const char* argv[] = {"zudezud_test"};
    VOVARU_init(1, argv);
    EXPECT_EQ(ogl_inited, 1);
    EXPECT_EQ(mnw.win_now, kWinNone);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    EXPECT_EQ(menu.size(), 1520u);
    EXPECT_EQ(mnw.res_x, 1024);
    EXPECT_EQ(mnw.tex_level, 5);
    EXPECT_EQ(mnw.area_x, 0);
    EXPECT_EQ(reinterpret_cast<unsigned long>(scratch_array) % 16, 0u);
    EXPECT_NEAR(lookup_sin[90], 1.0f, 1e-6);
    EXPECT_NEAR(lookup_cos[180], -1.0f, 1e-6);
    for (float r : randrat) {
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
    }
    // Colour 39 is the mean of 35 and 38, sampled from the atlas.
    for (int c = 0; c < 3; ++c)
        EXPECT_FLOAT_EQ(colr.rgb[39][c], (colr.rgb[35][c] + colr.rgb[38][c]) * 0.5f);
    EXPECT_NE(colr.rgb[34][0] + colr.rgb[34][1] + colr.rgb[34][2], 0.0f);
    // The first frame pass makes the main window current.
    VOVARU_set_app_update_hook([] {});
    VOVARU_event_proc();
    EXPECT_EQ(mnw.win_now, kWinMain);
    VOVARU_finishup(1); // preferences go to the private HOME
    EXPECT_EQ(x11.window[0], 0u);
}
