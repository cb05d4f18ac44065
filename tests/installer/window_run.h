// The installer program run through its real window: under Xvfb (1024 x
// 768, no window manager, so its window sits at (0, 0)) against nginx on
// loopback, driven with xdotool, each state waited for by polling what can
// be seen: pixels, the log, nginx's access log, folders. Where possible a
// test runs inside `unshare --net --mount`, so name lookups fail at once and
// /tmp is private. Screenshots of every screen are saved when a test fails.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "support/frame_driver.h"
#include "support/nginx.h"
#include "support/release_maker.h"
#include "support/script_peer.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/xvfb.h"

constexpr const char* kNsMark = "ZUDEZUD_WINDOW_RUN_NS";
constexpr int kResX = 1024, kResY = 768;

inline std::string sh_quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Polls cond every 20 ms until it holds or the deadline passes.
inline bool poll_until(const std::function<bool()>& cond, double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        usleep(20000);
    }
}

// Where the test body runs.
enum class PrivateNet {
    kRanThere,   // the test ran again inside the namespace: its result is this test's
    kInside,     // this is that run: go on with the body
    kUnavailable // no namespaces here: the body runs on the shared network
};

// Runs the current test again inside `unshare --net --mount`: loopback only,
// so name lookups fail at once; a private /tmp; and with `hosts` the name
// table /etc/hosts holds that text.
inline PrivateNet run_in_private_net(const std::string& hosts = "")
{
    if (xvfb_inside() || std::getenv(kNsMark)) return PrivateNet::kInside;
    if (run_capture("unshare --net --mount true").status != 0) return PrivateNet::kUnavailable;
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + t->test_suite_name() + "." + t->name();
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        ADD_FAILURE() << "cannot read /proc/self/exe";
        return PrivateNet::kRanThere;
    }
    self[n] = 0;
    // A private /tmp would hide a build that lives under /tmp itself.
    const auto under_tmp = [](const std::string& p) { return p.rfind("/tmp/", 0) == 0; };
    const bool private_tmp =
        !under_tmp(self) && !under_tmp(ZUDEZUD_BINARY_DIR) && !under_tmp(ZUDEZUD_SOURCE_DIR);
    if (!private_tmp) std::cout << "the build lives under /tmp: /tmp stays shared\n";
    // Every server in a private /tmp is display 0, and Xvfb compiles its
    // keymap to /var/lib/xkb/server-0.xkm: servers started at once would
    // overwrite each other's, so that folder is private too.
    std::string setup = private_tmp
                            ? "ip link set lo up && mount -t tmpfs tmpfs /tmp && "
                              "{ [ ! -d /var/lib/xkb ] || mount -t tmpfs tmpfs /var/lib/xkb; }"
                            : "ip link set lo up";
    if (!hosts.empty()) {
        const std::string file = std::string(ZUDEZUD_BINARY_DIR) + "/window-run-hosts." + t->name();
        if (!testnet::write_file(file, hosts)) {
            ADD_FAILURE() << "cannot write " << file;
            return PrivateNet::kRanThere;
        }
        setup += " && mount --bind " + sh_quote(file) + " /etc/hosts";
    }
    const XvfbResult r = run_capture(
        std::string("env ") + kNsMark + "=1 unshare --net --mount sh -c " +
        sh_quote(setup + " && exec \"$0\" \"$1\"") + " " + sh_quote(self) + " " + sh_quote(filter));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("[  PASSED  ] 1 test."), std::string::npos) << r.output;
    return PrivateNet::kRanThere;
}

// In a test body: the rest runs in a private network (see above), or the
// test is skipped where there is none.
#define NEEDS_PRIVATE_NET(...)                                                                     \
    do {                                                                                           \
        switch (run_in_private_net(__VA_ARGS__)) {                                                 \
        case PrivateNet::kRanThere:                                                                \
            return;                                                                                \
        case PrivateNet::kUnavailable:                                                             \
            GTEST_SKIP() << "unshare --net --mount is not available here";                         \
        case PrivateNet::kInside:                                                                  \
            break;                                                                                 \
        }                                                                                          \
    } while (0)

// A rectangle in a window's own units (origin lower left), and the window's
// origin on the screen as the window layer centres it.
struct Rect {
    int x0, y0, x1, y1;
};
struct Win {
    int x = 0, y = 0;
};
inline Win window_at(int id)
{
    const win_spec s = VOVARU_window_spec(id);
    if (!s.known) return {};
    return {static_cast<int>(VOVARU_centre_origin(kResX, s.w, 1)),
            static_cast<int>(VOVARU_centre_origin(kResY, s.h, 1))};
}

// The program as the user starts it, copied into a private folder (its
// Log.txt is written beside it) with a private HOME, or none when home is "".
class Program
{
  public:
    std::string dir, home, out;
    pid_t pid = -1;
    int status = -1;

    bool start(const std::vector<std::string>& args)
    {
        out = dir + "output.txt";
        pid = fork();
        if (pid == 0) {
            if (home.empty())
                unsetenv("HOME");
            else
                setenv("HOME", home.c_str(), 1);
            setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
            freopen(out.c_str(), "w", stdout);
            freopen(out.c_str(), "a", stderr);
            std::vector<std::string> all = {dir + "zudezud_installer"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid > 0;
    }
    bool exited(double seconds)
    {
        return poll_until(
            [&] {
                int st;
                if (waitpid(pid, &st, WNOHANG) != pid) return false;
                status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                pid = -1;
                return true;
            },
            seconds);
    }
    void stop()
    {
        if (pid > 0) testnet::stop_child(pid);
        pid = -1;
    }
    std::string log() const { return testnet::read_file(dir + "Log.txt"); }
};

class WindowRun : public ::testing::Test
{
  protected:
    TempDir tmp;
    testnet::Nginx nginx;
    Program app;
    Display* display = nullptr;
    std::string wid; // the program's X window
    std::string web, shots;
    int shot_no = 0;
    bool prepared = false;

    // Inside the child under Xvfb: nginx, the copied program, the display.
    // port_80: nginx serves the maker's server directly, as /etc/hosts names it.
    void prepare(bool port_80 = false)
    {
        prepared = true;
        web = tmp / "web/";
        shots = tmp / "shots/";
        app.dir = tmp / "app/";
        app.home = tmp / "home";
        for (const std::string& d : {web, shots, app.dir, app.home + "/"})
            ::mkdir(d.c_str(), 0755);
        testnet::NginxOptions o;
        o.root = web;
        o.port_80 = port_80;
        // The big archive comes slowly, so the screen during an install can be seen.
        o.extra_server_conf = "location ~ big\\.bin\\.zip$ { limit_rate 150k; }\n";
        ASSERT_TRUE(nginx.Start(o)) << nginx.failure();
        ASSERT_EQ(run_capture("cp " + sh_quote(ZUDEZUD_INSTALLER_EXE) + " " +
                              sh_quote(app.dir + "zudezud_installer"))
                      .status,
                  0);
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override
    {
        if (!prepared) return;
        app.stop();
        if (HasFailure()) {
            std::string keep = std::string(ZUDEZUD_BINARY_DIR) + "/installer-window-shots-" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                               "/";
            run_capture("rm -rf " + sh_quote(keep) + " && cp -r " + sh_quote(shots) + " " +
                        sh_quote(keep));
            const std::string log = app.log();
            std::cout << "screenshots of every screen: " << keep << "\n--- end of Log.txt:\n"
                      << log.substr(log.size() > 4000 ? log.size() - 4000 : 0) << "\n--- output:\n"
                      << testnet::read_file(app.out) << "\n";
        }
        if (display) XCloseDisplay(display);
    }

    // The whole screen as shown (the window covers it).
    ShownPixels screen()
    {
        x11.display = display;
        x11.window[0] = DefaultRootWindow(display);
        mnw.res_x = kResX;
        mnw.res_y = kResY;
        ShownPixels p = xvfb_read_shell_window();
        x11.display = nullptr;
        return p;
    }
    void shot(const std::string& name)
    {
        char n[16];
        snprintf(n, sizeof n, "%02d-", ++shot_no);
        run_capture("import -window root " + sh_quote(shots + n + name + ".png"));
    }

    // Sums of a rectangle of window `w`, per channel.
    static void sums(const ShownPixels& p, Win w, Rect r, double rgb[3])
    {
        rgb[0] = rgb[1] = rgb[2] = 0;
        for (int y = w.y + r.y0; y < w.y + r.y1; ++y)
            for (int x = w.x + r.x0; x < w.x + r.x1; ++x)
                for (int c = 0; c < 3; ++c)
                    rgb[c] += p.at(x, y)[c];
    }
    static std::vector<unsigned char> cut(const ShownPixels& p, Win w, Rect r)
    {
        std::vector<unsigned char> v;
        for (int y = w.y + r.y0; y < w.y + r.y1; ++y)
            for (int x = w.x + r.x0; x < w.x + r.x1; ++x)
                v.insert(v.end(), p.at(x, y), p.at(x, y) + 3);
        return v;
    }
    // Modal windows clear the whole screen to one colour: the corner with
    // the main screen's preferences button is then flat.
    bool modal_shown()
    {
        const ShownPixels p = screen();
        const unsigned char* ref = p.at(2, 740);
        for (int y = 736; y < 764; ++y)
            for (int x = 0; x < 120; ++x)
                for (int c = 0; c < 3; ++c)
                    if (std::abs(p.at(x, y)[c] - ref[c]) > 2) return false;
        return true;
    }
    bool main_shown() { return !modal_shown(); }
    // A modal window drawn over the backdrop: the screen's middle is not the
    // backdrop colour, as it is before the first frame.
    bool alert_shown()
    {
        if (!modal_shown()) return false;
        const ShownPixels p = screen();
        const unsigned char *ref = p.at(2, 740), *mid = p.at(kResX / 2, kResY / 2);
        for (int c = 0; c < 3; ++c)
            if (std::abs(mid[c] - ref[c]) > 2) return true;
        return false;
    }
    // Pixels of the status message drawn in the failure colour (red).
    int red_status_pixels()
    {
        const ShownPixels p = screen();
        int n = 0;
        for (int y = 590; y < 626; ++y)
            for (int x = 150; x < 925; ++x) {
                const unsigned char* c = p.at(x, y);
                n += c[0] > c[1] + 80 && c[0] > c[2] + 80;
            }
        return n;
    }
    bool status_tells_a_failure() { return red_status_pixels() > 50; }
    bool install_is_green()
    {
        double s[3];
        sums(screen(), {}, {450, 78, 533, 100}, s);
        return s[1] > s[0] * 1.1;
    }
    bool changes(Win w, Rect r, const std::function<void()>& act, double seconds = 20)
    {
        const std::vector<unsigned char> before = cut(screen(), w, r);
        act();
        return poll_until([&] { return cut(screen(), w, r) != before; }, seconds);
    }
    void click(Win w, int x, int y)
    {
        xdo("mousemove --window " + wid + " --sync " + std::to_string(w.x + x) + " " +
            std::to_string(kResY - (w.y + y)) + " click 1");
    }
    void keys(const std::string& what) { xdo("key --window " + wid + " " + what); }
    void type(const std::string& text)
    {
        xdo("type --window " + wid + " --delay 40 " + sh_quote(text));
    }

    // What a start waits for: the main screen, or an alert that may come
    // before the test has seen a frame of the main screen.
    enum class Shows { main_screen, alert };
    void start_program(const std::vector<std::string>& args, Shows first = Shows::main_screen)
    {
        ASSERT_TRUE(app.start(args));
        std::string found;
        ASSERT_TRUE(poll_until(
            [&] {
                found = run_capture("xdotool search --name '^Didozuroz$'").output;
                return !found.empty() && isdigit(static_cast<unsigned char>(found[0]));
            },
            60))
            << testnet::read_file(app.out);
        wid = found.substr(0, found.find('\n'));
        if (first == Shows::alert)
            ASSERT_TRUE(poll_until([&] { return alert_shown(); }, 60)) << app.log();
        else
            ASSERT_TRUE(poll_until([&] { return main_shown(); }, 60));
    }
    // Waits until the lists are read and INSTALL is enabled.
    void wait_for_lists()
    {
        ASSERT_TRUE(poll_until([&] { return install_is_green(); }, 60)) << nginx.ReadAccessLog();
    }
    void quit_and_expect_exit_0()
    {
        click({}, 985, 89);
        ASSERT_TRUE(app.exited(60));
        EXPECT_EQ(app.status, 0) << testnet::read_file(app.out);
    }
    int requests_for(const std::string& what) { return count_of(nginx.ReadAccessLog(), what); }
    // The run's own private temporary folder, as its log names it.
    std::string run_temp_folder()
    {
        const std::string log = app.log();
        const size_t at = log.find("temp_path=");
        if (at == std::string::npos) return "";
        return log.substr(at + 10, log.find('\n', at) - at - 10);
    }
};

inline void write_tree(const std::string& root,
                       const std::vector<std::pair<std::string, std::string>>& files)
{
    ::mkdir(root.c_str(), 0755);
    for (const auto& f : files) {
        const std::string full = root + f.first;
        for (std::size_t k = root.size(); k < full.size(); ++k)
            if (full[k] == '/') ::mkdir(full.substr(0, k).c_str(), 0755);
        ASSERT_TRUE(testnet::write_file(full, f.second)) << full;
    }
}

// A release of one small file on one server, served by nginx from web.
inline void publish_one_file_release(const std::string& web, const std::string& src,
                                     const ReleaseServer& server)
{
    write_tree(src, {{"Resources/readme.txt", "readme\n"}});
    ReleasePlan plan;
    plan.source = src;
    plan.servers = {server};
    std::string err;
    ASSERT_FALSE(make_release(plan, web, &err).empty()) << err;
}

inline std::string noise(std::size_t n)
{
    std::string s(n, '\0');
    unsigned v = 12345;
    for (char& c : s) {
        v = v * 1664525u + 1013904223u;
        c = static_cast<char>(v >> 24);
    }
    return s;
}

// Every shipped file of a release has its listed MD5 below dest.
inline void expect_release_installed(const std::vector<ReleaseEntry>& entries,
                                     const std::string& dest, const std::string& except = "")
{
    for (const ReleaseEntry& e : entries) {
        if (e.sig == "GONE" || e.rel == except) continue;
        EXPECT_EQ(md5_text(testnet::read_file(dest + e.rel)), e.sig) << e.rel;
    }
}

// A test body's start (skipped without nginx): in a private network and
// mount namespace where one can be had (elsewhere on the shared network),
// then under its own Xvfb, with nginx and the copied program ready.
#define WINDOW_RUN_BODY()                                                                          \
    do {                                                                                           \
        if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";                 \
        if (run_in_private_net() == PrivateNet::kRanThere) return;                                 \
        XVFB_TEST_BODY(kXvfbScreen1024);                                                           \
        prepare();                                                                                 \
        if (HasFatalFailure()) return;                                                             \
    } while (0)
