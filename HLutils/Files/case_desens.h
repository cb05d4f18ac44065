// Letter-case repair of paths on a case-sensitive file system, and the
// folder listings it reads.
#pragma once

#include <dirent.h>

#include <string>
#include <vector>

// When path does not exist, rewrites in place the letter case of its
// components to the spelling found on disk, from the first component on,
// stopping at the first component nothing matches. The length never changes.
void findPath(char* path);

// While a folder_memo lives, every folder listing read through folder_names
// (findPath's among them) is kept and read again from memory, so a scan that
// looks up many missing files lists each folder once. Whoever changes a
// folder meanwhile calls folder_memo_forget for it. Memos nest; the listings
// go when the outermost one ends. Main thread only.
class folder_memo
{
  public:
    folder_memo();
    ~folder_memo();
    folder_memo(const folder_memo&) = delete;
    folder_memo& operator=(const folder_memo&) = delete;
};
void folder_memo_forget(const std::string& folder);

// The names in folder ('/' at its end or not), in the order the system lists
// them, "." and ".." included; null when it cannot be opened.
const std::vector<std::string>* folder_names(const std::string& folder);

// Test hook: every listing opens its folder through fn. nullptr restores
// opendir; returns the previous hook.
using folder_open_fn = DIR* (*)(const char* folder);
folder_open_fn folder_set_open_hook(folder_open_fn fn);
