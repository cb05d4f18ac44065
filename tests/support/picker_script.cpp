#include "support/picker_script.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "GenC/hl_alert.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace picker_drive
{
std::vector<step> g_steps;
std::size_t g_next = 0;
int g_passes = 0;
std::vector<std::vector<std::string>> g_alerts;

namespace
{
constexpr int kMaxPasses = 1500;

void run_script(const picker_view& v)
{
    if (++g_passes > kMaxPasses) {
        ADD_FAILURE() << "the picker script stopped before: "
                      << (g_next < g_steps.size() ? g_steps[g_next].what : "(done)")
                      << "; browsing " << v.folder;
        VOVARU_startwind(kWinMain, 0);
        return;
    }
    if (g_next < g_steps.size() && g_steps[g_next].ready(v)) {
        g_steps[g_next].act(v);
        ++g_next;
    }
}

std::string window_id()
{
    return std::to_string(x11.window[0]);
}
// X pixels of a point of the current window (X rows count down from the top).
std::string at(float x, float y)
{
    return std::to_string(int(mnw.win_x + x)) + " " +
           std::to_string(int(mnw.res_y - mnw.win_y - y));
}

void click_ok(const alert_notice& n)
{
    g_alerts.push_back({*n.lines[0], *n.lines[1], *n.lines[2], *n.lines[3]});
    if (n.route != kAlertRouteWindow) return;
    // Window 995 (420 x 250) starts at (302, 259); OK is centred at (210, 18).
    xdo_queued("mousemove --window " + window_id() + " 512 491 click 1");
}
} // namespace

void click(float x, float y)
{
    xdo_queued("mousemove --window " + window_id() + " " + at(x, y) + " click 1");
}

void keys_queued(const std::string& names)
{
    xdo_queued("key --window " + window_id() + " " + names);
}

float row_of(int i, const picker_view& v)
{
    return kListY - 10.0f * (i - v.middle);
}

void click_level(int level)
{
    const item_struct& it = menu[kPopupSlot].items[size_t(level)];
    click((it.x1 + it.x2) * 0.5f, (it.y1 + it.y2) * 0.5f);
}

bool popup_open(const picker_view&)
{
    return mnw.menu_open == kPopupSlot;
}

bool always(const picker_view&)
{
    return true;
}

step pause(int n)
{
    auto since = std::make_shared<int>(-1);
    return {"pause",
            [since, n](const picker_view&) {
                if (*since < 0) *since = g_passes;
                return g_passes >= *since + n;
            },
            [](const picker_view&) {}};
}

void restart_script()
{
    g_next = 0;
    g_passes = 0;
    g_alerts.clear();
}

void open_picker_window()
{
    xvfb_open_shell_window();
    VOVARU_set_app_update_hook([] {});
    VOVARU_event_proc(); // window 0, the picker's caller
    ASSERT_EQ(mnw.win_now, kWinMain);
    stls[kStlsAlertButton] = "OK";
    g_steps.clear();
    restart_script();
    picker_set_watch_hook(run_script);
    alert_set_watch_hook(click_ok);
}

void expect_script_done()
{
    EXPECT_EQ(g_next, g_steps.size())
        << "steps left, next: " << (g_next < g_steps.size() ? g_steps[g_next].what : "");
}

int run_picker(const std::string& start, std::string* answer, std::size_t size)
{
    std::vector<char> out(size + 16, 0);
    std::strcpy(out.data(), "unchanged");
    const int r = GetFilePathFromUser(2, "prompt", "Select", 1, start.c_str(), out.data(), size);
    *answer = out.data();
    expect_script_done();
    return r;
}
} // namespace picker_drive
