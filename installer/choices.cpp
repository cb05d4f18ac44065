// The per-file decisions. A file changed locally is never overwritten or
// deleted without the user's consent.
#include "installer/choices.h"

#include <algorithm>
#include <string>
#include <vector>

#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "installer/directory.h"
#include "installer/sub_wins.h"

int choose_files()
{
    // Folders answered for every changed file inside them, for this call only.
    std::vector<std::string> overwrite_dirs, keep_dirs;
    auto listed = [](const std::vector<std::string>& list, const std::string& dir) {
        return std::find(list.begin(), list.end(), dir) != list.end();
    };

    for (std::size_t i = 0; i < sim_info.size(); ++i) {
        std::vector<file_version_struct>& versions = sim_info[i].versions;
        int vi = static_cast<int>(versions.size()) - 1;
        file_version_struct& v = versions[vi];
        if (!want_this_f(static_cast<int>(i), vi, v.kind)) {
            v.download = 0;
            v.nuke = 0;
            continue;
        }
        std::string local = local_path_of(v.path);
        int gone = v.sig_want == kSigGone;
        int present = v.sig_have != kSigNone;

        int act;
        if (!present) {
            act = !gone;
        } else if (v.sig_have == v.sig_want) {
            act = 0;
        } else if (std::any_of(versions.begin(), versions.end(), [&](const file_version_struct& o) {
                       return o.sig_want == v.sig_have;
                   })) {
            act = 1; // an unchanged copy of an older release
        } else {
            std::string dir;
            get_path_with_path(dir, local);
            if (listed(overwrite_dirs, dir)) {
                act = 1;
            } else if (listed(keep_dirs, dir)) {
                act = 0;
            } else {
                xer << "File: " << local << "  sig_want=" << v.sig_want
                    << "  sig_have=" << v.sig_have << "\n"
                    << std::flush;
                switch (engine_windows.ask_modified(local, gone)) {
                case kAskActOnFile:
                    act = 1;
                    break;
                case kAskActOnFolder:
                    overwrite_dirs.push_back(dir);
                    act = 1;
                    break;
                case kAskKeepFolder:
                    keep_dirs.push_back(dir);
                    act = 0;
                    break;
                case kAskCancelAll:
                    return 0;
                default: // kAskKeepFile, and anything unknown keeps the file
                    act = 0;
                    break;
                }
            }
        }
        v.download = act && !gone;
        v.nuke = act && gone;
    }
    return 1;
}
