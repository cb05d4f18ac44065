// The command table.
#include "OOPS_cpp/cmnd.h"

#include <set>
#include <utility>

#include "Files/folder_list.h"
#include "GenH/hl_types.h"
#include "UTL/UTL_cmdline.h"

namespace
{
// Value of "--cmnds" that lists every command with its description.
constexpr const char* kAllCommands = "all";

// The table lists itself for "--cmnds" and the folder listing's type 21,
// before main runs, so the layers below need not know it.
[[maybe_unused]] const bool listings_registered = [] {
    UTL_set_commands_lister(
        [](FILE* out, const std::string& value) { CMND_print_commands(out, cmnd, value); });
    opensave_set_commands([](const std::string& path, std::vector<std::string>& names) {
        cmnd.get_cmds_in_path(path, names);
    });
    return true;
}();
} // namespace

cmnd_class::cmnd_class()
{
    for (const cmnd_row& row : default_commands) {
        enum_names.push_back(row.enum_name);
        paths.push_back(row.path);
        descriptions.push_back(row.description);
        types.push_back(row.type);
    }
}

int cmnd_class::get_cmnd_by_name(const std::string& path) const
{
    for (size_t i = 0; i < paths.size(); i++)
        if (paths[i] == path) return static_cast<int>(i);
    return kCmndNone;
}

void cmnd_class::get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const
{
    out.clear();
    std::set<std::string> names; // byte order, duplicates dropped
    for (const std::string& p : paths) {
        if (p.size() <= prefix.size() || p.compare(0, prefix.size(), prefix) != 0) continue;
        const size_t slash = p.find('/', prefix.size());
        names.insert(slash == std::string::npos
                         ? p.substr(prefix.size())
                         : p.substr(prefix.size(), slash + 1 - prefix.size()));
    }
    out.assign(names.begin(), names.end());
}

int cmnd_class::add_cmd(const std::string& path, const std::string& description)
{
    const int number = static_cast<int>(paths.size());
    enum_names.push_back("DYNAMIC");
    paths.push_back(path);
    descriptions.push_back(description);
    types.push_back(kCmndAdded);
    return number;
}

namespace
{
int fp = 0; // the plane focus

CMND_watch_fn watch_hook = nullptr;

void report(int hook, int command)
{
    if (watch_hook) watch_hook(hook, command);
}
} // namespace

CMND_watch_fn CMND_set_watch_hook(CMND_watch_fn fn)
{
    return std::exchange(watch_hook, fn);
}

void cmnd_class::press_one(int command)
{
    report(kCmndHookPressOne, command);
}

void cmnd_class::release_one(int command)
{
    report(kCmndHookReleaseOne, command);
}

void cmnd_class::press_always(int command)
{
    report(kCmndHookPressAlways, command);
}

void cmnd_class::single_press(int) {}

void set_plane_focus(int value)
{
    fp = value;
}

int get_plane_focus()
{
    return fp;
}

void CMND_print_commands(FILE* out, const cmnd_class& table, const std::string& value)
{
    if (value == kAllCommands) {
        for (size_t i = 0; i < table.paths.size(); ++i)
            std::fprintf(out, "%-50s %s\n", table.paths[i].c_str(), table.descriptions[i].c_str());
        return;
    }
    std::vector<std::string> names;
    table.get_cmds_in_path(value, names);
    for (const std::string& name : names)
        std::fprintf(out, "%s\n", name.c_str());
}
