// Installs and updates through the real window, and servers that go wrong
// on the way: the program's screens, alerts and log as the user meets them.
#include "window_run.h"

#include "OOPS_cpp/oglp_text.h"

TEST_F(WindowRun, InstallsThenUpdatesThroughTheWindow)
{
    WINDOW_RUN_BODY();

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
    // The archive is read at once: the alert may come before a frame of the
    // main screen is seen.
    start_program({"-path", tmp / "inst/", "--pref:_proxy_host=127.0.0.1",
                   "--pref:_proxy_port_int=" + std::to_string(nginx.port())},
                  Shows::alert);
    if (HasFatalFailure()) return;
    const char* const kAlert = "DIR-scan: The installer cannot extract a file.";
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

// An archive missing on the only server (404): the totals say the download
// is tried again, not that another server is tried. The third totals line is
// read by where its red ink ends.
TEST_F(WindowRun, MissingArchiveOnTheOnlyServerIsTriedAgain)
{
    WINDOW_RUN_BODY();
    const std::string src = tmp / "src/";
    write_tree(src, {{"Resources/readme.txt", "readme\n"}, {"Docs/notes.txt", "notes\n"}});
    ReleasePlan plan;
    plan.source = src;
    plan.servers = {{"files.zudezud.test", "/files/", "Main server"}};
    std::string err;
    const std::vector<ReleaseEntry> release = make_release(plan, web, &err);
    ASSERT_FALSE(release.empty()) << err;
    std::string missing;
    for (const ReleaseEntry& e : release)
        if (e.rel == "Docs/notes.txt") missing = e.zip_path;
    ASSERT_EQ(::unlink(missing.c_str()), 0) << missing;

    start_program({"-path", tmp / "inst/Zudezud/", "--pref:_proxy_host=127.0.0.1",
                   "--pref:_proxy_port_int=" + std::to_string(nginx.port())});
    wait_for_lists();
    click({}, 491, 89); // INSTALL
    ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 20));
    click(window_at(kWinLicence), 429, 21); // AGREE
    ASSERT_TRUE(poll_until([&] { return main_shown(); }, 20));
    ASSERT_TRUE(poll_until([&] { return requests_for("notes.txt.zip HTTP/1.1\" 404") >= 2; }, 30))
        << nginx.ReadAccessLog();

    // The right end of the red ink on the rows of the third line (drawn at
    // y 38: rows 35 to 41 hold its letters and nothing of the second line).
    const auto right_end = [&] {
        const ShownPixels p = screen();
        int right = -1;
        for (int y = 35; y <= 41; ++y) // GL rows, from the bottom
            for (int x = 140; x < 1010; ++x) {
                const unsigned char* c = p.at(x, y);
                if (c[0] > c[1] + 80 && c[0] > c[2] + 80) right = std::max(right, x);
            }
        return right;
    };
    const std::string again = "I am trying again now to see if I can still get you a download...";
    const std::string other =
        "I am trying another server now to see if I can still get you a download...";
    // The last glyph, '.', inks the first of its two columns.
    const int want = 144 + int(OGL_text_width(again)) - 2;
    int seen = -1;
    EXPECT_TRUE(poll_until(
        [&] {
            seen = right_end();
            return std::abs(seen - want) <= 1;
        },
        20))
        << "red ink ends at x " << seen << "; \"trying again\" ends at " << want
        << ", \"another server\" at " << 144 + int(OGL_text_width(other)) - 2;
    shot("main-tried-again");
    quit_and_expect_exit_0();
}
