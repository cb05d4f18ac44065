// Temporary files beside an entry's target: their names, making and writing
// one, and the sweep of those a dead run left behind.
#include "Files/zip_temps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "Files/case_desens.h"
#include "GenH/hl_types.h"

namespace
{

// Letters of the random part of a temporary name.
constexpr const char kTempLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

} // namespace

std::string zip_temp_name_near(const std::string& path)
{
    // Per thread: a name may be asked for on any thread, and one generator
    // is not safe to share.
    static thread_local std::mt19937 rng(std::random_device{}());
    std::string folder;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) folder = path.substr(0, slash + 1);
    std::string name = folder + kZipTempPrefix;
    for (int i = 0; i < kZipTempRandom; ++i)
        name += kTempLetters[rng() % (sizeof(kTempLetters) - 1)];
    return name;
}

int zip_create_temp(const std::string& p, std::string* tmp, int* err)
{
    int fd = -1;
    for (int i = 0; i < kZipTempTries && fd < 0; ++i) {
        *tmp = zip_temp_name_near(p);
        fd = open(tmp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) *err = errno;
    return fd;
}

int zip_write_all(int fd, const char* data, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (w == 0) return EIO;
        data += w;
        n -= (size_t)w;
    }
    return 0;
}

bool zip_is_temp_name(const std::string& name)
{
    const size_t prefix = std::strlen(kZipTempPrefix);
    if (name.size() != prefix + kZipTempRandom || name.compare(0, prefix, kZipTempPrefix) != 0)
        return false;
    for (size_t i = prefix; i < name.size(); ++i)
        if (name[i] == '\0' || !std::strchr(kTempLetters, name[i])) return false;
    return true;
}

int zip_remove_stale_temps(const std::string& folder)
{
    std::string path = app_path + folder;
    const std::vector<std::string>* names = folder_names(path);
    if (!names) return 0;
    int removed = 0;
    for (const std::string& entry : *names) {
        if (!zip_is_temp_name(entry)) continue;
        // Only what the extraction makes: a file or a link, never a folder.
        struct stat st;
        if (lstat((path + entry).c_str(), &st) != 0) continue;
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) continue;
        if (unlink((path + entry).c_str()) == 0) ++removed;
    }
    if (removed) folder_memo_forget(path);
    return removed;
}
