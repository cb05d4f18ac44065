// The private temporary folder.
#include "installer/temp_folder.h"

#include <ftw.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "installer/globals.h"

int make_private_temp(const std::string& parent)
{
    std::string pattern = parent + "zudezud-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) return errno; // mkdtemp makes it with mode 0700
    temp_path = std::string(buf.data()) + "/";
    return 0;
}

static int remove_entry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path); // best effort: the folder is ours alone
    return 0;
}

void remove_private_temp()
{
    if (temp_path.empty() || temp_path == "/tmp/") return;
    std::string dir = temp_path.substr(0, temp_path.size() - 1);
    // Deepest first and without following links: an archive may have made
    // folders or links in here.
    nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    temp_path.clear();
}
