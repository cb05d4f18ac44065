// Letter-case repair (findPath) and the folder listings it reads, kept for
// the length of a scan by folder_memo.
#include "Files/case_desens.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

namespace
{
folder_open_fn open_hook = nullptr; // null: opendir

// One listing, with the lookups findPath needs.
struct listing {
    bool opened = false;
    std::vector<std::string> names;
    std::unordered_map<std::string, size_t> exact;  // name -> its index
    std::unordered_map<std::string, size_t> folded; // lower-case name -> first index
};

int g_memo_depth = 0;
std::map<std::string, std::unique_ptr<listing>> g_memo;

std::string fold(const char* s, size_t len)
{
    std::string out(s, len);
    for (char& c : out)
        c = (char)std::tolower((unsigned char)c);
    return out;
}

std::string memo_key(const std::string& folder)
{
    std::string key = folder;
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    return key;
}

std::unique_ptr<listing> read_listing(const std::string& folder)
{
    auto l = std::make_unique<listing>();
    DIR* dir = open_hook ? open_hook(folder.c_str()) : opendir(folder.c_str());
    if (dir == nullptr) return l;
    l->opened = true;
    while (dirent* e = readdir(dir)) {
        size_t i = l->names.size();
        l->names.emplace_back(e->d_name);
        l->exact.emplace(l->names.back(), i);
        l->folded.emplace(fold(e->d_name, l->names.back().size()), i); // keeps the first
    }
    closedir(dir);
    return l;
}

// The listing of folder: from the memo while one lives, else read afresh
// into holder.
const listing& get_listing(const std::string& folder, std::unique_ptr<listing>& holder)
{
    if (g_memo_depth == 0) {
        holder = read_listing(folder);
        return *holder;
    }
    std::unique_ptr<listing>& slot = g_memo[memo_key(folder)];
    if (!slot) slot = read_listing(folder);
    return *slot;
}

// Replaces the component comp (len characters) with the spelling of a
// matching entry of folder. An entry spelled exactly like it wins over an
// earlier one that only matches without regard to case, so a folder holding
// both "Data" and "data" never sends us to the wrong one.
bool match_component(const char* folder, char* comp, size_t len)
{
    if (len == 0 || len > NAME_MAX) return false;
    std::unique_ptr<listing> holder;
    const listing& l = get_listing(folder, holder);
    if (!l.opened) return false;
    if (l.exact.count(std::string(comp, len))) return true;
    auto it = l.folded.find(fold(comp, len));
    if (it == l.folded.end()) return false;
    std::memcpy(comp, l.names[it->second].data(), len);
    return true;
}

} // namespace

folder_open_fn folder_set_open_hook(folder_open_fn fn)
{
    return std::exchange(open_hook, fn);
}

folder_memo::folder_memo()
{
    ++g_memo_depth;
}

folder_memo::~folder_memo()
{
    if (--g_memo_depth == 0) g_memo.clear();
}

void folder_memo_forget(const std::string& folder)
{
    g_memo.erase(memo_key(folder));
}

const std::vector<std::string>* folder_names(const std::string& folder)
{
    static std::unique_ptr<listing> holder; // the last listing read outside a memo
    const listing& l = get_listing(folder, holder);
    return l.opened ? &l.names : nullptr;
}

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
