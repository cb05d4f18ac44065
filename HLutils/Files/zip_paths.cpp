// Confinement of entry names and link targets: each path is walked below the
// root as the kernel would walk it, following the links already on disk.
#include "Files/zip_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <deque>

namespace
{

// Links followed while checking one path (the kernel's own limit).
constexpr int kMaxLinkHops = 40;

std::vector<std::string> split_path(const std::string& path)
{
    std::vector<std::string> out;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        out.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    return out;
}

std::string join_path(const std::string& root, const std::vector<std::string>& comps)
{
    std::string out = root;
    for (size_t i = 0; i < comps.size(); ++i) {
        if (i) out += '/';
        out += comps[i];
    }
    return out;
}

// Whether a link as the last component of a walk is followed.
enum class last_link { keep, follow };

// What a ".." may step out of. as_found: any folder the walk is in, except
// that out of the trusted components it must be a real folder. real_only:
// always a real folder reached without following any link, since a missing
// name, a file or a link there could later be replaced by a link of another
// entry, and the ".." would then lead elsewhere.
enum class parent_steps { as_found, real_only };

// Walks comps below root as the kernel would, following links already on
// disk. Fails when the walk leaves root, meets an absolute link or loops,
// or passes a link in `made` (links this extraction made; null: none).
// resolved gets the components reached.
// The first `trusted` components (the target folder, chosen by the caller)
// are taken as they are; a ".." may step out of one only when it is a real
// folder, since out of a link the kernel would go elsewhere.
int walk_inside(const std::string& root, const std::vector<std::string>& comps, size_t trusted,
                const std::set<std::string>* made, last_link last, parent_steps up,
                std::vector<std::string>* resolved)
{
    const bool strict_up = up == parent_steps::real_only;
    std::deque<std::string> todo(comps.begin(), comps.end());
    std::vector<std::string> cur;
    size_t trusted_left = trusted; // of todo's first entries
    size_t trusted_in_cur = 0;     // of cur's first entries
    int hops = 0;
    bool followed = false;
    while (!todo.empty()) {
        std::string c = todo.front();
        todo.pop_front();
        bool as_is = trusted_left > 0;
        if (as_is) --trusted_left;
        if (c.empty() || c == ".") continue;
        if (c == "..") {
            if (cur.empty()) return kErrZipUnsafeName;
            bool leaves_trusted = cur.size() <= trusted_in_cur;
            if (strict_up || leaves_trusted) {
                struct stat st;
                if ((strict_up && followed) || lstat(join_path(root, cur).c_str(), &st) != 0 ||
                    !S_ISDIR(st.st_mode))
                    return kErrZipUnsafeName;
            }
            cur.pop_back();
            if (leaves_trusted) trusted_in_cur = cur.size();
            continue;
        }
        cur.push_back(c);
        if (as_is) {
            trusted_in_cur = cur.size();
            continue;
        }
        if (todo.empty() && last == last_link::keep) break;
        std::string path = join_path(root, cur);
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        if (made && made->count(path)) return kErrZipUnsafeName;
        if (++hops > kMaxLinkHops) return kErrZipUnsafeName;
        char target[kZipMaxLinkTarget + 1];
        ssize_t n = readlink(path.c_str(), target, kZipMaxLinkTarget);
        if (n <= 0) return kErrZipUnsafeName;
        if (target[0] == '/') return kErrZipUnsafeName;
        followed = true;
        cur.pop_back();
        std::vector<std::string> more = split_path(std::string(target, (size_t)n));
        todo.insert(todo.begin(), more.begin(), more.end());
    }
    if (resolved) *resolved = cur;
    return 0;
}

// How many leading components of comps are the target folder itself.
size_t base_part(const zip_confinement& c, const std::vector<std::string>& comps)
{
    size_t n = 0;
    while (n < c.base.size() && n < comps.size() && comps[n] == c.base[n])
        ++n;
    return n == c.base.size() ? n : 0;
}

} // namespace

bool zip_confine(const std::string& root, const std::string& folder, zip_confinement* c)
{
    c->root = root;
    c->base.clear();
    if (folder.compare(0, root.size(), root) != 0) return false;
    for (const std::string& name : split_path(folder.substr(root.size()))) {
        if (name == "..") return false;
        if (!name.empty() && name != ".") c->base.push_back(name);
    }
    return true;
}

int zip_check_entry_name(const std::string& rel, zip_name_kind kind)
{
    if (rel.empty()) return kErrZipBadName;
    if (rel.size() >= (size_t)kZipNameBuf) return kErrZipNameTooLong;
    if (rel.find('\0') != std::string::npos) return kErrZipBadName;
    if (rel[0] == '/') return kErrZipUnsafeName;
    std::vector<std::string> comps = split_path(rel);
    for (const std::string& c : comps)
        if (c == "..") return kErrZipUnsafeName;
    if (kind == zip_name_kind::file) {
        const std::string& last = comps.back();
        if (last.empty() || last == ".") return kErrZipBadName;
    }
    return 0;
}

int zip_safe_target(const zip_confinement& c, const std::string& rel, std::string* out)
{
    std::vector<std::string> comps = c.base;
    for (const std::string& name : split_path(rel))
        comps.push_back(name);
    std::string last = comps.back();
    comps.pop_back();
    std::vector<std::string> parent;
    int err = walk_inside(c.root, comps, c.base.size(), &c.links, last_link::follow,
                          parent_steps::as_found, &parent);
    if (err) return err;
    if (!last.empty() && last != ".") parent.push_back(last);
    *out = join_path(c.root, parent);
    return 0;
}

int zip_check_link_target(const zip_confinement& c, const std::string& path,
                          const std::string& target)
{
    if (!target.empty() && target[0] == '/') return kErrZipUnsafeName;
    // The link's folder, then the target from there.
    std::vector<std::string> comps = split_path(path.substr(c.root.size()));
    comps.pop_back();
    const size_t trusted = base_part(c, comps);
    for (const std::string& name : split_path(target))
        comps.push_back(name);
    return walk_inside(c.root, comps, trusted, nullptr, last_link::follow, parent_steps::real_only,
                       nullptr);
}
