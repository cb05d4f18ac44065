#include "support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "GenH/hl_types.h"

TempDir::TempDir()
{
    const char* root = std::getenv("TMPDIR");
    std::string tmpl = std::string(root && *root ? root : "/tmp") + "/zudezud-test-XXXXXX";
    if (mkdtemp(&tmpl[0]) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed for " << tmpl;
        std::abort();
    }
    path_ = tmpl + "/";
}

TempDir::~TempDir()
{
    // Depth first, without following links.
    nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) {
            ::remove(p);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

void TempDir::write(const std::string& rel, const std::string& content) const
{
    std::ofstream f(path_ + rel, std::ios::binary | std::ios::trunc);
    f << content;
    ASSERT_TRUE(f.good()) << "cannot write " << path_ + rel;
}

void TempDir::mkdir(const std::string& rel) const
{
    ASSERT_EQ(::mkdir((path_ + rel).c_str(), 0755), 0) << "cannot make " << path_ + rel;
}

std::string TempDir::read(const std::string& full_path)
{
    std::ifstream f(full_path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool TempDir::exists(const std::string& full_path)
{
    struct stat st;
    return lstat(full_path.c_str(), &st) == 0;
}

PrivateHome::PrivateHome()
{
    const char* old = std::getenv("HOME");
    had_home_ = old != nullptr;
    if (old) old_home_ = old;
    const std::string home = path().substr(0, path().size() - 1);
    setenv("HOME", home.c_str(), 1);
}

PrivateHome::~PrivateHome()
{
    if (had_home_)
        setenv("HOME", old_home_.c_str(), 1);
    else
        unsetenv("HOME");
}

bool open_log_in(const TempDir& dir)
{
    xer.open(dir / "Log.txt");
    return xer.is_open();
}

std::string read_log_in(const TempDir& dir)
{
    if (xer.is_open()) xer.flush();
    return TempDir::read(dir / "Log.txt");
}

void close_log()
{
    xer.close();
    xer.clear();
    xer.copyfmt(std::ofstream());
}
