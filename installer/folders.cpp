// The installation folders: made when the user presses INSTALL, tidied and
// renamed after the last file.
#include "installer/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <vector>

#include "Files/folder_list.h"
#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "installer/directory.h"
#include "installer/globals.h"

constexpr int kLineMakeDirError = 177;

const char* const kFixedFolders[kFixedFolderCount] = {
    "Output",    "Output/FMS plans",      "Output/logbooks", "Output/movies", "Output/situations",
    "Resources", "Resources/preferences",
};

void make_dir_error(std::string path, int code, int more)
{
    std::string where = "Install Path:" + path;
    if (more > 0)
        where += " (and " + std::to_string(more) + " more folder" + (more > 1 ? "s" : "") +
                 " that could not be made)";
    __VOVARU_alert(kWinMain,
                   "I am unable to install or update Zudezud. An error occurred while creating new "
                   "folders. Make sure you are installing to a directory that you have access to!",
                   "Error: " + error_str(code), "Install Location: " + dest_dir_path, where,
                   t_alert, "utils", kLineMakeDirError);
}

// 0 when the destination is a folder this process may write into.
static int dest_writable(const std::string& folder)
{
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    if (access(folder.c_str(), W_OK | X_OK) != 0) return errno;
    return 0;
}

// make_folder, where a file in the folder's place is no folder.
static int make_one_folder(const std::string& path)
{
    int r = make_folder(path);
    struct stat st;
    if (!show_make_dir_err(r) && r != 0 && (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        r = ENOTDIR;
    return r;
}

int make_dest_folder()
{
    if (dest_dir_path.empty()) return 0; // nothing to make: there is no destination

    // The destination and every missing ancestor. Past the first failure
    // nothing more is made: the user must choose another destination.
    std::string p = dest_dir_path.substr(0, dest_dir_path.size() - 1);
    for (std::string::size_type k = 1; k <= p.size(); ++k) {
        if (k < p.size() && p[k] != '/') continue;
        const std::string folder = p.substr(0, k);
        int r = make_folder(folder);
        // An ancestor that exists is fine; the destination must also take files.
        if (!show_make_dir_err(r)) r = k == p.size() ? dest_writable(folder) : 0;
        if (r != 0) {
            make_dir_error(folder, r);
            return r;
        }
    }
    return 0;
}

int make_release_folders()
{
    if (dest_dir_path.empty()) return 0;
    // The folder of every wanted file, parents first (byte order does that),
    // then the fixed folders. Each is tried; one alert tells the first
    // failure and how many more there were, and the installation does not
    // start: its files could not be written there.
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
    std::vector<std::string> wanted(folders.begin(), folders.end());
    for (const char* f : kFixedFolders)
        if (!folders.count(f)) wanted.push_back(f);
    std::string first;
    int first_code = 0, failed = 0;
    for (const std::string& f : wanted) {
        const int r = make_one_folder(dest_dir_path + f);
        if (!show_make_dir_err(r)) continue;
        if (failed++ == 0) {
            first = dest_dir_path + f;
            first_code = r;
        }
    }
    if (failed) make_dir_error(first, first_code, failed - 1);
    return first_code;
}

int make_dirs()
{
    const int r = make_dest_folder();
    return r != 0 ? r : make_release_folders();
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
