// The frame pass and the menus.
//
// Index of this file:
//   [SECTION] Frame pass
//   [SECTION] Menu table and clicks
//   [SECTION] Menu drawing
#include <poll.h>

#include <algorithm>

#include <X11/Xlib.h>

#include "GenC/hl_events.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_shutdown.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_time.h"

// ---------------------------------------------------------------------------
// [SECTION] Frame pass
// ---------------------------------------------------------------------------

namespace
{
const char* const kSourceFile = "HLutils/GenC/hl_mnw";
const char* const kMissingFilesLine =
    "Please see the log.txt file for a detailed list of missing files.";

void (*g_app_update)() = nullptr; // test hook; null: the installer's APP_update

// The frame pass's own state, kept from one pass to the next.
struct frame_pass_state {
    int win_started = 0;    // the first pass has made its window current
    int in_app_update = 0;  // APP_update is running: a nested pass skips it
    long last_wait_us = -1; // the time-out the last pass gave its wait
    int quiet = 0;          // the application told that nothing is under way
    long due_us = -1;       // the earliest thing due, us; -1: nothing
};
frame_pass_state g_pass;

void report_texture_failures()
{
    if (tman.has_scene_load_fail()) {
        __VOVARU_alert(kWinMain, "Some scenery textures could not be loaded.",
                       "This may be an installation problem or you may have a damaged add-on "
                       "scenery package.",
                       kMissingFilesLine, "", t_alert, kSourceFile, 1554);
        tman.mute_scene_load_fail();
    }
    if (tman.has_plane_load_fail()) {
        __VOVARU_alert(kWinMain, "Some textures for the aircraft you selected could not be loaded.",
                       "This may be an installation problem or you may have a damaged add-on "
                       "aircraft package.",
                       kMissingFilesLine, "", t_alert, kSourceFile, 1555);
        tman.mute_plane_load_fail();
    }
    if (tman.has_instl_load_fail()) {
        __VOVARU_alert(kWinMain, "Some textures could not be loaded.",
                       "This may be an installation problem.  Run the installer/updater again to "
                       "get these missing textures.",
                       kMissingFilesLine, "", t_alert, kSourceFile, 1556);
        tman.mute_instl_load_fail();
    }
}

// With a menu open, hovering over another bar title switches to it.
void menu_hover()
{
    if (mnw.menu_open < 0) return;
    for (size_t i = 0; i < menu.size(); ++i) {
        const menu_struct& m = menu[i];
        if (m.parent != -1) continue;
        if (m.x1 <= mnw.mouse_x && mnw.mouse_x <= m.x2 && m.y1 <= mnw.mouse_y &&
            mnw.mouse_y <= m.y2 && static_cast<int>(i) != mnw.menu_open)
            VOVARU_handleclick(0);
    }
}
} // namespace

VOVARU_app_update_fn VOVARU_set_app_update_hook(VOVARU_app_update_fn fn)
{
    VOVARU_app_update_fn previous = g_app_update;
    g_app_update = fn;
    return previous;
}

long VOVARU_last_frame_wait_us()
{
    return g_pass.last_wait_us;
}

void VOVARU_frame_quiet(int quiet)
{
    g_pass.quiet = quiet;
}

void VOVARU_frame_told_reset()
{
    g_pass.quiet = 0;
    g_pass.due_us = -1;
}

void VOVARU_frame_due(long us)
{
    if (us >= 0 && (g_pass.due_us < 0 || us < g_pass.due_us)) g_pass.due_us = us;
}

long VOVARU_frame_wait_us()
{
    if (mnw.win_now == kWinAlert) return kWaitAlertUs; // an open alert costs little
    // Input ends the wait at once; a redraw that changes nothing need not
    // come sixty times a second.
    if (mnw.win_now == kWinMain && g_pass.quiet && !colr.pulse_drawn)
        return g_pass.due_us >= 0 ? std::min(g_pass.due_us, kWaitQuietUs) : kWaitQuietUs;
    return stg._use_max_cpu ? kWaitMaxCpuUs : kWaitIdleUs;
}

int VOVARU_wait_for_input(int fd, long us)
{
    pollfd fds[1 + kNetSlots];
    int n = 0;
    if (fd >= 0) fds[n++] = pollfd{fd, POLLIN, 0};
    const int ends = http.EndWatch(fds + n, kNetSlots);
    const timespec timeout{us / 1000000, (us % 1000000) * 1000};
    const int r = ppoll(fds, static_cast<nfds_t>(n + ends), &timeout, nullptr);
    if (r <= 0) return kWokeByTimeOut; // a signal counts as the time-out
    http.EndsNoticed(fds + n, ends);
    return n > 0 && fds[0].revents != 0 ? kWokeByInput : kWokeByReplyEnd;
}

void VOVARU_event_proc()
{
    xtim.profile_chart("init", 0);
    return_hit = escape_hit = delete_hit = 0;
    mnw.mouse_press = mnw.mouse_release = mnw.key_hit = 0;
    if (mnw.win_now == kWinNone) mnw.win_now = kWinMain;
    if (!g_pass.win_started) {
        g_pass.win_started = 1;
        VOVARU_startwind(mnw.win_now, 0);
    }
    keys.run_pending_close();
    xtim.profile_chart("startwin", 0);

    // The only pacing: sleep until input arrives or the time-out passes.
    if (x11.display) {
        const long us = VOVARU_frame_wait_us();
        g_pass.last_wait_us = us;
        VOVARU_frame_told_reset();
        // Events Xlib has already read would not wake the wait.
        VOVARU_wait_for_input(ConnectionNumber(x11.display),
                              XEventsQueued(x11.display, QueuedAfterFlush) > 0 ? 0 : us);

        XEvent ev;
        while (XCheckIfEvent(x11.display, &ev, LIN_handlewin,
                             reinterpret_cast<XPointer>(&x11.window[0])))
            LIN_handleevt(&ev);
    }
    VOVARU_poll_quit();
    xtim.profile_chart("event", 0);
    xtim.profile_chart("netlist", 0);

    if (mnw.win_now == kWinMain) {
        THREAD_check_exception(1);
        if (mnw.win_now == kWinMain) report_texture_failures();
    }

    xtim.xtim_update();
    keys.run_repeat_keys();
    mnw.cursor_kind = 0;
    menu_hover();
    xtim.profile_chart("menu", 0);
    BTN_begin_focus_ring();

    // A modal window's loop runs its frame passes from inside APP_update;
    // when one of them closes the window (close box, Return) the application
    // is still waiting in it and must not be entered a second time.
    if (!mnw.modal && !g_pass.in_app_update) {
        g_pass.in_app_update = 1;
        if (g_app_update)
            g_app_update();
        else
            APP_update();
        g_pass.in_app_update = 0;
        xtim.first_frame = 0;
    }

    mouse_help_per_wind(mnw.win_now);
    standard_gui();
    if (qtim.mov_per_frame() == 0) OGL_sbuff();
    xtim.profile_chart("sbuff", 0);
    ++xtim.frame_count;
    xtim.profile_chart("oglwork", 0);
    xtim.profile_chart("finish", 1);
}

// ---------------------------------------------------------------------------
// [SECTION] Menu table and clicks
// ---------------------------------------------------------------------------

namespace
{
bool inside(short x1, short y1, short x2, short y2, float x, float y)
{
    return x1 <= x && x <= x2 && y1 <= y && y <= y2;
}

bool pickable(const item_struct& it)
{
    return !it.text.empty() && it.text[0] != '-' && it.text[0] != '=';
}

constexpr int kFirstNoCloseBox = 995, kLastNoCloseBox = 999;
constexpr float kCloseBoxW = 25, kTitleBarH = 20;
} // namespace

void VOVARU_clear_menus(int make)
{
    if (make != 1) return;
    menu.clear();
    menu.resize(kMenuSlots);
    for (int i = 0; i < kMenuSlots; ++i)
        VOVARU_clear_menu(i);
}

void VOVARU_clear_menu(int index)
{
    menu_struct& m = menu[index];
    m.title.clear();
    m.parent = -1;
    m.x1 = m.y1 = m.x2 = m.y2 = 0;
    m.items.clear();
}

void VOVARU_handleclick(int by_key)
{
    const float mx = mnw.mouse_x, my = mnw.mouse_y;
    const float w = mnw.win_w, h = mnw.win_h;

    if (mnw.win_now != kWinMain) {
        const bool no_boxes = mnw.win_now >= kFirstNoCloseBox && mnw.win_now <= kLastNoCloseBox;
        if (!no_boxes) {
            const bool in_bar = h - kTitleBarH <= my && my <= h;
            const bool left = 0 <= mx && mx <= kCloseBoxW && in_bar;
            const bool right = w - kCloseBoxW <= mx && mx <= w && in_bar;
            if (left || right || by_key) {
                BTN_zap_boxes(1);
                OGL_sbuff();
                return_hit = 0;
                VOVARU_startwind(kWinMain, by_key);
                return;
            }
        }
    } else {
        // Title test; the pop-up slot is never a title here.
        for (int i = 0; i < kPopupSlot && i < static_cast<int>(menu.size()); ++i) {
            const menu_struct& m = menu[i];
            if ((m.parent == -1 || m.parent == mnw.menu_open) &&
                inside(m.x1, m.y1, m.x2, m.y2, mx, my)) {
                mnw.menu_open = (i == mnw.menu_open) ? kNoMenu : i;
                mnw.mouse_press = 0;
                return;
            }
        }
    }

    if (mnw.menu_open != kNoMenu && mnw.menu_open < static_cast<int>(menu.size())) {
        const std::vector<item_struct>& items = menu[mnw.menu_open].items;
        for (size_t i = 0; i < items.size(); ++i) {
            const item_struct& it = items[i];
            if (!pickable(it) || !inside(it.x1, it.y1, it.x2, it.y2, mx, my)) continue;
            if (mnw.menu_open == kPopupSlot) {
                popup_menu_select = static_cast<int>(i);
                select_popup_code = active_popup_code;
                active_popup_code = 0;
            } else {
                APP_handlemenu(it.id);
            }
            mnw.menu_open = kNoMenu;
            mnw.mouse_press = 0;
            return;
        }
    }
    // Neither a title nor an entry: the press stays for the widgets under it.
    mnw.menu_open = kNoMenu;
}

// ---------------------------------------------------------------------------
// [SECTION] Menu drawing
// ---------------------------------------------------------------------------

namespace
{
constexpr int kColMenuText = 38, kColHighlight = 36, kColDivDark = 35, kColDivLight = 37;
constexpr int kLangKorean = 6;
} // namespace

void standard_gui()
{
    const int open = mnw.menu_open;
    if (open != kNoMenu && open != kPopupSlot) {
        BTN_frame1(kBarMenu, mnw.res_x * 0.5f, mnw.res_y - 9.0f, static_cast<float>(mnw.res_x),
                   kColrNoTint);
        for (const menu_struct& m : menu)
            if (!m.title.empty() && m.parent == -1)
                OGL_string(kColMenuText, m.x1 + 10.0f, m.y1 + 6.0f, m.title, kTextNoWrap,
                           mnw.lang == kLangKorean ? kCharsetFix15 : kCharsetProp, kTextLeft);
    }
    if (open == kNoMenu || open >= static_cast<int>(menu.size())) return;

    const menu_struct& om = menu[open];
    // The open menu's panel, around its entries.
    float m_x1 = 9999, m_y1 = 9999, m_x2 = 0, m_y2 = 0;
    bool any = false;
    for (const item_struct& it : om.items) {
        if (it.text.empty()) continue;
        any = true;
        if (it.x1 < m_x1) m_x1 = it.x1;
        if (it.x2 > m_x2) m_x2 = it.x2;
        if (it.y1 < m_y1) m_y1 = it.y1 - 2.0f;
        if (it.y2 > m_y2) m_y2 = it.y2 + 2.0f;
    }
    if (!any) m_x1 = m_y1 = m_x2 = m_y2 = 0;

    const float mx = mnw.mouse_x, my = mnw.mouse_y;
    const item_struct* hover = nullptr;
    for (const item_struct& it : om.items)
        if (pickable(it) && it.x1 <= mx && mx <= it.x2 && it.y1 <= my && my <= it.y2 - 1)
            hover = &it;

    BTN_frame2(kPanelMenu, m_x1, m_y1, m_x2 - m_x1, m_y2 - m_y1, "");
    if (om.parent == -1 && open != kPopupSlot)
        OGL_fillrect(kColHighlight, 0.25f, om.x1, om.y1, om.x2 - om.x1, om.y2 - om.y1);
    if (hover)
        OGL_fillrect(kColHighlight, 0.25f, hover->x1, hover->y1, hover->x2 - hover->x1,
                     hover->y2 - hover->y1);

    for (size_t i = 1; i < om.items.size(); ++i) {
        const item_struct& it = om.items[i];
        if (it.text.empty() || it.x1 == om.items[i - 1].x1) continue;
        OGL_line(kColDivDark, 1.0f, it.x1 - 1.0f, m_y1 - 1, it.x1 - 1.0f, m_y2);
        OGL_line(kColDivLight, 1.0f, it.x1, m_y2, it.x1, m_y1 - 1);
    }

    for (const item_struct& it : om.items) {
        if (it.text.empty()) continue;
        if (it.text[0] == '-') {
            OGL_line(kColDivDark, 1.0f, it.x1, it.y1 + 1.0f, it.x2 - 1.0f, it.y1 + 1.0f);
            OGL_line(kColDivLight, 1.0f, it.x1, it.y1, it.x2 - 1.0f, it.y1);
        } else {
            const float dx = open == kPopupSlot ? 3.0f : 18.0f;
            OGL_string(kColMenuText, it.x1 + dx, it.y1 + 3.0f, it.text, kTextNoWrap,
                       it.flag ? kCharsetFix15 : kCharsetProp, kTextLeft);
        }
    }

    for (const menu_struct& sub : menu)
        if (sub.parent == open)
            BTN_util_element(sub.x2 - 8.0f, sub.y1 + 6.0f, 167, 187, 9, 9, kColrNoTint);
}
