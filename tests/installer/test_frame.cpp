#include "engine_fixture.h"

#include <unistd.h>

#include "support/script_peer.h"

namespace {

using FrameTest = EngineTest;

TEST_F(FrameTest, DestinationFlowRescansAndResets)
{
    stg.dir_state = kDirReady;
    stg.install_state = kInstallFinished;
    stg.extract_error = 1;
    next.file_cursor = 5;
    destination_flow();  // cancelled picker: nothing changes
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
    install_flow();  // directory not ready: nothing happens
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
    download_pump();  // an empty list is complete at once
    EXPECT_EQ(stg.install_state, kInstallFinished);
    EXPECT_EQ(next.all_done, 1);
    EXPECT_EQ(next.stream_active[0], 1);  // reset again for the next run
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
class FrameNetTest : public EngineTest {
protected:
    testnet::ScriptPeer peer;
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(peer.Listen());
        http._proxy_host = "127.0.0.1";
        http._proxy_port_int = peer.port();
    }
    // Answers one request of the frame with body (or a 404) and closes.
    void serve(const std::string& body, bool found = true)
    {
        auto frame = [] { engine_frame(); };
        ASSERT_TRUE(peer.Accept(frame));
        ASSERT_TRUE(peer.ReadRequest(frame));
        std::string head = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
        ASSERT_TRUE(peer.Send(head + "Content-Length: " + std::to_string(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body, frame));
        peer.CloseConnection();
    }
    // Frames until pred holds (bounded).
    template <class P>
    bool frames_until(P pred)
    {
        for (int i = 0; i < 20000; ++i) {
            if (pred()) return true;
            engine_frame();
            usleep(200);
        }
        return pred();
    }
};

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
    EXPECT_TRUE(TempDir::exists(temp_path + "serverlist.txt"));  // left in place
    // No directory request follows.
    EXPECT_FALSE(peer.Accept([] { engine_frame(); }, 300));
    EXPECT_EQ(http.slot[kNetSlotDirectory], nullptr);
    EXPECT_EQ(stg.dir_state, kDirFetch);
}

TEST_F(FrameNetTest, FailedServerListRetriedAtMostOncePerSecond)
{
    FakeClock clock;
    serve("", false);
    ASSERT_TRUE(frames_until([] { return http.slot[kNetSlotServerList] == nullptr; }));
    EXPECT_EQ(stg.server_count, -1);
    // The clock stands still: however many frames run, no new request.
    EXPECT_FALSE(peer.Accept([] { engine_frame(); }, 300));
    clock.advance(1.0);
    serve("I\n820 version\nSERVERS\nFINAL r\nSERVER files.test\n/p/\nMain\n");
    ASSERT_TRUE(frames_until([] { return stg.server_count != -1; }));
    EXPECT_EQ(stg.server_count, 1);
    EXPECT_EQ(stg.chosen_server, 0);
    EXPECT_EQ(server_path[0], "/p/r/");
}

}  // namespace
