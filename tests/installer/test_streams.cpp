#include "engine_fixture.h"

#include <unistd.h>

#include <cstdlib>

#include "OOPS_cpp/http.h"
#include "support/script_peer.h"

namespace
{

class StreamsTest : public EngineTest
{
  protected:
    void add(const std::string& path, int download, int nuke, int have = 0)
    {
        file_version_struct v;
        v.path = path;
        v.sig_want = "s";
        v.download = download;
        v.nuke = nuke;
        v.have = have;
        sim_info.push_back(file_history_struct{{v}});
    }
    int passes_until_done(int limit = 1000)
    {
        for (int n = 1; n <= limit; ++n)
            if (grab_files()) return n;
        return -1;
    }
};

TEST_F(StreamsTest, WantedStreams)
{
    struct {
        float rate;
        int count, want;
    } cases[] = {{0, 0, 2},   {50, 0, 2},  {50.1f, 0, 4}, {100.5f, 0, 6}, {151, 0, 8},
                 {201, 0, 9}, {500, 1, 1}, {0, 4, 4},     {0, 7, 7},      {300, -2, 9}};
    for (const auto& c : cases)
        EXPECT_EQ(wanted_streams(c.rate, c.count), c.want) << c.rate << " " << c.count;
}

// While a worker extracts, a stream's downloads wait under its other names:
// name 0 only when it holds none (the worker extracts every archive under
// it), and only while the waiting archives leave room, whatever their sizes.
TEST_F(StreamsTest, ArchiveNameForTheNextDownload)
{
    const int all = (1 << kArchiveNames) - 1;
    struct {
        int held;
        float waiting_kb, kb;
        int name;
    } cases[] = {
        {0, 0, 1, 0},
        {0, kWaitingKb * 4, kWaitingKb * 2, 0}, // one huge archive: the stream goes on
        {1, 100, 100, 1},
        {0b1011, 300, 100, 2},
        {0b10, 100, 100, 2}, // name 0 waits for the one under name 1
        {all, 0, 1, -1},
        {all & ~1, 0, 1, -1},
        {1, kWaitingKb - 100, 99, 1},
        {1, kWaitingKb - 100, 100, -1},
        {1, 100, kWaitingKb, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(archive_name_for(c.held, c.waiting_kb, c.kb), c.name)
            << c.held << " " << c.waiting_kb << " " << c.kb;
}

TEST_F(StreamsTest, EmptyListCompletesAtFirstPass)
{
    next.reset_all_streams();
    EXPECT_EQ(grab_files(), 1);
    EXPECT_EQ(next.all_done, 1);
}

TEST_F(StreamsTest, WalksListDeletingAndPassingOver)
{
    put("a/b/c.txt", "x");
    put("a/d.txt", "y");
    put("top.txt", "z");
    stg._log_actions = 1;
    add("Z/a/b/c.txt", 0, 1);
    add("Z/keep.txt", 0, 0, 1);
    add("Z/a/d.txt", 0, 1);
    add("Z/top.txt", 0, 1);
    next.reset_all_streams();
    EXPECT_GT(passes_until_done(), 0);
    EXPECT_FALSE(TempDir::exists(dest + "a/b/c.txt"));
    EXPECT_FALSE(TempDir::exists(dest + "top.txt"));
    // Emptied folders recorded and removed, inner first; the destination stays.
    EXPECT_EQ(deleted_files, (std::set<std::string>{dest + "a/", dest + "a/b/"}));
    EXPECT_FALSE(TempDir::exists(dest + "a"));
    EXPECT_TRUE(TempDir::exists(dest));
    std::string log = log_text();
    EXPECT_NE(log.find("now we want to nuke a file: DELETING  file " + dest +
                       "top.txt, with result=0.\n"),
              std::string::npos);
    EXPECT_LT(log.find("cleanup: DELETING  file " + dest + "a/b/, with result=0."),
              log.find("cleanup: DELETING  file " + dest + "a/, with result=0."));
}

TEST_F(StreamsTest, StreamRuleWithFixedCounts)
{
    for (int i = 0; i < 8; ++i)
        add("Z/f" + std::to_string(i), 0, 0);
    stg._stream_count = 1;
    next.reset_all_streams();
    grab_files();
    // Stream 0 finished an entry with two active and one wanted: it stopped.
    EXPECT_EQ(next.stream_active[0], 0);
    EXPECT_EQ(next.stream_active[1], 1);

    SetUp();
    for (int i = 0; i < 8; ++i)
        add("Z/f" + std::to_string(i), 0, 0);
    stg._stream_count = 4;
    next.reset_all_streams();
    grab_files();
    // Each finished entry switched one more on; stream 2 and 3 took entries
    // in the same pass, since they come after the stream that woke them.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(next.stream_active[i], 1) << i;
    EXPECT_EQ(next.file_cursor, 4);
    EXPECT_EQ(passes_until_done(), 2);
}

TEST_F(StreamsTest, NegativeStreamCountStillFinishesEveryEntry)
{
    put("x", "1");
    for (int i = 0; i < 5; ++i)
        add("Z/f" + std::to_string(i), 0, 0);
    add("Z/x", 0, 1);
    stg._stream_count = -3;
    next.reset_all_streams();
    EXPECT_GT(passes_until_done(), 0);
    EXPECT_FALSE(TempDir::exists(dest + "x"));
}

TEST_F(StreamsTest, ResetCancelsRunningTransfers)
{
    // A proxy that accepts and never answers keeps the transfer running.
    testnet::ScriptPeer peer;
    ASSERT_TRUE(peer.Listen());
    http._proxy_host = "127.0.0.1";
    http._proxy_port_int = peer.port();
    stg.server_count = 1;
    server_name[0] = "files.test";
    server_path[0] = "/files/r/";
    add("Z/big.bin", 1, 0);
    next.reset_all_streams();
    auto pump = [] { grab_files(); };
    ASSERT_TRUE(peer.Accept(pump));
    ASSERT_TRUE(peer.ReadRequest(pump));
    EXPECT_NE(peer.request().find("/files/r/Z/big.bin.zip"), std::string::npos);
    ASSERT_NE(http.slot[kNetSlotFirstStream], nullptr);

    next.reset_all_streams();
    EXPECT_EQ(http.slot[kNetSlotFirstStream], nullptr);
    EXPECT_FALSE(TempDir::exists(stream_archive(0)));
    EXPECT_TRUE(peer.WaitClosed(nullptr));
}

TEST_F(StreamsTest, FailedTransferRetriedAtMostOncePerSecond)
{
    FakeClock clock;
    // Nothing listens on this port: every request fails.
    http._proxy_host = "127.0.0.1";
    http._proxy_port_int = testnet::free_port();
    stg.server_count = 1;
    server_name[0] = "files.test";
    server_path[0] = "/files/r/";
    add("Z/f", 1, 0);
    next.reset_all_streams();
    // A repeat of the same failure is only counted: its count is written
    // here, so every failure shows in the log as a block or in a count.
    auto failures = [&] {
        http.LogRepeats();
        std::string log = log_text();
        int n = 0;
        for (std::size_t p = log.find("HTTP Error for "); p != std::string::npos;
             p = log.find("HTTP Error for ", p + 1))
            ++n;
        const std::string more = "HTTP failed ";
        for (std::size_t p = log.find(more); p != std::string::npos; p = log.find(more, p + 1))
            n += std::atoi(log.c_str() + p + more.size()); // 0 for a reason line
        return n;
    };
    for (int i = 0; i < 2000 && !stg.download_failed; ++i)
        grab_files();
    ASSERT_EQ(stg.download_failed, 1);
    ASSERT_EQ(failures(), 1);
    // Within the same second no new request starts, however many passes run.
    for (int i = 0; i < 500; ++i)
        grab_files();
    EXPECT_EQ(http.slot[kNetSlotFirstStream], nullptr);
    EXPECT_EQ(failures(), 1);
    EXPECT_EQ(next.stream_file[0], 0); // the stream keeps its entry
    EXPECT_EQ(next.all_done, 0);
    clock.advance(1.0);
    for (int i = 0; i < 2000 && failures() < 2; ++i)
        grab_files();
    EXPECT_EQ(failures(), 2);
}

TEST_F(StreamsTest, FileFractionAndPartialKilobytes)
{
    testnet::ScriptPeer peer;
    ASSERT_TRUE(peer.Listen());
    http._proxy_host = "127.0.0.1";
    http._proxy_port_int = peer.port();
    stg.server_count = 1;
    server_name[0] = "files.test";
    server_path[0] = "/files/r/";
    add("Z/sub/f.bin", 1, 0);
    sim_info[0].versions[0].down_kb = 10;
    next.reset_all_streams();
    auto pump = [] { grab_files(); };
    ASSERT_TRUE(peer.Accept(pump));
    ASSERT_TRUE(peer.ReadRequest(pump));
    grab_files();
    // The reply's length is not known yet.
    EXPECT_EQ(stg.status_code, kStatusDownloading);
    EXPECT_FLOAT_EQ(stg.file_fraction, -0.01f);
    EXPECT_EQ(crnt_file_name, "f.bin.zip");
    EXPECT_EQ(crnt_file_path, "/files/r/Z/sub/f.bin.zip");
    ASSERT_TRUE(
        peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 200\r\n\r\n" + std::string(50, 'x'), pump));
    for (int i = 0; i < 20000; ++i) {
        down_class* d = http.slot[kNetSlotFirstStream];
        if (d && d->bytes_written == 50) break;
        grab_files();
        usleep(100);
    }
    grab_files();
    EXPECT_FLOAT_EQ(stg.file_fraction, 0.25f);
    EXPECT_FLOAT_EQ(next.kb_partial, 2.5f); // the fraction of the entry's download
    EXPECT_EQ(next.all_done, 0);
    next.reset_all_streams();
}

} // namespace
