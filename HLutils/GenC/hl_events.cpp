// X11 events into the window record.
#include "GenC/hl_events.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>

#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"

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

void on_motion()
{
    // Ask the server, not the event: the last of several moves wins.
    Window root, child;
    int rx, ry, px, py;
    unsigned int mask;
    if (!XQueryPointer(mnw.x_display, mnw.x_window[0], &root, &child, &rx, &ry, &px, &py, &mask))
        return;
    mnw.mouse_x = px / mnw.pix_scale - mnw.win_x;
    mnw.mouse_y = (mnw.res_y - py) / mnw.pix_scale - mnw.win_y;
}
} // namespace

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
            mnw.mouse_press = 1;
            VOVARU_handleclick(0);
        }
        break;
    case ButtonRelease:
        if (event->xbutton.button >= kBtnLeft && event->xbutton.button <= kBtnRight)
            mnw.mouse_release = 1;
        break;
    case MotionNotify:
        on_motion();
        break;
    case VisibilityNotify:
        // Obscured or uncovered: a half-finished click or drag is dropped.
        VOVARU_startwind(mnw.win_now, 0);
        break;
    case DestroyNotify:
        VOVARU_startwind(kWinMain, 0);
        break;
    case CreateNotify:
    case ConfigureNotify:
    case UnmapNotify:
    case MapNotify:
    case ReparentNotify:
    case MappingNotify:
        break;
    default:
        std::printf("LINUX: X11 threw me something different, and I don't know how to handle it. "
                    "Email %s with this message and what you were doing. Event ---> %d\n",
                    kSupportEmail, event->type);
        break;
    }
}

Bool LIN_handlewin(Display*, XEvent*, XPointer)
{
    return True;
}

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

// ---------------------------------------------------------------------------
// [SECTION] Keysyms for the keyboard layer
// ---------------------------------------------------------------------------
key_syms LIN_key_syms(long keycode, long state)
{
    key_syms syms{};
    if (!mnw.x_display) return syms;
    const KeyCode code = static_cast<KeyCode>(keycode & 0xFF);
    syms.level0 = static_cast<long>(XkbKeycodeToKeysym(mnw.x_display, code, 0, 0));
    syms.level1 = static_cast<long>(XkbKeycodeToKeysym(mnw.x_display, code, 0, 1));
    // Num Lock sits on whichever modifier the server's map gives it.
    const unsigned num_lock = XkbKeysymToModifiers(mnw.x_display, XK_Num_Lock);
    syms.num_lock = num_lock && (state & num_lock) ? 1 : 0;
    return syms;
}
