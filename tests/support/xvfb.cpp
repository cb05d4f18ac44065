#include "support/xvfb.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <unistd.h>

const char* const kXvfbScreen = "-screen 0 1280x1024x24 +extension GLX";
const char* const kXvfbScreen1024 = "-screen 0 1024x768x24 +extension GLX";
const char* const kXvfbNoGlx = "-screen 0 1280x1024x24 -extension GLX";

namespace
{
const char* const kChildMark = "ZUDEZUD_XVFB_CHILD";

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string self_exe()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return "";
    buf[n] = 0;
    return buf;
}

// A server that names no display by then is stopped with what it was doing.
constexpr int kServerStartSeconds = 60;

using steady = std::chrono::steady_clock;

// Waits for `fd` to be readable until `deadline`; false once it has passed.
bool wait_readable(int fd, steady::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int n = poll(&p, 1, int(std::min<long long>(left.count(), 1000)));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return true; // let the read report it
    }
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every process below `root`, parents before children.
std::vector<pid_t> descendants(pid_t root)
{
    std::multimap<pid_t, pid_t> children;
    if (DIR* d = opendir("/proc")) {
        while (dirent* e = readdir(d)) {
            const pid_t pid = std::atoi(e->d_name);
            if (pid <= 0) continue;
            // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
            const std::string stat = read_text("/proc/" + std::to_string(pid) + "/stat");
            const size_t close = stat.rfind(')');
            if (close == std::string::npos) continue;
            std::istringstream rest(stat.substr(close + 1));
            std::string state;
            pid_t ppid = 0;
            rest >> state >> ppid;
            children.emplace(ppid, pid);
        }
        closedir(d);
    }
    std::vector<pid_t> out;
    std::vector<pid_t> todo{root};
    while (!todo.empty()) {
        const pid_t p = todo.back();
        todo.pop_back();
        auto range = children.equal_range(p);
        for (auto it = range.first; it != range.second; ++it) {
            out.push_back(it->second);
            todo.push_back(it->second);
        }
    }
    return out;
}

// A field of /proc/PID/status ("State", "Name"), without its label.
std::string status_field(pid_t pid, const std::string& name)
{
    std::istringstream in(read_text("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, name.size() + 1, name + ":") == 0) {
            const size_t v = line.find_first_not_of(" \t", name.size() + 1);
            return v == std::string::npos ? "" : line.substr(v);
        }
    return "";
}

// What a process is doing: its command, state and where the kernel has it
// waiting, and its threads' stacks when gdb is at hand (bounded too: gdb can
// hang on a process stuck in the kernel).
std::string describe(pid_t pid, bool with_stack)
{
    const std::string dir = "/proc/" + std::to_string(pid);
    std::string cmd = read_text(dir + "/cmdline");
    std::replace(cmd.begin(), cmd.end(), '\0', ' ');
    std::string out = "  " + std::to_string(pid) + " " + cmd + "\n    state " +
                      status_field(pid, "State") + ", waiting in " + read_text(dir + "/wchan") +
                      "\n";
    if (with_stack && system("command -v gdb >/dev/null 2>&1") == 0) {
        const std::string gdb = "timeout 60 gdb -nx -batch -p " + std::to_string(pid) +
                                " -ex 'thread apply all bt 30' 2>&1 | grep '^#\\|^Thread'";
        if (FILE* p = popen(gdb.c_str(), "r")) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
                out.append(buf, n);
            pclose(p);
        }
    }
    return out;
}

// Shells and wrappers only wait for their child; their stacks say nothing.
bool is_wrapper(pid_t pid)
{
    const std::string name = status_field(pid, "Name");
    return name == "sh" || name == "dash" || name == "bash" || name == "env" || name == "timeout";
}

// One private X server: Xvfb picks a free display itself and writes its
// number to a pipe (-displayfd), so parallel tests never race for a display
// and nothing is left to clean up but the process (xvfb-run's own temporary
// folder clean-up fails now and then under load and changes the exit status).
struct XvfbServer {
    pid_t pid = -1;
    std::string display; // ":N", empty when the server did not start
    std::string failure; // why not

    explicit XvfbServer(const std::string& server_args)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            failure = "Xvfb failed to start: no pipe\n";
            return;
        }
        // Its messages are kept to tell why it did not start.
        char messages[] = "/tmp/zudezud-xvfb-XXXXXX";
        const int mfd = mkstemp(messages);
        if (mfd >= 0) close(mfd);
        const std::string cmd = "exec Xvfb -displayfd " + std::to_string(fds[1]) +
                                " -nolisten tcp -noreset " + server_args + " >/dev/null 2>" +
                                (mfd >= 0 ? quote(messages) : std::string("/dev/null"));
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            execl("/bin/sh", "sh", "-c", cmd.c_str(), (char*)nullptr);
            _exit(127);
        }
        close(fds[1]);
        if (pid < 0) {
            close(fds[0]);
            if (mfd >= 0) unlink(messages);
            failure = "Xvfb failed to start: no process\n";
            return;
        }
        // The number arrives once the server accepts connections; EOF means
        // it died first.
        const auto deadline = steady::now() + std::chrono::seconds(kServerStartSeconds);
        std::string number;
        char c;
        while (wait_readable(fds[0], deadline) && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            display = ":" + number;
        else if (steady::now() >= deadline)
            failure = "Xvfb named no display in " + std::to_string(kServerStartSeconds) + " s:\n" +
                      describe(pid, true);
        else
            failure = "Xvfb failed to start:\n" + read_text(messages);
        if (mfd >= 0) unlink(messages);
    }
    ~XvfbServer()
    {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        int st;
        waitpid(pid, &st, 0);
    }
};

// Runs `command` through /bin/sh with both outputs captured. A command still
// running after `seconds` is stopped: the output then ends with what it and
// each process below it (and `server`, when given) were doing.
XvfbResult run_bounded(const std::string& command, int seconds, pid_t server = -1)
{
    XvfbResult r;
    int fds[2];
    if (pipe(fds) != 0) return r;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[1]);
        execl("/bin/sh", "sh", "-c", command.c_str(), (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return r;
    }
    const auto deadline = steady::now() + std::chrono::seconds(seconds);
    bool in_time = true;
    char buf[4096];
    for (;;) {
        if (!wait_readable(fds[0], deadline)) {
            in_time = false;
            break;
        }
        const ssize_t n = read(fds[0], buf, sizeof(buf));
        if (n > 0)
            r.output.append(buf, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    if (!in_time) {
        const std::vector<pid_t> below = descendants(pid);
        r.output += "\n[stopped after " + std::to_string(seconds) + " s: " + command +
                    "]\nStill running:\n";
        for (pid_t p : below)
            r.output += describe(p, !is_wrapper(p));
        if (server > 0) r.output += "The X server:\n" + describe(server, false);
        kill(pid, SIGKILL);
        for (pid_t p : below)
            kill(p, SIGKILL);
    }
    close(fds[0]);
    int st = 0;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    if (!in_time)
        r.status = 124; // as timeout(1) says it
    else if (WIFEXITED(st))
        r.status = WEXITSTATUS(st);
    else if (WIFSIGNALED(st))
        r.status = 128 + WTERMSIG(st);
    return r;
}
} // namespace

std::string shell_quote(const std::string& s)
{
    return quote(s);
}

XvfbResult run_capture(const std::string& command, int seconds)
{
    return run_bounded(command, seconds);
}

XvfbResult xvfb_run(const std::string& command, const std::string& server_args)
{
    XvfbServer server(server_args);
    if (server.display.empty()) {
        XvfbResult r;
        r.output = server.failure;
        r.status = 1;
        return r;
    }
    return run_bounded("DISPLAY=" + server.display + " LIBGL_ALWAYS_SOFTWARE=1 sh -c " +
                           quote(command),
                       kCommandSeconds, server.pid);
}

bool xvfb_inside()
{
    return std::getenv(kChildMark) != nullptr;
}

XvfbResult xvfb_run_this_test(const char* server_args, const std::vector<std::string>& env)
{
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string cmd = std::string(server_args ? "env " : "env -u DISPLAY ") + kChildMark + "=1";
    for (const std::string& e : env)
        cmd += " " + quote(e);
    cmd += " " + quote(self_exe()) + " " +
           quote(std::string("--gtest_filter=") + t->test_suite_name() + "." + t->name());
    if (server_args) return xvfb_run(cmd, server_args);
    return run_capture(cmd);
}

XvfbResult xvfb_run_this_test_copied(const std::string& folder)
{
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string copy = folder + (folder.back() == '/' ? "" : "/") + "zudezud_test";
    const XvfbResult cp = run_capture("cp " + quote(self_exe()) + " " + quote(copy));
    if (cp.status != 0) return cp;
    return xvfb_run(std::string("env ") + kChildMark + "=1 HOME=" + quote(folder) + " " +
                    quote(copy) + " " +
                    quote(std::string("--gtest_filter=") + t->test_suite_name() + "." + t->name()));
}

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "GenC/hl_alert.h"
#include "GenC/hl_context.h"
#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/tman.h"

void xvfb_open_shell_window(int width, int height)
{
    VOVARU_register_shell();
    VOVARU_align_scratch();
    VOVARU_request_window();
    mnw.res_x_req = width;
    mnw.res_y_req = height;
    VOVARU_setres(1);
    VOVARU_make_context(0);
    OGL_pix_specs(0);
    glExt.init_extensions();
    recall_ins_texes(); // text and sprites are cut from the atlas
    for (int id = 34; id <= 47; ++id)
        colr.assign(id, 0.5f, 0.5f, 0.5f);
    colr.assign(104, 1, 1, 1); // light colour: neutral
    VOVARU_clear_menus(1);
    VOVARU_startwind(kWinNone, 0);
    OGL_pix_specs(0);
    ogl_inited = 1;
}

ShownPixels xvfb_read_shell_window()
{
    return xvfb_read_window(x11.display, x11.window[0], mnw.res_x, mnw.res_y);
}

ShownPixels xvfb_read_window(Display* display, unsigned long window, int width, int height)
{
    ShownPixels p;
    XSync(display, False);
    XImage* img = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!img) return p;
    p.w = img->width;
    p.h = img->height;
    p.rgb.resize(size_t(3) * p.w * p.h);
    // Each channel scaled from its mask to 0..255.
    auto channel = [](unsigned long px, unsigned long mask) {
        if (!mask) return 0;
        int shift = 0;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return int(((px >> shift) & mask) * 255 / mask);
    };
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const unsigned long px = XGetPixel(img, x, y);
            unsigned char* out = &p.rgb[3 * (size_t(y) * p.w + x)];
            out[0] = static_cast<unsigned char>(channel(px, img->red_mask));
            out[1] = static_cast<unsigned char>(channel(px, img->green_mask));
            out[2] = static_cast<unsigned char>(channel(px, img->blue_mask));
        }
    XDestroyImage(img);
    return p;
}

namespace
{
bool near(const unsigned char* px, int r, int g, int b, int tol)
{
    return std::abs(px[0] - r) <= tol && std::abs(px[1] - g) <= tol && std::abs(px[2] - b) <= tol;
}
} // namespace

::testing::AssertionResult shown_is(const ShownPixels& p, int x, int y, int r, int g, int b,
                                    int tol)
{
    if (x < 0 || y < 0 || x >= p.w || y >= p.h)
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") is outside the window";
    const unsigned char* px = p.at(x, y);
    if (near(px, r, g, b, tol)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << "," << y << ") is " << int(px[0]) << "," << int(px[1]) << ","
           << int(px[2]) << " not " << r << "," << g << "," << b;
}

int shown_count(const ShownPixels& p, int x0, int y0, int x1, int y1, int r, int g, int b, int tol)
{
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, p.h); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, p.w); ++x)
            n += near(p.at(x, y), r, g, b, tol);
    return n;
}

std::vector<std::string> xvfb_shots_env()
{
    const char* shots = std::getenv("ZUDEZUD_SHOTS_DIR");
    if (!shots) return {};
    return {std::string("ZUDEZUD_SHOTS_DIR=") + shots};
}

ShownPixels xvfb_shown_frame(const char* shot_name)
{
    glFinish();
    if (const char* shots = std::getenv("ZUDEZUD_SHOTS_DIR")) {
        const XvfbResult r =
            run_capture("import -window root " + quote(std::string(shots) + "/" + shot_name));
        EXPECT_EQ(r.status, 0) << r.output;
    }
    return xvfb_read_shell_window();
}

std::vector<unsigned char> built_in_atlas_pixels()
{
    std::ifstream in(ZUDEZUD_BINARY_DIR "/tools/texes/texes0.raw", std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

::testing::AssertionResult xvfb_send_wm_delete(unsigned long window)
{
    Display* d = XOpenDisplay(nullptr);
    if (!d) return ::testing::AssertionFailure() << "no display";
    Atom* protocols = nullptr;
    int count = 0;
    bool listed = false;
    const Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
    if (XGetWMProtocols(d, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            listed = listed || protocols[i] == del;
        XFree(protocols);
    }
    XEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(del);
    ev.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(d, window, False, NoEventMask, &ev);
    XCloseDisplay(d); // flushes
    if (!listed) return ::testing::AssertionFailure() << "WM_DELETE_WINDOW is not listed";
    if (!sent) return ::testing::AssertionFailure() << "XSendEvent failed";
    return ::testing::AssertionSuccess();
}
