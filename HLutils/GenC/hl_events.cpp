// X11 events into the window record.
#include "GenC/hl_events.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GenC/hl_context.h"
#include "GenC/hl_hooks.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_shutdown.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/keys.h"

namespace
{
// Mouse buttons as X numbers them.
enum { kBtnLeft = 1, kBtnRight = 3, kBtnWheelUp = 4, kBtnWheelDown = 5 };

const char* key_name(XKeyEvent* e)
{
    // Column 0: the keysym without Shift.
    const KeySym sym = XkbKeycodeToKeysym(e->display, static_cast<KeyCode>(e->keycode), 0, 0);
    return XKeysymToString(sym);
}

bool is(const char* name, const char* a, const char* b)
{
    return !std::strcmp(name, a) || !std::strcmp(name, b);
}

// Shift, Control and Alt only change the modifier state; true for those keys.
bool set_modifier(const char* name, int down)
{
    if (is(name, "Shift_L", "Shift_R"))
        linkey_shft = down;
    else if (is(name, "Control_L", "Control_R"))
        linkey_ctrl = down;
    else if (is(name, "Alt_L", "Alt_R"))
        linkey_optn = down;
    else
        return false;
    return true;
}

void on_key_press(XKeyEvent* e)
{
    const char* name = key_name(e);
    if (!name) {
        std::printf("LINUX: Warning: X11 gave us a key press with no keysym string! This isn't "
                    "so good. Verify the mapping of whatever key you just hit.\n");
        return;
    }
    if (set_modifier(name, 1)) return;
    if (is(name, "Super_L", "Super_R") || is(name, "Menu", "ISO_Level3_Shift")) return;
    mnw.key_hit = 1;
    mnw.key_held = 1;
    keys.handle_key_raw(kKeyEvPress, e->keycode, e->state);
}

void on_key_release(XKeyEvent* e)
{
    const char* name = key_name(e);
    if (!name) {
        std::printf("LINUX: Warning: X11 gave us a key release with no keysym string! This "
                    "isn't so good. Verify the mapping of whatever key you just hit.\n");
        return;
    }
    if (set_modifier(name, 0)) return;
    mnw.key_held = 0;
    keys.handle_key_raw(kKeyEvRelease, e->keycode, e->state);
}

void report_unknown_event(int type)
{
    std::printf("LINUX: X11 threw me something different, and I don't know how to handle it. "
                "Email %s with this message and what you were doing. Event ---> %d\n",
                kSupportEmail, type);
}

// X pixels from the main window's top-left corner into window units.
void set_pointer(int px, int py)
{
    VOVARU_load_mxy(x11.window[0], px, py);
}

void on_motion()
{
    // Ask the server, not the event: the last of several moves wins.
    Window root, child;
    int rx, ry, px, py;
    unsigned int mask;
    if (!XQueryPointer(x11.display, x11.window[0], &root, &child, &rx, &ry, &px, &py, &mask))
        return;
    set_pointer(px, py);
}

press_mark last_press{CurrentTime, 0, 0, 0};
bool drop_next_release = false; // the release of a press that was dropped

void on_button_press(const XButtonEvent& e)
{
    const press_mark now{e.time, e.x, e.y, VOVARU_window_changes()};
    if (LIN_press_belongs_elsewhere(last_press, now)) {
        // Also a third press of the gesture belongs to the first one's window.
        last_press.time = now.time;
        drop_next_release = true;
        return;
    }
    last_press = now;
    // Evaluated where it happened, not where the pointer has moved since.
    set_pointer(e.x, e.y);
    mnw.mouse_press = 1;
    VOVARU_handleclick(0);
}

void on_destroy(const XDestroyWindowEvent& e)
{
    // Our own window destroyed by someone else: nothing is left to draw on.
    if (!e.send_event && x11.window[0] && e.window == x11.window[0])
        VOVARU_finish_without_window("The program's window was destroyed.");
    VOVARU_startwind(kWinMain, 0);
}
} // namespace

bool LIN_press_belongs_elsewhere(const press_mark& last, const press_mark& now)
{
    // CurrentTime (0) marks a sent event without a time: nothing to compare.
    if (last.time == CurrentTime || now.time == CurrentTime || now.window == last.window)
        return false;
    if (std::abs(now.x - last.x) > kDoubleClickSlopPx ||
        std::abs(now.y - last.y) > kDoubleClickSlopPx)
        return false;
    // X times are 32-bit milliseconds that wrap.
    const unsigned long gap = (now.time - last.time) & 0xFFFFFFFFul;
    return gap < kDoubleClickMs;
}

void LIN_handleevt(XEvent* event)
{
    switch (event->type) {
    case KeyPress:
        on_key_press(&event->xkey);
        break;
    case KeyRelease:
        on_key_release(&event->xkey);
        break;
    case ButtonPress:
        if (event->xbutton.button == kBtnWheelUp) {
            ++mnw.wheel;
        } else if (event->xbutton.button == kBtnWheelDown) {
            --mnw.wheel;
        } else if (event->xbutton.button >= kBtnLeft && event->xbutton.button <= kBtnRight) {
            on_button_press(event->xbutton);
        }
        break;
    case ButtonRelease:
        if (event->xbutton.button >= kBtnLeft && event->xbutton.button <= kBtnRight) {
            if (drop_next_release)
                drop_next_release = false;
            else
                mnw.mouse_release = 1;
        }
        break;
    case MotionNotify:
        on_motion();
        break;
    case VisibilityNotify:
        // Obscured or uncovered: a half-finished click or drag is dropped.
        VOVARU_startwind(mnw.win_now, 0);
        break;
    case DestroyNotify:
        on_destroy(event->xdestroywindow);
        break;
    case ClientMessage:
        if (LIN_is_close_request(event->xclient))
            VOVARU_request_quit();
        else
            report_unknown_event(event->type);
        break;
    case CreateNotify:
    case ConfigureNotify:
    case UnmapNotify:
    case MapNotify:
    case ReparentNotify:
    case MappingNotify:
        break;
    default:
        report_unknown_event(event->type);
        break;
    }
}

Bool LIN_handlewin(Display*, XEvent*, XPointer)
{
    return True;
}

// ---------------------------------------------------------------------------
// [SECTION] Keysyms for the keyboard layer
// ---------------------------------------------------------------------------
key_syms LIN_key_syms(long keycode, long state)
{
    key_syms syms{};
    if (!x11.display) return syms;
    const KeyCode code = static_cast<KeyCode>(keycode & 0xFF);
    syms.level0 = static_cast<long>(XkbKeycodeToKeysym(x11.display, code, 0, 0));
    syms.level1 = static_cast<long>(XkbKeycodeToKeysym(x11.display, code, 0, 1));
    // Num Lock sits on whichever modifier the server's map gives it.
    const unsigned num_lock = XkbKeysymToModifiers(x11.display, XK_Num_Lock);
    syms.num_lock = num_lock && (state & num_lock) ? 1 : 0;
    return syms;
}
