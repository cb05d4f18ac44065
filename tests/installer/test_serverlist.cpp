#include "engine_fixture.h"

namespace
{

using ServerListTest = EngineTest;

int parse(const std::string& body)
{
    return parse_server_list(body.data(), body.data() + body.size());
}

TEST_F(ServerListTest, FinalAndOneRecord)
{
    EXPECT_EQ(parse("FINAL 9.00r1\nSERVER files.example\n/files/\nMain server\nENDOFLIST\n"), 1);
    EXPECT_EQ(install_name, "9.00r1");
    EXPECT_EQ(server_name[0], "files.example");
    EXPECT_EQ(server_path[0], "/files/9.00r1/");
    EXPECT_EQ(server_desc[0], "Main server");
    EXPECT_EQ(weighted_server(0.0, 1), 0);
}

TEST_F(ServerListTest, RecordBeforeFinalGetsPlaceholderName)
{
    EXPECT_EQ(parse("SERVER h\n/p/\nd\nFINAL 9.1\n"), 1);
    EXPECT_EQ(server_path[0], "/p/Not Yet Scanned/");
    EXPECT_EQ(install_name, "9.1");
}

TEST_F(ServerListTest, KeywordRulesAndBlankLines)
{
    // SERVERS/FINALX hold no keyword; blank lines and blanks never make a
    // record line; a BETA line inside a record is taken as its path.
    EXPECT_EQ(parse("  FINALX no\nSERVERS x\nBETA 9.1b\n\n   FINAL  rel one \n"
                    "SERVER \thost.a\n\n\n  /a/\n\n desc a\nSERVER h2\nBETA\ndesc\n"),
              1);
    EXPECT_EQ(install_name, "rel one ");
    EXPECT_EQ(server_name[0], "host.a");
    EXPECT_EQ(server_path[0], "/a/rel one /");
    EXPECT_EQ(server_desc[0], "desc a");
    EXPECT_EQ(server_name[1], ""); // h2's path "BETA" does not start with '/': skipped
}

TEST_F(ServerListTest, EndOfListStopsAndTenAtMost)
{
    std::string body = "FINAL r\n";
    for (int i = 0; i < 12; ++i)
        body += "SERVER h" + std::to_string(i) + "\n/p/\nd" + std::to_string(i) + "\n";
    EXPECT_EQ(parse(body), 10);
    EXPECT_EQ(server_name[9], "h9");
    EXPECT_EQ(parse("FINAL r\nENDOFLIST\nSERVER h\n/p/\nd\n"), 0);
    EXPECT_EQ(parse(""), 0);
}

TEST_F(ServerListTest, UnusableRecordsAreSkippedNotFatal)
{
    EXPECT_EQ(parse("FINAL r\nSERVER bad.host/\n/p/\nd\nSERVER good\nno-slash/\nd\n"
                    "SERVER ok\n/q/\nfine\n"),
              1);
    EXPECT_EQ(server_name[0], "ok");
    std::string log = log_text();
    EXPECT_NE(log.find("bad.host/"), std::string::npos);
    EXPECT_NE(log.find("no-slash/"), std::string::npos);
}

// Host and path go into the request line: a host with a blank or a control
// character, or a path with a control character, would break it (a blank
// in a path is sent as %20). Such a server is skipped; the others serve.
TEST_F(ServerListTest, NamesThatWouldBreakTheRequestAreSkipped)
{
    EXPECT_EQ(parse("FINAL r\nSERVER a.test\n/p/\nA\nSERVER %%garbage host%%\n/p/\nG\n"
                    "SERVER b.test\n/p q/\nB\nSERVER c.test\t\n/p/\nC\n"
                    "SERVER d\x01.test\n/p/\nD\nSERVER e\x7f.test\n/p/\nE\n"
                    "SERVER f.test\n/p\x02/\nF\n"),
              2);
    EXPECT_EQ(server_name[0], "a.test");
    EXPECT_EQ(server_name[1], "b.test");
    EXPECT_EQ(server_path[1], "/p q/r/");
    EXPECT_EQ(server_name[2], "");
    // Said in the log, control characters written visibly.
    const std::string log = log_text();
    for (const char* line :
         {"host '%%garbage host%%' and path '/p/'", "host 'c.test\\x09'", "host 'd\\x01.test'",
          "host 'e\\x7F.test'", "host 'f.test' and path '/p\\x02/'"})
        EXPECT_NE(log.find("Server list: skipping a server record with " + std::string(line)),
                  std::string::npos)
            << line << "\n"
            << log;
    EXPECT_EQ(log.find_first_of("\x01\x02\x7f\t"), std::string::npos) << log;
}

TEST_F(ServerListTest, HeaderChecked)
{
    struct {
        const char* text;
        int servers;
    } cases[] = {
        {"I\n820 version\nSERVERS\nFINAL r\nSERVER h\n/p/\nd\n", 1},
        {"I\n821 version\nSERVERS\nSERVER h\n/p/\nd\n", -1},
        {"I\n820 version\nSERVER\nSERVER h\n/p/\nd\n", -1},
        {"", -1},
    };
    for (const auto& c : cases) {
        std::string p = tmp / "serverlist.txt";
        std::ofstream(p) << c.text;
        EXPECT_EQ(read_server_list(p), c.servers) << c.text;
    }
    EXPECT_EQ(read_server_list(tmp / "missing.txt"), -1);
}

TEST_F(ServerListTest, WeightedChoiceFavoursFirstServers)
{
    struct {
        double u;
        int n, want;
    } cases[] = {{0.0, 3, 0}, {0.6, 3, 1}, {0.99, 3, 2}, {0.5, 0, -1}, {0.999999, 1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(weighted_server(c.u, c.n), c.want) << c.u;
    // Boundary between 0 and 1 with three servers: u^1.5 = 1/3.
    EXPECT_EQ(weighted_server(0.4807, 3), 0);
    EXPECT_EQ(weighted_server(0.4808, 3), 1);
}

} // namespace
