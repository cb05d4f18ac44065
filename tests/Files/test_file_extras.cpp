// Existence tests, starting another program in place of this one, and the
// large-address patch of Windows executables.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "support/alert_probe.h"
#include "support/file_fixtures.h"
#include "support/temp_dir.h"

namespace
{

// Keeps app_path as it was around a test that sets it.
struct AppPathGuard {
    std::string saved = app_path;
    ~AppPathGuard() { app_path = saved; }
};

// ---------------------------------------------------------------------------
// dir_exists, file_exists

TEST(Exists, FoldersFilesAndOthers)
{
    TempDir dir;
    dir.mkdir("sub");
    dir.write("sub/f.txt", "x");
    ASSERT_EQ(symlink("sub/f.txt", (dir / "link").c_str()), 0);
    ASSERT_EQ(symlink("sub", (dir / "dirlink").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        std::string path;
        bool is_dir, is_file;
    } cases[] = {
        {dir / "sub", true, false},
        {dir / "sub/", true, false},
        {dir.path(), true, false},
        {"/", true, false},
        {dir / "sub/f.txt", false, true},
        {dir / "sub/f.txt/", false, false},
        {dir / "link", false, true},
        {dir / "dirlink", true, false},
        {dir / "fifo", false, true},
        {dir / "missing", false, false},
        {dir / "sub/missing/", false, false},
        {"", false, false},
        // Letter case repaired against the disk.
        {dir / "SUB", true, false},
        {dir / "Sub/F.TXT", false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dir_exists(c.path), c.is_dir) << c.path;
        EXPECT_EQ(file_exists(c.path), c.is_file) << c.path;
    }
}

TEST(Exists, PrefixesAppPath)
{
    AppPathGuard guard;
    TempDir dir;
    dir.mkdir("sub");
    dir.write("sub/f", "x");
    app_path = dir.path();
    EXPECT_TRUE(dir_exists("sub/"));
    EXPECT_TRUE(file_exists("sub/f"));
    EXPECT_FALSE(file_exists("sub"));
    EXPECT_FALSE(dir_exists("sub/f"));
}

TEST(Exists, OverlongPathIsFatal)
{
    TempCwd cwd;
    const std::string path = "/" + std::string(499, 'a');
    for (int which = 0; which < 2; ++which) {
        ChildResult r = run_in_child([&] {
            AlertProbe probe;
            if (which == 0)
                dir_exists(path);
            else
                file_exists(path);
        });
        EXPECT_TRUE(r.aborted()) << which;
        EXPECT_NE(r.out.find("String too long!"), std::string::npos) << r.out;
    }
    // 499 characters still fit the repair buffer.
    EXPECT_FALSE(file_exists(path.substr(1)));
}

// ---------------------------------------------------------------------------
// launch_app

// Waits (at most 10 s) for a file that a started program writes.
std::string wait_for_file(const std::string& path)
{
    for (int i = 0; i < 200 && !TempDir::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return TempDir::read(path);
}

// A program that records its argument vector in args.txt beside itself.
void write_recorder(const TempDir& dir)
{
    dir.write("rec.sh", "#!/bin/sh\n"
                        "out=\"$(dirname \"$0\")/args\"\n"
                        "printf '%s\\n' \"$0\" \"$@\" > \"$out.tmp\"\n"
                        "mv \"$out.tmp\" \"$out.txt\"\n");
    ASSERT_EQ(chmod((dir / "rec.sh").c_str(), 0755), 0);
}

TEST(LaunchApp, StartsTheProgramThenShutsDown)
{
    struct Case {
        const char* what;
        bool via_app_path;
        std::string app; // relative to the folder
        std::string arg;
        std::string want_args; // after the program's own path
    } cases[] = {
        {"with a folder", false, "rec.sh", "/some folder/", "-path\n/some folder/\n"},
        {"no argument", false, "rec.sh", "", ""},
        {"trailing slash dropped", false, "rec.sh/", "x", "-path\nx\n"},
        {"through app_path", true, "rec.sh", "y", "-path\ny\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        write_recorder(dir);
        dir.mkdir("home");
        ChildResult r = run_in_child([&] {
            setenv("HOME", (dir / "home").c_str(), 1);
            VOVARU_register_shell(); // its shutdown, as start-up registers it
            open_log_in(dir);
            std::string app = dir / c.app;
            if (c.via_app_path) {
                app_path = dir.path();
                app = c.app;
            }
            int err = launch_app(app, c.arg);
            std::printf("launch_app returned %d", err);
        });
        // Shut down in order (preferences saved, log closed) and exit 1.
        EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
        EXPECT_EQ(r.out.find("returned"), std::string::npos) << r.out;
        EXPECT_EQ(wait_for_file(dir / "args.txt"), dir / "rec.sh\n" + c.want_args);
        // (app_path is put in front of the preferences path too.)
        if (!c.via_app_path) {
            EXPECT_TRUE(TempDir::exists(dir / "home/.zudezud/Zudezud Installer.prf"));
        }
        EXPECT_NE(TempDir::read(dir / "Log.txt")
                      .find("Launching: " + dir / "rec.sh with " + c.arg + "\n"),
                  std::string::npos);
    }
}

TEST(LaunchApp, FailedStartReturnsTheErrorAndGoesOn)
{
    TempDir dir;
    dir.write("plain.txt", "not a program\n");
    dir.write("noshebang", "echo hi\n");
    ASSERT_EQ(chmod((dir / "noshebang").c_str(), 0755), 0);
    dir.mkdir("folder");
    struct Case {
        std::string app;
        int want;
    } cases[] = {
        {dir / "missing", ENOENT}, {dir / "plain.txt", EACCES},  {dir / "folder", EACCES},
        {dir / "folder/", EACCES}, {dir / "noshebang", ENOEXEC}, {"", ENOENT},
    };
    for (const Case& c : cases) {
        ChildResult r = run_in_child([&] {
            int err = launch_app(c.app, "arg");
            // No child of ours is left behind, not even a zombie.
            pid_t left = waitpid(-1, nullptr, WNOHANG);
            std::printf("%d %d %d", err, (int)left, left < 0 ? errno : 0);
        });
        EXPECT_EQ(r.exit_code, 0) << c.app;
        EXPECT_EQ(r.out, std::to_string(c.want) + " -1 " + std::to_string(ECHILD)) << c.app;
    }
}

// ---------------------------------------------------------------------------
// make_file_large_address_aware

// A real PE32+ executable made by binutils from a one-instruction program.
std::string make_pe(const TempDir& dir)
{
    dir.write("s.s", ".text\n.globl _start\n_start: ret\n");
    const std::string d = dir.path();
    const std::string out = run_command("cd '" + d + "' && as s.s -o s.o && ld -o s.elf s.o && " +
                                        "objcopy -O pei-x86-64 s.elf s.exe");
    EXPECT_TRUE(TempDir::exists(dir / "s.exe")) << out;
    return dir / "s.exe";
}

TEST(LargeAddress, SetsTheFlagOfARealExecutable)
{
    TempDir dir;
    const std::string exe = make_pe(dir);
    const std::string before = TempDir::read(exe);
    ASSERT_FALSE(before.empty());
    const std::string dump = run_command("objdump -p '" + exe + "'");
    ASSERT_NE(dump.find("Characteristics 0x207"), std::string::npos) << dump;
    ASSERT_EQ(dump.find("large address aware"), std::string::npos) << dump;

    ASSERT_EQ(make_file_large_address_aware(exe), 0);
    const std::string after = TempDir::read(exe);
    const std::string patched = run_command("objdump -p '" + exe + "'");
    EXPECT_NE(patched.find("Characteristics 0x227"), std::string::npos) << patched;
    EXPECT_NE(patched.find("large address aware"), std::string::npos) << patched;
    // Exactly the characteristics word changed.
    ASSERT_EQ(after.size(), before.size());
    size_t pe_at = (unsigned char)before[60] | (unsigned char)before[61] << 8;
    for (size_t i = 0; i < after.size(); ++i)
        if (i != pe_at + 22) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i;
        }

    // A second run changes nothing.
    ASSERT_EQ(make_file_large_address_aware(exe), 0);
    EXPECT_EQ(TempDir::read(exe), after);
}

// Little-endian 32-bit value as four bytes.
std::string le32(unsigned v)
{
    return std::string{(char)(v & 0xFF), (char)(v >> 8 & 0xFF), (char)(v >> 16 & 0xFF),
                       (char)(v >> 24)};
}

TEST(LargeAddress, BadFilesAreLeftAlone)
{
    // A DOS header pointing at offset `at`.
    auto dos = [](unsigned at) { return "MZ" + std::string(58, '\0') + le32(at); };
    const std::string pe_head = std::string("PE\0\0", 4) + std::string(20, '\0');
    struct Case {
        const char* what;
        std::string data;
        int want;
    } cases[] = {
        {"empty", "", EIO},
        {"short DOS header", "MZ" + std::string(40, '\0'), EIO},
        {"no MZ", "ZM" + std::string(62, '\0'), kErrNotExeMZ},
        {"signature beyond the end", dos(64), EIO},
        {"signature cut short", dos(64) + pe_head.substr(0, 23), EIO},
        {"offset past 4 GiB", dos(0xFFFFFFF0u), EIO},
        {"no PE signature", dos(64) + "PX" + pe_head.substr(2), kErrNotExePE},
        {"PE without its zero bytes", dos(64) + std::string("PE\1\0", 4) + pe_head.substr(4),
         kErrNotExePE},
    };
    TempDir dir;
    for (const Case& c : cases) {
        dir.write("f", c.data);
        EXPECT_EQ(make_file_large_address_aware(dir / "f"), c.want) << c.what;
        EXPECT_EQ(TempDir::read(dir / "f"), c.data) << c.what;
    }
    EXPECT_EQ(make_file_large_address_aware(dir / "missing"), ENOENT);
    dir.mkdir("folder");
    EXPECT_EQ(make_file_large_address_aware(dir / "folder"), EISDIR);
    // The smallest file that passes: the flag lands 22 bytes after "PE".
    dir.write("f", dos(64) + pe_head);
    ASSERT_EQ(make_file_large_address_aware(dir / "f"), 0);
    EXPECT_EQ(TempDir::read(dir / "f")[64 + 22], '\x20');
    // The two codes have no user text.
    EXPECT_EQ(error_str(kErrNotExeMZ), "Unknown error occurred (20013)");
    EXPECT_EQ(error_str(kErrNotExePE), "Unknown error occurred (20014)");
}

} // namespace
