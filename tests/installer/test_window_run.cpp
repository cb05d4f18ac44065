// A whole install and a whole update driven through the real window: the
// installer program runs under Xvfb (1024 x 768, no window manager, so its
// window sits at (0, 0)) against nginx on loopback, and the test clicks and
// types with xdotool, waiting for each state by polling what it can see:
// pixels, the log, nginx's access log, folders. Where possible the run is
// inside `unshare --net --mount`: name lookups fail at once and /tmp is
// private. Screenshots of every screen are saved when the test fails.
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
#include "GenH/hl_types.h"
#include "support/frame_driver.h"
#include "support/nginx.h"
#include "support/release_maker.h"
#include "support/script_peer.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{

constexpr const char* kNsMark = "ZUDEZUD_WINDOW_RUN_NS";
constexpr int kResX = 1024, kResY = 768;

std::string sh_quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Polls cond every 20 ms until it holds or the deadline passes.
bool poll_until(const std::function<bool()>& cond, double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        usleep(20000);
    }
}

int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
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
PrivateNet run_in_private_net(const std::string& hosts = "")
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
    std::string setup =
        private_tmp ? "ip link set lo up && mount -t tmpfs tmpfs /tmp" : "ip link set lo up";
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
Win window_at(int id)
{
    const win_spec s = VOVARU_window_spec(id);
    if (!s.known) return {};
    return {static_cast<int>(VOVARU_centre_origin(kResX, s.w, 1)),
            static_cast<int>(VOVARU_centre_origin(kResY, s.h, 1))};
}

// The program as the user starts it, copied into a private folder (its
// Log.txt is written beside it) with a private HOME.
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
        mnw.x_display = display;
        mnw.x_window[0] = DefaultRootWindow(display);
        mnw.res_x = kResX;
        mnw.res_y = kResY;
        ShownPixels p = xvfb_read_shell_window();
        mnw.x_display = nullptr;
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

    void start_program(const std::vector<std::string>& args)
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

void write_tree(const std::string& root,
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
void publish_one_file_release(const std::string& web, const std::string& src,
                              const ReleaseServer& server)
{
    write_tree(src, {{"Resources/readme.txt", "readme\n"}});
    ReleasePlan plan;
    plan.source = src;
    plan.servers = {server};
    std::string err;
    ASSERT_FALSE(make_release(plan, web, &err).empty()) << err;
}

std::string noise(std::size_t n)
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
void expect_release_installed(const std::vector<ReleaseEntry>& entries, const std::string& dest,
                              const std::string& except = "")
{
    for (const ReleaseEntry& e : entries) {
        if (e.sig == "GONE" || e.rel == except) continue;
        EXPECT_EQ(md5_text(testnet::read_file(dest + e.rel)), e.sig) << e.rel;
    }
}

} // namespace

TEST_F(WindowRun, InstallsThenUpdatesThroughTheWindow)
{
    if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
    switch (run_in_private_net()) {
    case PrivateNet::kRanThere:
        return;
    case PrivateNet::kUnavailable:
        std::cout << "unshare --net --mount is not available here: running without a private "
                     "network and /tmp\n";
        break;
    case PrivateNet::kInside:
        break;
    }
    XVFB_TEST_BODY(kXvfbScreen1024);
    prepare();
    if (HasFatalFailure()) return;

    const std::vector<ReleaseServer> servers = {{"files.zudezud.test", "/files/", "Main server"}};
    const std::string src1 = tmp / "src1/", src2 = tmp / "src2/";
    write_tree(src1, {{"Resources/readme.txt", "readme v1\n"},
                      {"Resources/settings.txt", "settings v1\n"},
                      {"Docs/notes.txt", "notes v1\n"},
                      {"Old/dropped.txt", "dropped v1\n"},
                      {"bin/zudezud", std::string(200000, 'z')},
                      {"Aircraft/big.bin", noise(450000)}});
    ReleasePlan plan1;
    plan1.source = src1;
    plan1.servers = servers;
    plan1.platform["bin/zudezud"] = 3; // a Linux program file: the folder is renamed
    std::string err;
    const std::vector<ReleaseEntry> r1 = make_release(plan1, web, &err);
    ASSERT_FALSE(r1.empty()) << err;

    // Run 1: install through the window.
    const std::string inst = tmp / "inst/Zudezud/";
    const std::string renamed = tmp / "inst/9.00r1/";
    start_program({"-path", inst});
    shot("main-before");
    EXPECT_EQ(requests_for("serverlist.txt"), 0); // no proxy yet: nothing reaches nginx

    const Win prefs = window_at(kWinPrefs);
    click({}, 50, 750);
    ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 20));
    shot("preferences");
    ASSERT_TRUE(changes(prefs, {22, 102, 40, 120}, [&] { click(prefs, 30, 110); })); // log actions
    const Rect host_field{85, 34, 300, 50}, port_field{85, 14, 300, 30};
    ASSERT_TRUE(changes(prefs, host_field, [&] { type("127.0.0.1"); }));
    // The port field shows its caret once Tab has moved the focus there.
    ASSERT_TRUE(changes(prefs, port_field, [&] { keys("Tab"); }));
    ASSERT_TRUE(changes(prefs, port_field, [&] { type(std::to_string(nginx.port())); }));
    shot("preferences-filled");
    keys("Return");
    ASSERT_TRUE(poll_until([&] { return main_shown(); }, 20));

    wait_for_lists();
    shot("main-lists-read");
    click({}, 491, 89); // INSTALL
    ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 20));
    shot("licence");
    click(window_at(kWinLicence), 429, 21); // AGREE
    ASSERT_TRUE(poll_until([&] { return main_shown(); }, 20));
    shot("main-installing");
    ASSERT_TRUE(poll_until([&] { return TempDir::exists(renamed) && !TempDir::exists(inst); }, 90))
        << app.log();
    ASSERT_TRUE(poll_until([&] { return requests_for("big.bin.zip") == 1; }, 30));
    shot("main-installed");
    expect_release_installed(r1, renamed);
    quit_and_expect_exit_0();

    const std::string prf = testnet::read_file(app.home + "/.zudezud/Zudezud Installer.prf");
    EXPECT_NE(prf.find("_proxy_host 127.0.0.1\n"), std::string::npos) << prf;
    EXPECT_NE(prf.find("_proxy_port_int " + std::to_string(nginx.port()) + "\n"), std::string::npos)
        << prf;
    EXPECT_NE(prf.find("_dest_dir_path " + renamed + "\n"), std::string::npos) << prf;
    EXPECT_NE(prf.find("_log_actions 1\n"), std::string::npos) << prf;
    const std::string temp = run_temp_folder();
    EXPECT_NE(temp, "") << app.log();
    EXPECT_FALSE(TempDir::exists(temp)) << temp;

    // Run 2: a newer release changes three files and drops one; the user
    // edited two of those and the dropped one.
    write_tree(src2, {{"Resources/readme.txt", "readme v2\n"},
                      {"Resources/settings.txt", "settings v2\n"},
                      {"Docs/notes.txt", "notes v2\n"},
                      {"bin/zudezud", std::string(200000, 'z')},
                      {"Aircraft/big.bin", noise(450000)}});
    ReleasePlan plan2 = plan1;
    plan2.source = src2;
    plan2.name = "9.00r2";
    plan2.gone["Old/dropped.txt"] = "dropped v1\n";
    plan2.older["Docs/notes.txt"] = {"notes v1\n"};
    const std::vector<ReleaseEntry> r2 = make_release(plan2, web, &err);
    ASSERT_FALSE(r2.empty()) << err;
    write_tree(renamed, {{"Resources/readme.txt", "my readme\n"},
                         {"Resources/settings.txt", "my settings\n"},
                         {"Old/dropped.txt", "my dropped\n"}});

    start_program({});
    wait_for_lists();
    click({}, 491, 89);
    ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 20));
    click(window_at(kWinLicence), 429, 21);
    // Each question writes its "File:" line before it opens.
    const Win question = window_at(kWinQuestion);
    for (int asked = 1; asked <= 3; ++asked) {
        std::string log;
        ASSERT_TRUE(poll_until(
            [&] {
                log = app.log();
                return count_of(log, "File: ") == asked && modal_shown();
            },
            30))
            << log;
        const std::string line = log.substr(log.rfind("File: "));
        shot("question-" + std::to_string(asked));
        if (line.find("readme.txt") != std::string::npos)
            click(question, 96, 53); // OVERWRITE THE OLD FILE
        else if (line.find("settings.txt") != std::string::npos)
            click(question, 96, 28); // KEEP THE OLD FILE
        else if (line.find("dropped.txt") != std::string::npos)
            click(question, 96, 53); // DELETE THE OLD FILE
        else
            FAIL() << "asked about " << line;
    }
    ASSERT_TRUE(poll_until(
        [&] {
            return testnet::read_file(renamed + "Docs/notes.txt") == "notes v2\n" &&
                   testnet::read_file(renamed + "Resources/readme.txt") == "readme v2\n" &&
                   !TempDir::exists(renamed + "Old");
        },
        60))
        << app.log();
    ASSERT_TRUE(poll_until([&] { return main_shown(); }, 20));
    shot("main-updated");
    EXPECT_EQ(testnet::read_file(renamed + "Resources/settings.txt"), "my settings\n");
    expect_release_installed(r2, renamed, "Resources/settings.txt");
    EXPECT_EQ(requests_for("/files/9.00r2/Zudezud/Resources/settings.txt.zip"), 0);
    EXPECT_EQ(requests_for("/files/9.00r2/Zudezud/Resources/readme.txt.zip"), 1);
    EXPECT_EQ(requests_for("/files/9.00r2/Zudezud/Old/dropped.txt"), 0);
    quit_and_expect_exit_0();
    EXPECT_EQ(count_of(app.log(), "File: "), 3);
}

// A directory archive that does not unpack is told once: after OK the main
// screen stays usable while the archive is fetched again, quietly, and the
// status message says what is wrong until an archive unpacks.
TEST_F(WindowRun, DirectoryArchiveThatDoesNotUnpackIsAlertedOnce)
{
    if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
    XVFB_TEST_BODY(kXvfbScreen1024);
    prepare();
    if (HasFatalFailure()) return;
    publish_one_file_release(web, tmp / "src/", {"files.zudezud.test", "/files/", "Main server"});
    if (HasFatalFailure()) return;
    const std::string archive = web + "files/9.00r1/directory.txt.zip";
    const std::string good = testnet::read_file(archive);
    ASSERT_TRUE(testnet::write_file(archive, good.substr(0, good.size() / 2)));

    // The proxy is nginx, so nothing leaves the machine.
    start_program({"-path", tmp / "inst/", "--pref:_proxy_host=127.0.0.1",
                   "--pref:_proxy_port_int=" + std::to_string(nginx.port())});
    const char* const kAlert = "DIR-scan: The installer cannot extract a file.";
    ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 60)) << app.log();
    shot("alert");
    keys("Return"); // OK; the alert is logged once it is closed
    ASSERT_TRUE(poll_until([&] { return main_shown() && count_of(app.log(), kAlert) == 1; }, 20))
        << app.log();

    // Fetched again and again, and the main screen stays.
    const int before = requests_for("directory.txt.zip");
    ASSERT_TRUE(poll_until(
        [&] {
            EXPECT_TRUE(main_shown());
            return requests_for("directory.txt.zip") >= before + 3 || HasFailure();
        },
        30));
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(count_of(app.log(), kAlert), 1);
    ASSERT_TRUE(poll_until([&] { return status_tells_a_failure(); }, 5));
    shot("main-archive-does-not-unpack");

    // The other buttons work meanwhile.
    click({}, 50, 750); // preferences
    ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 20));
    keys("Return");
    ASSERT_TRUE(poll_until([&] { return main_shown(); }, 20));
    click({}, 73, 89); // DESTINATION
    ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 20));
    shot("picker");
    click(window_at(kWinPicker), 35, 28); // Cancel
    ASSERT_TRUE(poll_until([&] { return main_shown(); }, 20));

    // An archive that unpacks clears the message.
    ASSERT_TRUE(testnet::write_file(archive, good));
    wait_for_lists();
    EXPECT_FALSE(status_tells_a_failure());
    shot("main-lists-read");
    quit_and_expect_exit_0();
    EXPECT_EQ(count_of(app.log(), kAlert), 1);
}

// A server list that cannot be fetched: the screen says why within seconds,
// and the log holds one error block and a count of the repeats.
TEST_F(WindowRun, UnreachableServerListIsToldOnceOnScreenAndInTheLog)
{
    // Without a private network the maker's name would be looked up for real.
    NEEDS_PRIVATE_NET();
    if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
    XVFB_TEST_BODY(kXvfbScreen1024);
    prepare();
    if (HasFatalFailure()) return;

    const int closed = testnet::free_port(); // nothing listens there
    testnet::ScriptPeer silent;              // accepts, and never answers
    ASSERT_TRUE(silent.Listen());
    const std::string proxy = "--pref:_proxy_host=127.0.0.1";
    struct {
        const char* name;
        std::vector<std::string> args;
        std::string reason; // the log's reason line; "" when nothing fails in the run
    } runs[] = {
        {"lookup", {}, "the name lookup failed"},
        {"refused",
         {proxy, "--pref:_proxy_port_int=" + std::to_string(closed)},
         "the connection to the proxy 127.0.0.1 port " + std::to_string(closed) + " was refused"},
        {"silent", {proxy, "--pref:_proxy_port_int=" + std::to_string(silent.port())}, ""},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.name);
        std::vector<std::string> args = {"-path", tmp / "inst/"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        start_program(args);
        const auto shown = std::chrono::steady_clock::now();
        ASSERT_TRUE(poll_until([&] { return status_tells_a_failure(); }, 10));
        EXPECT_LT(std::chrono::steady_clock::now() - shown, std::chrono::seconds(5));
        shot(std::string("main-") + r.name);
        sleep(4); // a few more tries
        quit_and_expect_exit_0();
        const std::string log = app.log();
        const std::string tail = log.substr(log.find("temp_path="));
        if (r.reason.empty()) {
            EXPECT_EQ(count_of(tail, "HTTP Error for "), 0) << tail;
            continue;
        }
        EXPECT_EQ(count_of(tail, "HTTP Error for "), 1) << tail;
        EXPECT_EQ(count_of(tail, "HTTP failed: " + r.reason + "\n"), 1) << tail;
        EXPECT_LE(count_of(tail, "Translated server "), 1) << tail;
        // The repeats of this run as one line, written at the end.
        const std::string more = "more times on slot 0 for the same reason: " + r.reason + "\n";
        EXPECT_EQ(count_of(tail, more), 1) << tail;
        EXPECT_LT(tail.size(), 2000u) << tail;
    }
}

// The directory archive's server cannot be reached, while the maker's
// server answers: the same for slot 1.
TEST_F(WindowRun, UnreachableDirectoryServerIsToldOnScreen)
{
    // The maker's name leads to nginx on 127.0.0.1:80; the file server
    // 127.0.0.2 has nothing on port 80.
    NEEDS_PRIVATE_NET("127.0.0.1 localhost\n127.0.0.1 www.zudezud.example\n");
    if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
    XVFB_TEST_BODY(kXvfbScreen1024);
    prepare(true);
    if (HasFatalFailure()) return;
    publish_one_file_release(web, tmp / "src/", {"127.0.0.2", "/files/", "Dead server"});
    if (HasFatalFailure()) return;

    start_program({"-path", tmp / "inst/"});
    ASSERT_TRUE(poll_until([&] { return requests_for("serverlist.txt") == 1; }, 30));
    ASSERT_TRUE(poll_until([&] { return status_tells_a_failure(); }, 5));
    shot("main-directory-server-refused");
    sleep(3);
    quit_and_expect_exit_0();
    const std::string log = app.log();
    const std::string tail = log.substr(log.find("temp_path="));
    const std::string reason = "the connection was refused";
    EXPECT_EQ(count_of(tail, "HTTP Error for "), 1) << tail;
    EXPECT_EQ(count_of(tail, "HTTP failed: " + reason + "\n"), 1) << tail;
    EXPECT_EQ(count_of(tail, "more times on slot 1 for the same reason: " + reason + "\n"), 1)
        << tail;
}
