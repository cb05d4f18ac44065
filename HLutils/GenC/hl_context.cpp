// The X11 window and its GLX context.
//
// Index of this file:
//   [SECTION] Helpers (display, error trap, hints, properties)
//   [SECTION] Window and context
//   [SECTION] Screen size
//   [SECTION] Loader context
#include "GenC/hl_context.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp.h"

// ---------------------------------------------------------------------------
// [SECTION] Helpers
// ---------------------------------------------------------------------------

namespace
{
const char* const kTitle = "Didozuroz";
const char* const kResName = "main_window";
const char* const kResClass = "Zudezud";
constexpr int kMinScreenW = 1024, kMinScreenH = 768;
constexpr long kEveryEventMask = (1L << 25) - 1; // every maskable X event type
constexpr int kLoaderSide = 128;                 // hidden window of a loader context

void die(const char* message)
{
    std::printf("%s\n", message);
    std::fflush(stdout);
    std::exit(kExitNoGL);
}

// Xlib's default error handler ends the process; while making the window and
// context we trap errors instead and check them ourselves.
int g_x_error = 0;
int trap_handler(Display*, XErrorEvent* e)
{
    if (!g_x_error) g_x_error = e->error_code;
    return 0;
}

struct error_trap {
    int (*old)(Display*, XErrorEvent*);
    error_trap() : old(XSetErrorHandler(trap_handler)) { g_x_error = 0; }
    ~error_trap() { XSetErrorHandler(old); }
};

// Once the window is up, errors are no longer expected: the usual one is
// our window destroyed by another client. Xlib's default handlers would end
// the process on the spot, leaving the settings unsaved and the temporary
// folder behind; these end it through the shutdown that needs no window.
void (*window_lost)(const char* why) = nullptr;

int run_error_handler(Display* d, XErrorEvent* e)
{
    char text[256] = "";
    XGetErrorText(d, e->error_code, text, sizeof(text));
    // A request on our own window fails once someone else has destroyed it
    // (a drawing call can meet that before its DestroyNotify is read): that
    // is how the window was closed, not a fault to print.
    if ((x11.window[0] && e->resourceid == x11.window[0]) ||
        (x11.drawable[0] && e->resourceid == x11.drawable[0])) {
        xer << "X error on the window (" << text << ", request " << int(e->request_code) << ").\n";
        window_lost("The program's window was destroyed.");
    }
    std::fprintf(stderr, "X Error of failed request: %s (request %d, resource 0x%lx)\n", text,
                 e->request_code, e->resourceid);
    window_lost("X error.");
    return 0; // not reached: the routine ends the process
}

int io_error_handler(Display*)
{
    window_lost("The X connection was lost.");
    return 0; // not reached
}

Atom wm_protocols = None, wm_delete_window = None;

void open_display()
{
    if (x11.display) return;
    x11.display = XOpenDisplay(nullptr);
    if (!x11.display)
        die("Didozuroz could not open the X display. Please check that X11 is running and "
            "that DISPLAY names it.");
}

// ICCCM 4.1.2.3: equal minimum and maximum sizes make the window fixed-size.
void set_fixed_size_hints(Window w, int width, int height)
{
    XSizeHints hints;
    std::memset(&hints, 0, sizeof(hints));
    long supplied = 0;
    XGetWMNormalHints(x11.display, w, &hints, &supplied);
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    hints.win_gravity = CenterGravity;
    hints.flags = PMinSize | PMaxSize | PWinGravity;
    XSetWMNormalHints(x11.display, w, &hints);
}

Atom atom(const char* name)
{
    return XInternAtom(x11.display, name, False);
}

void set_utf8(Window w, const char* prop, const char* value)
{
    XChangeProperty(x11.display, w, atom(prop), atom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value),
                    static_cast<int>(std::strlen(value)));
}

void set_atoms(Window w, const char* prop, const Atom* atoms, int n)
{
    XChangeProperty(x11.display, w, atom(prop), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms), n);
}

// EWMH _NET_WM_STATE: the property, and the request a mapped window needs.
void set_fullscreen_state(Window w, bool full)
{
    const Atom fs = atom("_NET_WM_STATE_FULLSCREEN");
    set_atoms(w, "_NET_WM_STATE", &fs, full ? 1 : 0);
}

void request_fullscreen_state(Window w, bool full)
{
    XEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = atom("_NET_WM_STATE");
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = full ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
    ev.xclient.data.l[1] = static_cast<long>(atom("_NET_WM_STATE_FULLSCREEN"));
    ev.xclient.data.l[2] = 0;
    XSendEvent(x11.display, DefaultRootWindow(x11.display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

// The events the window takes; its OpenGL child selects none, so they reach
// the window itself.
constexpr long kWindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                               PointerMotionMask | ButtonMotionMask | VisibilityChangeMask |
                               StructureNotifyMask | SubstructureNotifyMask;

// The start-up screen's backdrop colour in the screen's default colour map.
unsigned long backdrop_pixel(Display* d)
{
    float rgba[4];
    OGL_colour_for(kColBackground, 1, rgba);
    XColor c;
    c.red = static_cast<unsigned short>(rgba[0] * 65535.0f + 0.5f);
    c.green = static_cast<unsigned short>(rgba[1] * 65535.0f + 0.5f);
    c.blue = static_cast<unsigned short>(rgba[2] * 65535.0f + 0.5f);
    c.flags = DoRed | DoGreen | DoBlue;
    const int scr = DefaultScreen(d);
    return XAllocColor(d, DefaultColormap(d, scr), &c) ? c.pixel : BlackPixel(d, scr);
}

// The top-level window in the screen's default visual, which needs nothing
// of OpenGL: mapped at once, it shows the backdrop while the driver loads.
Window create_frame_window(int width, int height)
{
    Display* d = x11.display;
    const int scr = DefaultScreen(d);
    XSetWindowAttributes swa;
    std::memset(&swa, 0, sizeof(swa));
    swa.background_pixel = backdrop_pixel(d);
    swa.border_pixel = 0;
    swa.event_mask = kWindowEvents;
    return XCreateWindow(d, RootWindow(d, scr), 0, 0, width, height, 0, CopyFromParent, InputOutput,
                         CopyFromParent, CWBackPixel | CWBorderPixel | CWEventMask, &swa);
}

// A window in OpenGL's visual over `parent`, selecting no events.
Window create_window(Window parent, int width, int height)
{
    XVisualInfo* vi = x11.visual;
    XSetWindowAttributes swa;
    std::memset(&swa, 0, sizeof(swa));
    swa.border_pixel = 0;
    swa.colormap =
        XCreateColormap(x11.display, RootWindow(x11.display, vi->screen), vi->visual, AllocNone);
    return XCreateWindow(x11.display, parent, 0, 0, width, height, 0, vi->depth, InputOutput,
                         vi->visual, CWBorderPixel | CWColormap, &swa);
}

void set_gl_state()
{
    const GLfloat black[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glAlphaFunc(GL_GREATER, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_FASTEST);
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DITHER);
    glDisable(GL_COLOR_LOGIC_OP);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_NORMALIZE);
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    if (mnw.alias_now > 0) glEnable(GL_MULTISAMPLE_ARB);
    glDepthMask(GL_FALSE);
}
} // namespace

void LIN_glx_attribs(int level, int out[kGlxAttribCount])
{
    static const int kTemplate[kGlxAttribCount] = {GLX_SAMPLE_BUFFERS_ARB,
                                                   1,
                                                   GLX_SAMPLES_ARB,
                                                   0,
                                                   GLX_RGBA,
                                                   GLX_DOUBLEBUFFER,
                                                   GLX_RED_SIZE,
                                                   1,
                                                   GLX_GREEN_SIZE,
                                                   1,
                                                   GLX_BLUE_SIZE,
                                                   1,
                                                   GLX_DEPTH_SIZE,
                                                   2,
                                                   None};
    std::memcpy(out, kTemplate, sizeof(kTemplate));
    if (level == 0) {
        out[1] = 0;
        out[3] = 0;
    } else if (level >= 1 && level <= kAliasMaxLevel) {
        out[1] = 1;
        out[3] = 1 << level; // 2, 4, 8, 16 samples
    }
}

bool LIN_counts_as_fullscreen(int w, int h, int sw, int sh)
{
    return w == sw || h == sh;
}

// ---------------------------------------------------------------------------
// [SECTION] Window and context
// ---------------------------------------------------------------------------

int VOVARU_make_context(int index)
{
    open_display();
    Display* d = x11.display;

    Window w = 0;
    {
        error_trap trap;
        w = create_frame_window(mnw.res_x, mnw.res_y);
        XSync(d, False);
        if (!w || g_x_error) die("Didozuroz could not create its window.");
    }
    x11.window[index] = w;

    XTextProperty name;
    char* title = const_cast<char*>(kTitle);
    if (XStringListToTextProperty(&title, 1, &name)) {
        XSetWMName(d, w, &name);
        XFree(name.value);
    }

    XClassHint* cls = XAllocClassHint();
    if (cls) {
        cls->res_name = const_cast<char*>(kResName);
        cls->res_class = const_cast<char*>(kResClass);
        XSetClassHint(d, w, cls);
        XFree(cls);
    }

    set_fixed_size_hints(w, mnw.res_x, mnw.res_y);

    // ICCCM 4.2.8.1: closing the window through the window manager sends us
    // WM_DELETE_WINDOW instead of destroying the window under us.
    wm_protocols = atom("WM_PROTOCOLS");
    wm_delete_window = atom("WM_DELETE_WINDOW");
    XSetWMProtocols(d, w, &wm_delete_window, 1);

    // Startup notification: hand the launcher's id back on the window.
    if (const char* sid = std::getenv("DESKTOP_STARTUP_ID")) set_utf8(w, "_NET_STARTUP_ID", sid);
    set_utf8(w, "_NET_WM_NAME", kTitle);
    const Atom type = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    set_atoms(w, "_NET_WM_WINDOW_TYPE", &type, 1);
    const Atom actions[3] = {atom("_NET_WM_ACTION_CLOSE"), atom("_NET_WM_ACTION_FULLSCREEN"),
                             atom("_NET_WM_ACTION_MOVE")};
    set_atoms(w, "_NET_WM_ALLOWED_ACTIONS", actions, 3);

    const int scr = DefaultScreen(d);
    const bool full =
        LIN_counts_as_fullscreen(mnw.res_x, mnw.res_y, DisplayWidth(d, scr), DisplayHeight(d, scr));
    set_fullscreen_state(w, full);
    request_fullscreen_state(w, full);

    // Let the window manager see the window before drawing starts.
    XMapWindow(d, w);
    XEvent first;
    XMaskEvent(d, kEveryEventMask, &first);

    // Visual: from the asked multisample level down to none. The first GLX
    // call loads the driver.
    int attribs[kGlxAttribCount];
    for (int level = mnw.alias_req;; --level) {
        LIN_glx_attribs(level, attribs);
        x11.visual = glXChooseVisual(d, DefaultScreen(d), attribs);
        if (x11.visual) {
            mnw.alias_now = level;
            break;
        }
        if (level <= 0)
            die("Whoah -- no matter how hard I tried, I failed to get a GLX visual. Something's "
                "seriously wonky on your machine.");
    }

    {
        error_trap trap;
        x11.glx_context[index] = glXCreateContext(d, x11.visual, nullptr, True);
        XSync(d, False);
        if (!x11.glx_context[index] || g_x_error)
            die("Didozuroz could not create an OpenGL context for its window.");
        x11.drawable[index] = create_window(w, mnw.res_x, mnw.res_y);
        XSync(d, False);
        if (!x11.drawable[index] || g_x_error) die("Didozuroz could not create its window.");
    }
    XMapWindow(d, x11.drawable[index]);

    {
        error_trap trap;
        const Bool ok = glXMakeCurrent(d, x11.drawable[index], x11.glx_context[index]);
        XSync(d, False);
        if (!ok || g_x_error) die("Didozuroz could not make its OpenGL context current.");
    }
    set_gl_state();
    if (window_lost) {
        XSetErrorHandler(run_error_handler);
        XSetIOErrorHandler(io_error_handler);
    }
    return 1;
}

void VOVARU_set_window_lost(void (*fn)(const char* why))
{
    window_lost = fn;
}

void VOVARU_swap_buffers()
{
    if (x11.display && x11.drawable[mnw.ctx_index])
        glXSwapBuffers(x11.display, x11.drawable[mnw.ctx_index]);
}

bool LIN_is_close_request(const XClientMessageEvent& e)
{
    return wm_protocols != None && e.message_type == wm_protocols && e.format == 32 &&
           static_cast<Atom>(e.data.l[0]) == wm_delete_window;
}

void VOVARU_nuke_context(int index)
{
    // Shutdown may come from a fatal alert before any of this was made.
    Display* d = x11.display;
    if (!d) return;
    if (x11.glx_context[index]) {
        if (glXGetCurrentContext() == x11.glx_context[index]) glXMakeCurrent(d, None, nullptr);
        glXDestroyContext(d, x11.glx_context[index]);
        x11.glx_context[index] = nullptr;
    }
    if (x11.window[index]) {
        XDestroyWindow(d, x11.window[index]); // its OpenGL child goes with it
        x11.window[index] = 0;
        x11.drawable[index] = 0;
    }
    XFlush(d);
}

// ---------------------------------------------------------------------------
// [SECTION] Screen size
// ---------------------------------------------------------------------------

int VOVARU_setres(int apply)
{
    static int hres_orig = 0, vres_orig = 0, cres_orig = 0, sres_orig = 0;
    static int recorded = 0;

    mnw.res_x = mnw.res_x_req;
    mnw.res_y = mnw.res_y_req;
    mnw.res_bits = mnw.col_res_req;
    int change = mnw.set_res;

    // At shutdown without a connection there is no screen to restore.
    if (!apply && !x11.display) return 0;
    open_display();
    Display* d = x11.display;
    const int scr = DefaultScreen(d);
    const int W = DisplayWidth(d, scr), H = DisplayHeight(d, scr), D = DefaultDepth(d, scr);
    if (W < kMinScreenW || H < kMinScreenH) change = 1;

    if (!recorded) {
        recorded = 1;
        hres_orig = W;
        vres_orig = H;
        cres_orig = D;
        sres_orig = change;
    }
    (void)hres_orig;
    (void)vres_orig;
    (void)cres_orig;

    if (apply) {
        if (!change || (W == mnw.res_x && H == mnw.res_y && D == mnw.res_bits)) return 0;
    } else if (!sres_orig) {
        return 0;
    }

    const Window w = x11.window[0];
    if (!w) return 0;
    set_fixed_size_hints(w, mnw.res_x, mnw.res_y);
    XResizeWindow(d, w, mnw.res_x, mnw.res_y);
    if (x11.drawable[0]) XResizeWindow(d, x11.drawable[0], mnw.res_x, mnw.res_y);
    std::printf("%d vs %d X %d vs %d\n", W, mnw.res_x, H, mnw.res_y);
    std::fflush(stdout);
    set_fullscreen_state(w, W == mnw.res_x && H == mnw.res_y);
    XFlush(d);
    return 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Loader context
// ---------------------------------------------------------------------------

GLXContext VOVARU_make_context_loader(int&)
{
    if (!x11.visual) return nullptr;
    std::printf("linux trying to create a loader context\n");
    GLXContext ctx = glXCreateContext(x11.display, x11.visual, x11.glx_context[0], True);
    if (!ctx) std::printf("glXCreateContext failed.  Sorry, bub.\n");
    return ctx;
}

int VOVARU_set_context_loader(GLXContext ctx, void*)
{
    // Without a loader context (or before the window exists) there is nothing to make current.
    if (!ctx || !x11.display || !x11.visual) return 0;
    const Window w = create_window(RootWindow(x11.display, x11.visual->screen), kLoaderSide,
                                   kLoaderSide); // never mapped
    return glXMakeCurrent(x11.display, w, ctx) ? 1 : 0;
}
