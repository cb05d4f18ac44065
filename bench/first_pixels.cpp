// Times a command from its start to the first pixels it changes on the X
// screen, and to the next change after that, then ends it:
//   first_pixels <seconds allowed> <command> [arguments...]
// Prints the two times in seconds on stdout (the second is the first's when
// nothing else changed in time); exits 1 when nothing changed in time.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
XImage* grab(Display* d, Window root, int w, int h)
{
    return XGetImage(d, root, 0, 0, w, h, AllPlanes, ZPixmap);
}

bool same(const XImage* a, const XImage* b)
{
    return std::memcmp(a->data, b->data, static_cast<size_t>(a->bytes_per_line) * a->height) == 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <seconds allowed> <command> [arguments...]\n", argv[0]);
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "first_pixels: no X display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(d);
    XWindowAttributes at;
    XGetWindowAttributes(d, root, &at);
    XImage* before = grab(d, root, at.width, at.height);

    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    const double allowed = std::atof(argv[1]);
    double secs[2] = {-1, -1};
    int found = 0;
    while (found < 2) {
        XImage* now = grab(d, root, at.width, at.height);
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!same(before, now)) {
            secs[found++] = t;
            XDestroyImage(before);
            before = now;
        } else {
            XDestroyImage(now);
        }
        if (t > allowed || waitpid(child, nullptr, WNOHANG) == child) break;
        usleep(1000);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XDestroyImage(before);
    XCloseDisplay(d);
    if (found == 0) return 1;
    std::printf("%.4f %.4f\n", secs[0], found > 1 ? secs[1] : secs[0]);
    return 0;
}
