// The installation folders: made when the user presses INSTALL, tidied and
// renamed after the last file.
#include "installer/folders.h"

#include <set>
#include <vector>

#include "Files/io_utils.h"
#include "Files/opensave.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "installer/directory.h"
#include "installer/sub_wins.h"
#include "installer/utils.h"

constexpr int kLineMakeDirError = 177;

const char* const kFixedFolders[kFixedFolderCount] = {
    "Output",          "Output/FMS plans", "Output/logbooks",       "Output/movies",
    "Output/situations", "Resources",      "Resources/preferences",
};

void make_dir_error(std::string path, int code)
{
    __VOVARU_alert(kWinMain,
                   "I am unable to install or update Zudezud. An error occurred while creating new "
                   "folders. Make sure you are installing to a directory that you have access to!",
                   "Error: " + error_str(code), "Install Location: " + dest_dir_path,
                   "Install Path:" + path, t_alert, "utils", kLineMakeDirError);
}

// Creates path; 1 when a failure was reported.
static int make_one(const std::string& path)
{
    int r = make_folder(path);
    if (!show_make_dir_err(r)) return 0;
    make_dir_error(path, r);
    return 1;
}

void make_dirs()
{
    if (dest_dir_path.empty()) return;  // nothing to make: there is no destination

    // The destination and every missing ancestor.
    std::string p = dest_dir_path.substr(0, dest_dir_path.size() - 1);
    bool failed = false;
    for (std::string::size_type k = 1; k < p.size() && !failed; ++k)
        if (p[k] == '/') failed = make_one(p.substr(0, k));
    if (!failed) make_one(p);

    // The folder of every wanted file, parents first (byte order does that).
    std::set<std::string> folders;
    for (std::size_t i = 0; i < sim_info.size(); ++i) {
        int vi = static_cast<int>(sim_info[i].versions.size()) - 1;
        const file_version_struct& v = sim_info[i].versions[vi];
        if (v.sig_want == kSigGone || !want_this_f(static_cast<int>(i), vi, v.kind)) continue;
        std::string rel = v.path;
        trim_dest_folder(rel);
        for (std::string::size_type cut = rel.rfind('/'); cut != std::string::npos;
             cut = rel.rfind('/')) {
            rel.erase(cut);
            if (!rel.empty()) folders.insert(rel);
        }
    }
    for (const std::string& f : folders)
        if (make_one(dest_dir_path + f)) break;

    for (const char* f : kFixedFolders) make_one(dest_dir_path + f);
}

int is_safe_folder_name(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

void finish_installation()
{
    // Folders the deletions emptied, inner ones first.
    for (auto it = deleted_files.rbegin(); it != deleted_files.rend(); ++it) {
        std::vector<std::string> names;
        std::vector<int> kinds;
        if (opensave_getitems(*it, kListAll, names, kinds) != 0) continue;
        int r = delete_file(*it);
        if (stg._log_actions)
            xer << "cleanup: DELETING  file " << *it << ", with result=" << r << ".\n"
                << std::flush;
    }

    if (!this_install_has_exes || !stg._rename_folder) return;
    // The release name comes from the server: never let it name a folder
    // elsewhere.
    if (!is_safe_folder_name(install_name)) {
        xer << "Not renaming the folder to the release name '" << install_name << "'.\n";
        return;
    }
    if (dest_dir_path.size() < 2) return;
    std::string::size_type slash = dest_dir_path.rfind('/', dest_dir_path.size() - 2);
    std::string::size_type cut = slash == std::string::npos ? 0 : slash + 1;
    std::string parent = dest_dir_path.substr(0, cut);
    std::string name = dest_dir_path.substr(cut);
    if (rename_file(parent, name, install_name) == 0) dest_dir_path = parent + install_name + "/";
}
