#include "Files/case_desens.h"

#include <climits>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace
{

// Replaces the component comp (len characters) with the spelling of a
// matching entry of folder. An entry spelled exactly like it wins over an
// earlier one that only matches without regard to case, so a folder holding
// both "Data" and "data" never sends us to the wrong one.
bool match_component(const char* folder, char* comp, size_t len)
{
    char first[NAME_MAX + 1];
    if (len == 0 || len > NAME_MAX) return false;
    DIR* dir = opendir(folder);
    if (dir == nullptr) return false;
    bool found = false, exact = false;
    while (dirent* e = readdir(dir)) {
        if (std::strlen(e->d_name) != len || strncasecmp(e->d_name, comp, len) != 0) continue;
        if (std::strncmp(e->d_name, comp, len) == 0) {
            found = exact = true;
            break;
        }
        if (!found) {
            std::memcpy(first, e->d_name, len);
            found = true;
        }
    }
    closedir(dir);
    if (found && !exact) std::memcpy(comp, first, len);
    return found;
}

} // namespace

void findPath(char* path)
{
    struct stat st;
    if (path == nullptr || path[0] == '\0' || stat(path, &st) == 0) return;

    char* comp = path;
    if (*comp == '/') comp++;
    while (*comp != '\0') {
        char* end = std::strchr(comp, '/');
        const size_t len = end ? static_cast<size_t>(end - comp) : std::strlen(comp);

        bool found;
        if (comp == path) {
            found = match_component(".", comp, len);
        } else if (comp == path + 1 && path[0] == '/') {
            found = match_component("/", comp, len);
        } else {
            // Cut the path at the '/' before the component to name the folder.
            char* slash = comp - 1;
            *slash = '\0';
            found = match_component(path, comp, len);
            *slash = '/';
        }
        if (!found || end == nullptr) return;
        comp = end + 1;
    }
}
