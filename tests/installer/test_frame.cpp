#include "engine_fixture.h"

#include <unistd.h>

#include "Files/io_utils.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp_text.h"
#include "UTL/UTL_time.h"
#include "installer/screen.h"
#include "support/release_maker.h"
#include "support/script_peer.h"
#include "support/text.h"

namespace
{

using FrameTest = EngineTest;

TEST_F(FrameTest, DestinationFlowRescansAndResets)
{
    stg.dir_state = kDirReady;
    stg.install_state = kInstallFinished;
    stg.extract_error = 1;
    next.file_cursor = 5;
    destination_flow(); // cancelled picker: nothing changes
    EXPECT_EQ(stg.dir_state, kDirReady);
    EXPECT_EQ(next.file_cursor, 5);

    scripted().picked = tmp / "other/";
    destination_flow();
    EXPECT_EQ(dest_dir_path, tmp / "other/Zudezud/");
    EXPECT_EQ(stg.dir_state, kDirScan);
    EXPECT_EQ(stg.install_state, kInstallIdle);
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(next.file_cursor, 0);

    // Not while installing.
    stg.install_state = kInstalling;
    scripted().picked = tmp / "third/";
    destination_flow();
    EXPECT_EQ(dest_dir_path, tmp / "other/Zudezud/");
}

TEST_F(FrameTest, InstallFlowNeedsReadyDirectoryAndHonoursCancel)
{
    install_flow(); // directory not ready: nothing happens
    EXPECT_EQ(scripted().eula_calls, 0);
    EXPECT_FALSE(TempDir::exists(dest + "Output"));

    file_version_struct v;
    v.path = "Z/a.txt";
    v.sig_want = "s";
    v.sig_have = "changed";
    sim_info.push_back(file_history_struct{{v}});
    stg.dir_state = kDirReady;
    scripted().answers = {kAskCancelAll};
    install_flow();
    EXPECT_EQ(scripted().eula_calls, 1);
    EXPECT_EQ(stg.install_state, kInstallIdle);
    EXPECT_TRUE(TempDir::exists(dest + "Output/FMS plans"));

    scripted().answers = {kAskActOnFile};
    install_flow();
    EXPECT_EQ(stg.install_state, kInstalling);
    EXPECT_EQ(sim_info[0].versions[0].download, 1);
}

TEST_F(FrameTest, QuitEndsTheRun)
{
    stg.install_state = kInstalling;
    quit_flow();
    EXPECT_EQ(stg.install_state, kInstallFinished);
    EXPECT_EQ(app_done, 1);
}

TEST_F(FrameTest, PumpEndsTheInstallationAndResets)
{
    stg.install_state = kInstalling;
    next.reset_all_streams();
    download_pump(); // an empty list is complete at once
    EXPECT_EQ(stg.install_state, kInstallFinished);
    EXPECT_EQ(next.all_done, 1);
    EXPECT_EQ(next.stream_active[0], 1); // reset again for the next run
}

// The steps of a frame run in their order: a folder picked in a frame is
// scanned in that frame, and an installation started in a frame gets its
// download passes in that frame.
TEST_F(FrameTest, PressesActInTheFrameTheyAreMadeIn)
{
    dir_file(""); // a list of nothing: scanned and installed at once
    stg.server_count = 1;
    stg.dir_state = kDirReady;
    scripted().picked = tmp / "other/";
    ::mkdir((tmp / "other").c_str(), 0755);
    ::mkdir((tmp / "other/Zudezud").c_str(), 0755);
    frame_screen pressed = kNoScreen;
    pressed.destination = [] { return 1; };
    run_frame(pressed);
    EXPECT_EQ(dest_dir_path, tmp / "other/Zudezud/");
    EXPECT_EQ(stg.dir_state, kDirReady);
    EXPECT_EQ(dest_lock_held(), tmp / "other/Zudezud/");

    pressed = kNoScreen;
    pressed.install_button = [] { return 1; };
    run_frame(pressed);
    EXPECT_EQ(scripted().eula_calls, 1);
    EXPECT_EQ(stg.install_state, kInstallFinished);
    EXPECT_EQ(next.all_done, 1);

    pressed = kNoScreen;
    pressed.quit_button = [] { return 1; };
    run_frame(pressed);
    EXPECT_EQ(app_done, 1);
}

TEST_F(FrameTest, SystemFolderLog)
{
    std::string old_home = getenv("HOME") ? getenv("HOME") : "";
    std::string home = tmp / "home";
    setenv("HOME", home.c_str(), 1);
    log_system_folders();
    setenv("HOME", old_home.c_str(), 1);
    std::string log = log_text();
    EXPECT_NE(log.find("os_dir_default_apps\t=" + home + "/\n"), std::string::npos);
    EXPECT_NE(log.find("os_dir_temp\t\t\t=/tmp/\n"), std::string::npos);
    EXPECT_NE(log.find("os_dir_prefs\t\t\t=" + home + "/.zudezud/\n\n"), std::string::npos);
    EXPECT_EQ(log.find("os_dir_this_app\t\t="), 0u);
}

// The maker's server, played by a scripted peer reached as the proxy.
class FrameNetTest : public EngineTest
{
  protected:
    testnet::ScriptPeer peer;
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(peer.Listen());
        http._proxy_host = "127.0.0.1";
        http._proxy_port_int = peer.port();
    }
    // The server list of one server, "files.test".
    const std::string one_server =
        "I\n820 version\nSERVERS\nFINAL r\nSERVER files.test\n/p/\nMain\n";
    // Answers one request of the frame with body (or a 404) and closes.
    void serve(const std::string& body, bool found = true)
    {
        auto frame = [] { engine_frame(); };
        ASSERT_TRUE(peer.Accept(frame));
        ASSERT_TRUE(peer.ReadRequest(frame));
        std::string head = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
        ASSERT_TRUE(peer.Send(head + "Content-Length: " + std::to_string(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body,
                              frame));
        peer.CloseConnection();
    }
    // Frames until pred holds (bounded).
    template <class P> bool frames_until(P pred)
    {
        for (int i = 0; i < 20000; ++i) {
            if (pred()) return true;
            engine_frame();
            usleep(200);
        }
        return pred();
    }
};

// Each step decides itself whether it is due; in any other state it does
// nothing, so every frame calls them all.
TEST_F(FrameNetTest, StepsThatAreNotDueDoNothing)
{
    dir_file(""); // a list the scan could read
    struct {
        const char* what;
        int servers, dir_state;
        void (*step)();
    } rows[] = {
        {"server list once read", 1, kDirFetch, server_list_phase},
        {"directory list without servers", 0, kDirFetch, directory_phase},
        {"directory list once unpacked", 1, kDirReady, directory_phase},
        {"scan before the list", 1, kDirFetch, scan_phase},
        {"scan once done", 1, kDirReady, scan_phase},
    };
    for (const auto& r : rows) {
        stg.server_count = r.servers;
        stg.dir_state = r.dir_state;
        r.step();
        EXPECT_EQ(stg.server_count, r.servers) << r.what;
        EXPECT_EQ(stg.dir_state, r.dir_state) << r.what;
        EXPECT_FALSE(dir_scan_running()) << r.what;
        for (int slot = 0; slot < kNetSlots; ++slot)
            EXPECT_EQ(http.slot[slot], nullptr) << r.what << ", slot " << slot;
    }
    EXPECT_EQ(dest_lock_held(), "");
}

// The window waits longer for input only while nothing is under way: a
// request in flight, a scan due or running, an installation.
TEST_F(FrameNetTest, QuietOnlyWhenNothingIsUnderWay)
{
    // The server list asked for, the request open.
    ASSERT_TRUE(peer.Accept([] { engine_frame(); }));
    ASSERT_NE(http.slot[kNetSlotServerList], nullptr);
    EXPECT_EQ(engine_quiet(), 0) << "request in flight";
    peer.CloseConnection();
    ASSERT_TRUE(frames_until([] { return http.slot[kNetSlotServerList] == nullptr; }));
    EXPECT_EQ(engine_quiet(), 1) << "failed request waiting for its retry";

    struct {
        const char* what;
        int dir_state, busy, install_state, quiet;
    } rows[] = {
        {"scan due", kDirScan, 0, kInstallIdle, 0},
        {"scan waiting for another installer", kDirScan, 1, kInstallIdle, 1},
        {"list ready, waiting for INSTALL", kDirReady, 0, kInstallIdle, 1},
        {"installing", kDirReady, 0, kInstalling, 0},
        {"installation finished", kDirReady, 0, kInstallFinished, 1},
    };
    for (const auto& r : rows) {
        stg.dir_state = r.dir_state;
        dest_busy = r.busy;
        stg.install_state = r.install_state;
        EXPECT_EQ(engine_quiet(), r.quiet) << r.what;
    }
    dest_busy = 0;
    stg.install_state = kInstallIdle;
}

TEST_F(FrameNetTest, ServerListWithTooNewFormatEndsTheProgram)
{
    AlertProbe probe;
    serve("I\n821 version\nSERVERS\nFINAL r\nSERVER h\n/p/\nd\n");
    EXPECT_NE(peer.request().find("GET http://" + maker_host + "/serverlist.txt HTTP/1.1\r\n"),
              std::string::npos);
    ASSERT_TRUE(frames_until([] { return app_done != 0; }));
    EXPECT_EQ(stg.server_count, -1);
    EXPECT_EQ(stg.install_state, kInstallFinished);
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().lines[3], temp_path + "serverlist.txt");
    EXPECT_EQ(probe.last().source_line, 141);
}

TEST_F(FrameNetTest, ServerListWithoutServersStopsThere)
{
    serve("I\n820 version\nSERVERS\nFINAL 9.00r1\nBETA 9.10b1\n");
    ASSERT_TRUE(frames_until([] { return stg.server_count != -1; }));
    EXPECT_EQ(stg.server_count, 0);
    EXPECT_EQ(stg.chosen_server, -1);
    EXPECT_EQ(install_name, "9.00r1");
    EXPECT_TRUE(TempDir::exists(temp_path + "serverlist.txt")); // left in place
    // No directory request follows.
    EXPECT_FALSE(peer.Accept([] { engine_frame(); }, 300));
    EXPECT_EQ(http.slot[kNetSlotDirectory], nullptr);
    EXPECT_EQ(stg.dir_state, kDirFetch);
}

// A server whose name would break the request line is skipped with a log
// line; the list's other servers serve, and nothing of that name reaches
// the proxy.
TEST_F(FrameNetTest, ServerWithGarbageNameIsSkipped)
{
    serve("I\n820 version\nSERVERS\nFINAL r\nSERVER %%garbage host%%\n/p/\nBad\n"
          "SERVER files.test\n/p/\nMain\nSERVER %%garbage host%%\n/q/\nBad\n"
          "SERVER more.test\n/p/\nOther\n");
    ASSERT_TRUE(frames_until([] { return stg.server_count != -1; }));
    EXPECT_EQ(stg.server_count, 2);
    EXPECT_EQ(server_name[0], "files.test");
    EXPECT_EQ(server_name[1], "more.test");
    EXPECT_EQ(count_of(log_text(), "Server list: skipping a server record with host '%%garbage "
                                   "host%%'"),
              2)
        << log_text();
    // The directory list is asked of a good server.
    auto frame = [] { engine_frame(); };
    ASSERT_TRUE(peer.Accept(frame));
    ASSERT_TRUE(peer.ReadRequest(frame));
    // (The peer keeps every request of the run.)
    const std::string server = server_name[stg.chosen_server];
    EXPECT_NE(peer.request().find("\r\n\r\nGET http://" + server +
                                  "/p/r/directory.txt.zip HTTP/1.1\r\nCache-Control: no-cache\r\n"
                                  "Connection: close\r\nHost: " +
                                  server + "\r\n"),
              std::string::npos)
        << peer.request();
    EXPECT_EQ(peer.request().find("garbage"), std::string::npos) << peer.request();
}

TEST_F(FrameNetTest, FailedServerListRetriedAtMostOncePerSecond)
{
    FakeClock clock;
    serve("", false);
    ASSERT_TRUE(frames_until([] { return http.slot[kNetSlotServerList] == nullptr; }));
    EXPECT_EQ(stg.server_count, -1);
    // The clock stands still: however many frames run, no new request.
    EXPECT_FALSE(peer.Accept([] { engine_frame(); }, 300));
    // The quiet window's long wait is cut to the retry's time.
    EXPECT_EQ(engine_quiet(), 1);
    EXPECT_EQ(engine_due_us(), 1000000);
    clock.advance(0.4);
    EXPECT_EQ(engine_due_us(), 600000);
    clock.advance(0.6);
    serve("I\n820 version\nSERVERS\nFINAL r\nSERVER files.test\n/p/\nMain\n");
    ASSERT_TRUE(frames_until([] { return stg.server_count != -1; }));
    EXPECT_EQ(stg.server_count, 1);
    EXPECT_EQ(stg.chosen_server, 0);
    EXPECT_EQ(server_path[0], "/p/r/");
    EXPECT_EQ(engine_due_us(), -1); // the retry is over
}

TEST_F(FrameNetTest, DirectoryArchiveThatDoesNotUnpackIsAlertedOnce)
{
    FakeClock clock;
    AlertProbe probe;
    serve(one_server);
    ASSERT_TRUE(frames_until([] { return stg.server_count == 1; }));
    const std::string archive = tmp / "directory.txt.zip";
    ASSERT_TRUE(
        write_one_entry_zip(archive, "directory.txt", "I\n900 version\nINSTALLER\n", S_IFREG, 0));
    const std::string good = TempDir::read(archive);
    const std::string cut = good.substr(0, good.size() / 2); // as a broken transfer leaves it
    std::string junk = good;
    junk[junk.size() / 3] ^= 0x55; // the entry's data no longer matches its checksum

    // The lines the extraction writes when it fails.
    auto zip_lines = [this] { return count_of(log_text(), "Zip to file failed"); };
    serve(cut);
    ASSERT_TRUE(frames_until([] { return list_fetch.unpack_error != 0; }));
    const int first = list_fetch.unpack_error;
    ASSERT_EQ(probe.count(), 1u);
    const int lines_once = zip_lines();
    EXPECT_GE(lines_once, 1);
    EXPECT_EQ(probe.last().lines[0], "DIR-scan: The installer cannot extract a file.");
    screen_line shown = status_message();
    EXPECT_EQ(shown.colour, kColFailure);
    EXPECT_NE(shown.text.find(unpack_failure_text(first, "files.test")), std::string::npos)
        << shown.text;
    EXPECT_EQ(unpack_failure_text(first, "files.test"),
              "The directory of files from files.test does not unpack. Error: " + error_str(first) +
                  ". Trying again...");

    // The same failure again is quiet; the retry waits a second.
    EXPECT_FALSE(peer.Accept([] { engine_frame(); }, 300));
    clock.advance(1.0);
    serve(cut);
    ASSERT_TRUE(frames_until([] {
        return http.slot[kNetSlotDirectory] == nullptr && slot_may_start(kNetSlotDirectory) == 0;
    }));
    EXPECT_EQ(probe.count(), 1u);
    EXPECT_EQ(stg.dir_state, kDirFetch);
    EXPECT_EQ(zip_lines(), lines_once) << "the log grows with every retry";

    // Another reason is told once too.
    clock.advance(1.0);
    serve(junk);
    ASSERT_TRUE(frames_until([&] { return list_fetch.unpack_error != first; }));
    EXPECT_EQ(probe.count(), 2u);
    EXPECT_GT(zip_lines(), lines_once);

    // A later success clears the message.
    clock.advance(1.0);
    serve(good);
    ASSERT_TRUE(frames_until([] { return stg.dir_state == kDirReady; }));
    EXPECT_EQ(list_fetch.unpack_error, 0);
    EXPECT_EQ(probe.count(), 2u);
}

TEST_F(FrameNetTest, ListFailuresAreToldOnTheScreen)
{
    const std::string base = "Looking for servers... you need internet for this...";
    EXPECT_EQ(status_message().text, base);
    EXPECT_EQ(status_message().colour, kColText);

    // A silent server: told once it has said nothing for a few seconds.
    xtim.real_secs = 100;
    auto frame = [] { engine_frame(); };
    ASSERT_TRUE(peer.Accept(frame));
    ASSERT_TRUE(peer.ReadRequest(frame));
    xtim.real_secs = 102;
    engine_frame();
    EXPECT_EQ(status_message().text, base);
    xtim.real_secs = 104;
    engine_frame();
    const std::string proxy = "127.0.0.1 port " + std::to_string(peer.port());
    EXPECT_EQ(status_message().text, base + " I have had no answer from " + maker_host +
                                         " through the proxy " + proxy +
                                         " for 4 seconds. Still waiting...");
    EXPECT_EQ(status_message().colour, kColFailure);

    // A failure: its reason until the next success.
    peer.ResetConnection();
    ASSERT_TRUE(frames_until([] { return http.slot[kNetSlotServerList] == nullptr; }));
    const std::string refused = base + " I can not reach " + maker_host +
                                ": the connection to the proxy " + proxy +
                                " was reset. Trying again...";
    EXPECT_EQ(status_message().text, refused);
    xtim.real_secs = 200; // the slot is free: nothing waits
    EXPECT_EQ(status_message().text, refused);

    // The directory's server: the same, after its own message.
    slot_failures_clear();
    serve(one_server);
    ASSERT_TRUE(frames_until([] { return stg.server_count == 1; }));
    serve("no such file", false);
    ASSERT_TRUE(frames_until([] { return !http.LastFailure(kNetSlotDirectory).reason.empty(); }));
    // Between tries slot 1 is free, so its progress reads 0 %.
    EXPECT_EQ(
        status_message().text,
        "I am checking the net for the latest version of Zudezud right now, and I am 0% done "
        "checking. I "
        "got no usable reply from files.test: the server answered 404 Not Found. Trying again...");
}

TEST(StatusTexts, NetProblems)
{
    net_failure_struct f;
    EXPECT_EQ(net_failure_text(f), "");
    f.reason = "the name lookup failed";
    f.server = "zudezud.example";
    EXPECT_EQ(net_failure_text(f),
              "I can not reach zudezud.example: the name lookup failed. Trying again...");
    f.reached = true;
    f.reason = "the server answered 503 Service Unavailable";
    EXPECT_EQ(net_failure_text(f), "I got no usable reply from zudezud.example: the server "
                                   "answered 503 Service Unavailable. Trying "
                                   "again...");
    struct {
        net_wait_struct w;
        const char* text;
    } waits[] = {
        {{7.9f, "zudezud.example", "", true},
         "I have had no answer from zudezud.example for 7 seconds (not connected yet). Still "
         "waiting..."},
        {{12, "zudezud.example", "proxy.lan port 3128", false},
         "I have had no answer from zudezud.example through the proxy proxy.lan port 3128 for 12 "
         "seconds. Still "
         "waiting..."},
    };
    for (const auto& c : waits)
        EXPECT_EQ(net_wait_text(c.w), c.text);
}

TEST(StatusTexts, ListProblemsFitTheReleasePanel)
{
    // The status message wraps at 700 units from x 154; two lines fit in the
    // panel (its right edge is at x 925). Typical long names and the longest
    // reasons, after the longest message of each phase.
    const std::string servers = "Looking for servers... you need internet for this...";
    const std::string directory =
        "I am checking the net for the latest version of Zudezud right now, and "
        "I am connecting to the server...";
    const std::string proxy = "proxy.example.lan port 3128";
    const std::vector<std::string> texts = {
        servers + " " +
            net_failure_text(
                {"the name lookup of the proxy " + proxy + " failed", "www.zudezud.example"}),
        servers + " " + net_wait_text({12, "www.zudezud.example", proxy, true}),
        directory + " " +
            net_failure_text(
                {"the connection to the proxy " + proxy + " got no answer within 30 seconds",
                 "files.zudezud.example"}),
        directory + " " + net_wait_text({12, "files.zudezud.example", proxy, true}),
        directory + " " + unpack_failure_text(kErrZipOpen, "files.zudezud.example"),
    };
    for (const std::string& t : texts) {
        const std::vector<text_line> lines = OGL_wrap_lines(t, 700, 0, nullptr);
        EXPECT_LE(lines.size(), 2u) << t;
        for (const text_line& l : lines)
            EXPECT_LE(154 + OGL_text_width(l.text), 925) << l.text;
    }
}

} // namespace
