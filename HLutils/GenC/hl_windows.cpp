// Windows inside the GL window, the tooltip and the pointer look.
//
// Index of this file:
//   [SECTION] Window table and window start
//   [SECTION] Tooltip and pointer
#include "GenC/hl_windows.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstring>

#include "GenC/hl_menu.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "UTL/UTL_time.h"

namespace
{
constexpr int kTitleSlot = kStlsWindowTitle;
constexpr int kTooltipSlot = kStlsTooltip;
constexpr int kColTooltipText = 47;
constexpr float kTooltipIdleSecs = 1.0f;
constexpr float kHideIdleSecs = 10.0f;
constexpr int kCursorSystemMax = 1; // kinds up to 1: the X pointer
constexpr int kCursorHidden = 2;    // invisible X pointer
constexpr int kCursorSprite = 3;    // from 3: invisible X pointer and a sprite
constexpr int kColCursorSprite = 49;
constexpr int kFirstModalNoHide = 993, kLastModalNoHide = 999;

struct win_row {
    int id;
    float w, h;
    int title_slot; // -1: the fixed title
    const char* title;
};

const win_row kWindows[] = {
    {kWinLicence, 500, 300, -1, "EULA"},
    {kWinPrefs, 600, 380, -1, "Prefs"},
    {993, 561, 474, -1, "Livery"},
    {kWinAbout, 600, 300, kStlsTitle994, nullptr},
    {kWinAlert, 420, 250, kStlsTitleAlert, nullptr},
    {996, 300, 166, kStlsTitle996_997, nullptr},
    {kWinQuestion, 700, 146, kStlsTitle996_997, nullptr},
    {kWinPicker, 561, 474, kStlsTitlePicker, nullptr},
    {999, 330, 474, kStlsTitle999, nullptr},
};

int os_mouse_showing = 1; // the X pointer is shown
Cursor dot = 0;           // the invisible pointer, made once
unsigned window_changes = 0;

// A new invisible pointer shape; the caller owns it.
Cursor LIN_create_null_cursor(Display* display, Drawable drawable)
{
    Pixmap pix = XCreatePixmap(display, drawable, 1, 1, 1);
    XGCValues values;
    values.function = GXclear;
    GC gc = XCreateGC(display, pix, GCFunction, &values);
    XFillRectangle(display, pix, gc, 0, 0, 1, 1);
    XColor black;
    std::memset(&black, 0, sizeof(black));
    Cursor cursor = XCreatePixmapCursor(display, pix, pix, &black, &black, 0, 0);
    XFreePixmap(display, pix);
    XFreeGC(display, gc);
    return cursor;
}
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Window table and window start
// ---------------------------------------------------------------------------

win_spec VOVARU_window_spec(int id)
{
    for (const win_row& r : kWindows)
        if (r.id == id) return win_spec{1, r.w, r.h, r.title_slot, r.title};
    return win_spec{0, 0, 0, -1, nullptr};
}

float VOVARU_centre_origin(int res, float size, float scale)
{
    const float r = std::round((res - size * scale) * 0.5f); // half away from zero
    const float o = std::trunc(r / scale);
    return o > 0 ? o : 0.0f;
}

int VOVARU_tooltip_height(int n)
{
    int h = (n / 50) * 10 + 20;
    if (h < 60) h = 60;
    if (h > 300) h = 300;
    return h;
}

unsigned VOVARU_window_changes()
{
    return window_changes;
}

void VOVARU_startwind(int id, int)
{
    if (id != mnw.win_now) ++window_changes;
    const float old_x = mnw.win_x, old_y = mnw.win_y;
    plot_init_lights = 1;
    mouse_help_per_wind(id);
    OGL_viewport(kViewOrtho2D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);

    mnw.modal = 0;
    mnw.win_w = static_cast<float>(mnw.res_x);
    mnw.win_h = static_cast<float>(mnw.res_y);
    const win_spec spec = VOVARU_window_spec(id);
    if (spec.known) {
        stls[kTitleSlot] = spec.title_slot >= 0 ? stls[spec.title_slot] : spec.title;
        mnw.win_w = spec.w;
        mnw.win_h = spec.h;
        mnw.modal = 1;
    }
    BTN_focus_window_changed(); // no field, key or focus of the old window stays
    mnw.menu_open = kNoMenu;
    mnw.win_now = id;
    mnw.win_x = VOVARU_centre_origin(mnw.res_x, mnw.win_w, mnw.pix_scale);
    mnw.win_y = VOVARU_centre_origin(mnw.res_y, mnw.win_h, mnw.pix_scale);
    // The pointer stays where it is on the screen: in the new window's units
    // it moves by what the origin moved.
    mnw.mouse_x += old_x - mnw.win_x;
    mnw.mouse_y += old_y - mnw.win_y;
    mnw.mouse_press = 0;
    mnw.mouse_held = 0;
    mnw.wheel = 0;
    if (menu.size() >= static_cast<size_t>(kMenuSlots)) {
        menu_struct& pop = menu[kPopupSlot];
        pop.x1 = pop.y1 = pop.x2 = pop.y2 = -1;
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Tooltip and pointer
// ---------------------------------------------------------------------------

void mouse_help_per_wind(int id)
{
    const float idle = xtim.real_secs - mnw.mouse_time;
    std::string& tip = stls[kTooltipSlot];
    // What waits for the pointer to rest (the tooltip, hiding the pointer)
    // comes when due, however long a quiet frame would wait.
    auto due_after = [idle](float secs) {
        VOVARU_frame_due(std::lround((secs - idle) * 1e6) + 1000);
    };
    if (!tip.empty() && idle <= kTooltipIdleSecs) due_after(kTooltipIdleSecs);
    if (mnw.win_now == kWinMain && idle <= kHideIdleSecs) due_after(kHideIdleSecs);
    if (!tip.empty() && idle > kTooltipIdleSecs) {
        const int h = VOVARU_tooltip_height(static_cast<int>(tip.size()));
        float x = mnw.mouse_x - 415;
        if (x < 10 - mnw.win_x)
            x = 10 - mnw.win_x;
        else if (x > mnw.res_x - mnw.win_x - 410)
            x = mnw.res_x - mnw.win_x - 410;
        float y = mnw.mouse_y + 15;
        if (y < 10 - mnw.win_y)
            y = 10 - mnw.win_y;
        else if (y > mnw.res_y - mnw.win_y - h - 20)
            y = mnw.res_y - mnw.win_y - h - 20;
        BTN_frame2(kPanelDark, x - 10, y - 10, 420, static_cast<float>(h + 20), "");
        OGL_string(kColTooltipText, x + 3, y + h - 10, tip, 394, kCharsetProp, kTextLeft);
    }
    tip.clear();
    xtim.profile_chart("help", 0);

    if (idle > kHideIdleSecs && mnw.win_now == kWinMain) mnw.cursor_kind = kCursorHidden;
    if (id >= kFirstModalNoHide && id <= kLastModalNoHide) mnw.cursor_kind = 0;

    if (x11.display && x11.window[0]) {
        if (mnw.cursor_kind >= kCursorHidden && os_mouse_showing) {
            os_mouse_showing = 0;
            if (!dot) dot = LIN_create_null_cursor(x11.display, x11.window[0]);
            XDefineCursor(x11.display, x11.window[0], dot);
            XFlush(x11.display);
        } else if (mnw.cursor_kind <= kCursorSystemMax && !os_mouse_showing) {
            os_mouse_showing = 1;
            XUndefineCursor(x11.display, x11.window[0]);
            XFlush(x11.display);
        }
    }

    if (mnw.cursor_kind >= kCursorSprite) {
        // Cells of 30 x 30 texels, 32 apart, in the interface atlas.
        static const int kCells[][2] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}, {2, 1},  {3, 1},
                                        {2, 0}, {3, 0}, {4, 1}, {4, 0}, {-1, 1}, {-1, 0}};
        const int k = mnw.cursor_kind;
        int c, r;
        if (k >= 15) {
            c = -1;
            r = 1;
        } else {
            c = kCells[k - kCursorSprite][0];
            r = kCells[k - kCursorSprite][1];
            if ((k == 11 || k == 12) && mnw.mouse_held) c = 5;
        }
        const float ua = (200 + 32 * c) / 512.0f, ub = (230 + 32 * c) / 512.0f;
        const float va = (293 + 32 * r) / 512.0f, vb = (323 + 32 * r) / 512.0f;
        const float mx = mnw.mouse_x, my = mnw.mouse_y;
        OGL_2dquad(kTexInterface, kColCursorSprite, 1.0f, mx - 15, my - 15, ua, va, mx - 15,
                   my + 15, ua, vb, mx + 15, my + 15, ub, vb, mx + 15, my - 15, ub, va, 1, 5);
    }
}

void qtim_class::qtim_wind()
{
    BTN_fillwin(1, kPanelNone);
    BTN_subwin(0, kPanelInset, -1, -1, -1, 296, "NO QUICKTIME MOVIES FOR LINUX... SORRY!", &wx1,
               &wy1);
}
