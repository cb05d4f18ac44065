#include "support/file_fixtures.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

std::vector<std::string> list_dir(const std::string& path)
{
    std::vector<std::string> names;
    DIR* d = opendir(path.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string run_command(const std::string& cmd)
{
    std::string out;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

std::vector<off_t> sparse_mark_offsets(off_t size)
{
    return {0, (off_t(1) << 32) - 3, size - 7};
}

bool write_sparse_marked(const std::string& path, off_t size)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, size) != 0) {
        ADD_FAILURE() << "cannot make " << path;
        if (fd >= 0) close(fd);
        return false;
    }
    const size_t n = std::strlen(kSparseMark);
    for (off_t at : sparse_mark_offsets(size))
        if (pwrite(fd, kSparseMark, n, at) != (ssize_t)n) ADD_FAILURE() << "mark at " << at;
    if (close(fd) != 0) ADD_FAILURE() << "close " << path;
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (off_t)st.st_blocks * 512 <= (off_t(1) << 30);
}
