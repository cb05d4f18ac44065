#include "Files/folder_list.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <dirent.h>
#include <numeric>
#include <strings.h>
#include <sys/stat.h>

#include "Files/io_utils.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"

namespace
{

// Line the "not a directory" alert names in its source location.
constexpr int kNotFolderAlertLine = 907;

// Extensions, tested in this order against the last four characters of a
// name in upper case; the first match sets the kind.
struct ext_kind {
    const char* ext;
    int kind;
};
const ext_kind kExtKinds[] = {
    {".AFL", kItemAirfoil},   {".WPN", kItemWeapon}, {".ACF", kItemAircraft}, {".OBJ", kItemObject},
    {".SIT", kItemSituation}, {".SMO", kItemMovie},  {".TXT", kItemText},     {".FMS", kItemFms},
    {".TRA", kItemTrain},     {".CAR", kItemCar},    {".SPA", kItemSpace},    {".REG", kItemRegion},
    {".WAV", kItemSound},     {".BMP", kItemImage},  {".PNG", kItemImage},    {".FDR", kItemFdr},
    {".DSF", kItemDsf},       {".HGT", kItemHgt},
};

// Cockpit panel images are not offered by the image listing: only the first
// 32 characters of this folder are compared.
const char kPanelFolder[] = "Resources/bitmaps/cockpit/-panels-/";
constexpr size_t kPanelPrefixLen = 32;

// Sets kind from the extension table; answers whether the entry is kept.
bool opensave_takeit(const std::string& folder, const std::string& name, int type, int& kind)
{
    const std::string full = folder + name;

    if (name.size() >= 4) {
        std::string ext = name.substr(name.size() - 4);
        for (char& c : ext)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const ext_kind& row : kExtKinds) {
            if (ext == row.ext) {
                kind = row.kind;
                break;
            }
        }
    }

    if (type == kListPanelImages) {
        if (full.size() >= kPanelPrefixLen &&
            strncasecmp(full.c_str(), kPanelFolder, kPanelPrefixLen) == 0)
            return false;
        // Numbered variants "name-1.png" to "name-4.png".
        if (full.size() >= 6) {
            const char* tail = full.c_str() + full.size() - 6;
            if (tail[0] == '-' && tail[1] >= '1' && tail[1] <= '4' && tail[2] == '.') return false;
        }
    }

    if (name.empty() || name[0] == '.') return false;
    if (kind == kItemFolder) return true;
    if (kind == type || type == kListAll) return true;
    if (type == kListPanelImages && kind == kItemImage) return true;
    return false;
}

// Case-blind order; a proper prefix sorts first.
bool name_before(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; i++) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

opensave_commands_fn command_levels = nullptr;

} // namespace

void opensave_set_commands(opensave_commands_fn fn)
{
    command_levels = fn;
}

int opensave_getitems(const std::string& folder, int type, std::vector<std::string>& names,
                      std::vector<int>& kinds)
{
    names.clear();
    kinds.clear();

    if (type == kListNothing || type == kListCommands) {
        if (type == kListCommands && command_levels) command_levels(folder, names);
        kinds.assign(names.size(), kItemFile);
        for (size_t i = 0; i < names.size(); i++) {
            if (!names[i].empty() && names[i].back() == '/') {
                names[i].pop_back();
                kinds[i] = kItemFolder;
            }
        }
        return static_cast<int>(names.size());
    }

    const std::string path = app_path + folder;
    if (path.size() > 1 && path.back() != '/') {
        __VOVARU_alert(0, "Working path does not appear to be a directory!",
                       "This is not consistent with my labelling practices!",
                       "I need to end all paths with the directory indicator!", path, t_exit,
                       kIoUtilsSource, kNotFolderAlertLine);
        return 0;
    }

    // The empty path is the base folder: with an empty app_path, the
    // current folder.
    DIR* dir = opendir(path.empty() ? "." : path.c_str());
    if (dir == nullptr) return 0;
    std::vector<std::string> found_names;
    std::vector<int> found_kinds;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        struct stat st;
        if (stat((path + name).c_str(), &st) != 0) continue; // vanished meanwhile
        int kind = S_ISDIR(st.st_mode) ? kItemFolder : kItemFile;
        if (opensave_takeit(folder, name, type, kind)) {
            found_names.push_back(name);
            found_kinds.push_back(kind);
        }
    }
    closedir(dir);

    // Stable, so names equal but for letter case keep their listing order.
    std::vector<size_t> order(found_names.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return name_before(found_names[a], found_names[b]);
    });
    for (size_t i : order) {
        names.push_back(found_names[i]);
        kinds.push_back(found_kinds[i]);
    }
    return static_cast<int>(names.size());
}
