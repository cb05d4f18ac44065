// A whole install and a whole update driven through the real window.
#include "window_run.h"

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
