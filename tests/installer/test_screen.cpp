// The main screen's texts and numbers, the proxy-port rule against a real
// nginx, a refused directory list, and the log being current while asking.
#include "engine_fixture.h"

#include <cmath>
#include <limits>

#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp_text.h"
#include "installer/screen.h"
#include "support/release_maker.h"

namespace
{

using ScreenTest = EngineTest;

TEST(TimeLeft, WholeUnitsAndNoNonsense)
{
    const std::string tail = " left in the install, downloading at 100 kilobytes/second with 2 "
                             "simultaneous download streams.";
    // Elapsed 1 s: the rate is the kilobytes done; the total sets the time left.
    const struct {
        float done, total, elapsed;
        const char* want; // nullptr: no line
    } cases[] = {
        {100, 100 + 119 * 100, 1, "About 119 seconds"},
        {100, 100 + 120 * 100, 1, "About 2 minutes"},
        {100, 100 + 7199 * 100, 1, "About 119 minutes"},
        {100, 100 + 7200 * 100, 1, "About 2 hours"},
        {50, 50 + 100 * 50, 0.5f, "About 100 seconds"}, // under 1 s counts as 1 s
        {0, 1000, 5, nullptr},                          // nothing received yet: no rate
        {-0.3f, 1000, 5, nullptr},   // a length not yet known makes the count negative
        {1e-30f, 1e30f, 1, nullptr}, // a time beyond any number of hours
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        std::string line;
        const bool shown = time_left_line(c.done, c.total, c.elapsed, 2, &line);
        if (!c.want) {
            EXPECT_FALSE(shown) << line;
            continue;
        }
        ASSERT_TRUE(shown);
        EXPECT_EQ(line.substr(0, line.find(" left")), c.want);
        if (c.elapsed >= 1) {
            EXPECT_EQ(line.substr(line.find(" left")), tail);
        }
    }
}

TEST(SizeText, DecimalUnits)
{
    std::string s;
    set_size_str(1500, &s);
    EXPECT_EQ(s, "1.5 Meg");
    set_size_str(1000000, &s);
    EXPECT_EQ(s, "1.0 Gig");
}

TEST(ProgressBar, FillIsEvenCentredAndFourWide)
{
    const struct {
        float f;
        int centre, width;
    } cases[] = {{0.5f, 354, 444}, {1.0f, 574, 884}, {0.03f, 146, 28}};
    for (const auto& c : cases) {
        const bar_fill b = progress_fill(c.f);
        EXPECT_EQ(b.centre, c.centre) << c.f;
        EXPECT_EQ(b.width, c.width) << c.f;
    }
}

TEST(DestinationField, EdgesCount)
{
    EXPECT_TRUE(in_destination_field(135, 89));
    EXPECT_TRUE(in_destination_field(435, 79));
    EXPECT_TRUE(in_destination_field(300, 99));
    EXPECT_FALSE(in_destination_field(436, 89));
    EXPECT_FALSE(in_destination_field(300, 100));
}

TEST_F(ScreenTest, StatusFollowsTheState)
{
    EXPECT_EQ(status_message().text, "Looking for servers... you need internet for this...");
    stg.server_count = 0;
    EXPECT_EQ(status_message().colour, kColStatusError);
    stg.server_count = 1;
    EXPECT_NE(status_message().text.find("and I am 0% done checking."), std::string::npos);
    stg.dir_state = kDirBadFormat;
    EXPECT_EQ(status_message().colour, kColStatusError);
    EXPECT_EQ(status_message().text.find("I can not find a version of Zudezud on the net!"), 0u);
    stg.dir_state = kDirReady;
    stg.install_state = kInstalling;
    EXPECT_EQ(status_message().text, "OK I am installing this now...");
    next.all_done = 1;
    EXPECT_EQ(status_message().text, "INSTALLATION COMPLETE!");
}

TEST_F(ScreenTest, TotalsWhileInstallingAndAfter)
{
    stg.dir_state = kDirReady;
    stg.total_disk_kb = 1500;
    stg.total_down_kb = 1000;
    install_name = "9.00r1";
    totals_lines t = totals_block();
    EXPECT_EQ(t.l[0], "You are about to install 1.5 Meg of files to get 9.00r1.");

    stg.install_state = kInstalling;
    stg.status_code = kStatusDownloading;
    stg.file_fraction = -0.01f; // length not yet known
    crnt_file_name = "a.txt.zip";
    t = totals_block();
    EXPECT_EQ(t.l[0], "Downloading and installing a.txt.zip, currently -1% done with that file.");
    EXPECT_EQ(t.l[2], "");

    stg.download_failed = 1;
    crnt_file_path = "/files/a.txt.zip";
    t = totals_block();
    EXPECT_EQ(t.colour, kColFailure);
    EXPECT_EQ(t.l[0], "I can NOT download the file '/files/a.txt.zip'!");
    // Another server only when there is one.
    const struct {
        int servers;
        const char* line;
    } retries[] = {
        {1, "I am trying again now to see if I can still get you a download..."},
        {2, "I am trying another server now to see if I can still get you a download..."},
        {5, "I am trying another server now to see if I can still get you a download..."},
    };
    for (const auto& r : retries) {
        stg.server_count = r.servers;
        EXPECT_EQ(totals_block().l[2], r.line) << r.servers;
    }

    stg.download_failed = 0;
    stg.install_state = kInstallFinished;
    stg.extract_error = 1;
    t = totals_block();
    EXPECT_EQ(t.l[0], "The installation was not completed because an error occurred.");
}

// A refused list shows "can not find a version", logs why, and another
// destination reads it again.
TEST_F(ScreenTest, RefusedListEndsInCanNotFindAndANewDestinationScansAgain)
{
    // A destination so long that the release's path does not fit under it.
    std::string deep = dest;
    while (deep.size() < 480)
        deep += "deeper-folder/";
    dest_dir_path = deep;
    dir_file("FILE 0 0 0 1 1 0123456789abcdef0123456789abcdef Z/Resources/some/long/name.txt\n");
    stg.server_count = 1;
    stg.dir_state = kDirScan;
    scan_phase();
    EXPECT_EQ(stg.dir_state, kDirBadFormat);
    EXPECT_EQ(status_message().colour, kColStatusError);
    EXPECT_EQ(totals_block().l[0], ""); // not "already the latest version"
    EXPECT_NE(TempDir::read(tmp / "Log.txt").find("is too long for this destination"),
              std::string::npos);

    scripted().picked = dest;
    destination_flow();
    EXPECT_EQ(stg.dir_state, kDirScan);
    scan_phase();
    EXPECT_EQ(stg.dir_state, kDirReady);
    EXPECT_EQ(sim_info.size(), 1u);
}

// The "File:" line is in Log.txt when the question opens, unflushed.
TEST_F(ScreenTest, LogIsCurrentWhenTheQuestionOpens)
{
    put("a.txt", "mine\n");
    file_version_struct v;
    v.path = "Z/a.txt";
    v.sig_want = "0123456789abcdef0123456789abcdef";
    v.sig_have = md5_text("mine\n");
    sim_info.push_back(file_history_struct{{v}});
    static std::string seen;
    seen.clear();
    engine_windows_struct windows = engine_windows;
    windows.ask_modified = [](std::string path, int) {
        seen = TempDir::read(path.substr(0, path.find("dest/")) + "Log.txt");
        return static_cast<int>(kAskKeepFile);
    };
    engine_set_windows_hook(windows);
    EXPECT_EQ(choose_files(), 1);
    EXPECT_NE(seen.find("File: " + dest + "a.txt  sig_want="), std::string::npos) << seen;
}

// Proxy ports outside 1..65535 send nothing anywhere and say so.
class ProxyPortTest : public EngineTest
{
  protected:
    testnet::Nginx nginx;
    void SetUp() override
    {
        EngineTest::SetUp();
        if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
        ::mkdir((tmp / "web").c_str(), 0755);
        std::ofstream(tmp / "web/serverlist.txt") << "I\n820 version\nSERVERS\nFINAL r\n";
        ASSERT_TRUE(nginx.Start(tmp / "web/")) << nginx.failure();
        http._proxy_host = "127.0.0.1";
    }
    void try_server_list()
    {
        for (int i = 0; i < 200 && stg.server_count == -1; ++i) {
            slot_failures_clear();
            server_list_phase();
            usleep(1000);
        }
    }
};

TEST_F(ProxyPortTest, PortsOutsideTheRangeFailWithAClearError)
{
    const int p = nginx.port();
    // What the user typed is named, also where it reads as -1.
    const struct {
        std::string text, message;
    } cases[] = {
        {std::to_string(p + 65536),
         "The proxy port " + std::to_string(p + 65536) + " is not a port number (1 to 65535)"},
        {"abc", "The proxy port 'abc' is not a number, so"},
        {"80 80", "The proxy port '80 80' is not a number, so"},
        {"-1", "The proxy port -1 is not a port number (1 to 65535)"},
        {"1234567890", "The proxy port 1234567890 is not a port number (1 to 65535)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        http._proxy_port = c.text;
        prefs_take_port_text();
        try_server_list();
        EXPECT_EQ(stg.server_count, -1);
        EXPECT_EQ(nginx.ReadAccessLog(), "");
        EXPECT_EQ(status_message().colour, kColStatusError);
        EXPECT_EQ(status_message().text.find(c.message), 0u) << status_message().text;
        EXPECT_NE(log_text().find("HTTP failed: The proxy port"), std::string::npos);
    }
    // The same list through the right port.
    http._proxy_port = std::to_string(p);
    prefs_take_port_text();
    EXPECT_EQ(http.ProxyPortError(), "");
    try_server_list();
    EXPECT_EQ(stg.server_count, 0);
    EXPECT_NE(nginx.ReadAccessLog().find("/serverlist.txt"), std::string::npos);
}

TEST(PrefsPortText, EmptyKeepsTheNumber)
{
    http._proxy_port_int = 8080;
    http._proxy_port = "";
    prefs_take_port_text();
    EXPECT_EQ(http._proxy_port_int, 8080);
    http._proxy_port = "3128";
    prefs_take_port_text();
    EXPECT_EQ(http._proxy_port_int, 3128);
    http._proxy_port.clear();
    http._proxy_port_int = 0;
}

TEST(ProgressBox, FractionAndModeLines)
{
    EXPECT_FLOAT_EQ(progress_fraction(3, 3, 3), 0.52f);
    EXPECT_FLOAT_EQ(progress_fraction(0, 0, 100), 0.04f);
    EXPECT_FLOAT_EQ(progress_fraction(0, 50, 100), 0.52f);
    EXPECT_FLOAT_EQ(progress_fraction(0, 200, 100), 1.0f);
    EXPECT_FLOAT_EQ(progress_fraction(0, -5, 100), 0.04f);
    EXPECT_STREQ(progress_mode_line(0), "Currently SCANNING the directory text file.");
    EXPECT_STREQ(progress_mode_line(1), "Currently EXAMINING the hard disk.");
    EXPECT_STREQ(progress_mode_line(7), "");
}

TEST(Licence, EachLineFitsTwoLinesAt400)
{
    for (const char* line : kLicenceLines) {
        int drop = 0;
        const size_t n = OGL_wrap_lines(line, 400, 0, &drop).size();
        EXPECT_GE(n, 1u) << line;
        EXPECT_LE(n, 2u) << line;
    }
}

} // namespace
