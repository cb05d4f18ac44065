// The release maker of the installer tests (see release_maker.h).
#include "support/release_maker.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "Files/io_md5.h"

namespace
{

struct SourceItem {
    std::string rel;
    std::string content; // file bytes, or the link target
    std::string sig;     // MD5 of what the path reads as (through a link)
    bool link = false;
    unsigned mode = 0644;
    long mtime = 0;
};

bool read_bytes(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

bool write_bytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool make_dirs(const std::string& path)
{
    for (std::size_t k = 1; k <= path.size(); ++k) {
        if (k == path.size() || path[k] == '/') {
            std::string p = path.substr(0, k);
            if (mkdir(p.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

void walk(const std::string& root, const std::string& rel, std::vector<SourceItem>& out)
{
    DIR* d = opendir((root + rel).c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        std::string r = rel + n;
        struct stat st;
        if (lstat((root + r).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            walk(root, r + "/", out);
            continue;
        }
        SourceItem it;
        it.rel = r;
        it.mtime = st.st_mtime;
        it.mode = st.st_mode & 07777;
        if (S_ISLNK(st.st_mode)) {
            char buf[4096];
            ssize_t k = readlink((root + r).c_str(), buf, sizeof buf);
            if (k < 0) continue;
            it.link = true;
            it.content.assign(buf, static_cast<std::size_t>(k));
            std::string through;
            it.sig = read_bytes(root + r, through) ? md5_text(through) : "NONE";
        } else if (S_ISREG(st.st_mode)) {
            if (!read_bytes(root + r, it.content)) continue;
            it.sig = md5_text(it.content);
        } else {
            continue;
        }
        out.push_back(it);
    }
}

long kb_of(long long bytes)
{
    return static_cast<long>((bytes + 1023) / 1024);
}

long long file_size(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

std::string folder_of(const std::string& rel)
{
    std::size_t s = rel.rfind('/');
    return s == std::string::npos ? "" : rel.substr(0, s + 1);
}

std::string base_of(const std::string& rel)
{
    std::size_t s = rel.rfind('/');
    return s == std::string::npos ? rel : rel.substr(s + 1);
}

} // namespace

std::string md5_text(const std::string& bytes)
{
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    MD5Final(&ctx);
    return md5_digest_text(ctx);
}

bool write_one_entry_zip(const std::string& zip_path, const std::string& entry_name,
                         const std::string& data, unsigned mode, long mtime)
{
    zipFile zf = zipOpen64(zip_path.c_str(), APPEND_STATUS_CREATE);
    if (!zf) return false;
    zip_fileinfo zi;
    memset(&zi, 0, sizeof zi);
    time_t t = static_cast<time_t>(mtime);
    struct tm lt;
    localtime_r(&t, &lt);
    zi.tmz_date.tm_sec = lt.tm_sec;
    zi.tmz_date.tm_min = lt.tm_min;
    zi.tmz_date.tm_hour = lt.tm_hour;
    zi.tmz_date.tm_mday = lt.tm_mday;
    zi.tmz_date.tm_mon = lt.tm_mon;
    zi.tmz_date.tm_year = lt.tm_year + 1900;
    zi.external_fa = static_cast<uLong>(mode) << 16;
    const uLong made_by_unix = (3u << 8) | 20u; // so unzip(1) also restores modes
    int err =
        zipOpenNewFileInZip4_64(zf, entry_name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr,
                                Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                Z_DEFAULT_STRATEGY, nullptr, 0, made_by_unix, 0, 0);
    if (err == ZIP_OK && !data.empty())
        err = zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size()));
    if (err == ZIP_OK) err = zipCloseFileInZip(zf);
    int cerr = zipClose(zf, nullptr);
    return err == ZIP_OK && cerr == ZIP_OK;
}

std::vector<ReleaseEntry> make_release(const ReleasePlan& plan, const std::string& web_root,
                                       std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::vector<ReleaseEntry>();
    };
    std::vector<SourceItem> items;
    walk(plan.source, "", items);

    // Every listed path, in byte order, with what it is.
    std::map<std::string, const SourceItem*> shipped;
    for (const SourceItem& it : items)
        shipped[it.rel] = &it;
    std::vector<std::string> rels;
    for (const auto& s : shipped)
        rels.push_back(s.first);
    for (const auto& g : plan.gone)
        rels.push_back(g.first);
    std::sort(rels.begin(), rels.end());

    // One folder per distinct published server path holds the release.
    std::vector<std::string> release_dirs;
    for (const ReleaseServer& s : plan.servers) {
        std::string dir = web_root + s.path.substr(1) + plan.name + "/";
        if (std::find(release_dirs.begin(), release_dirs.end(), dir) == release_dirs.end())
            release_dirs.push_back(dir);
    }
    if (release_dirs.empty()) return fail("no server");

    std::vector<ReleaseEntry> entries;
    std::ostringstream list;
    list << "I\n" << plan.dir_version << " version\nINSTALLER\n\n";
    std::string current_dir = "\x01";
    for (const std::string& rel : rels) {
        std::string folder = folder_of(rel);
        if (folder != current_dir) {
            list << "DIR " << plan.top << "/" << folder << "\n";
            current_dir = folder;
        }
        auto pf = plan.platform.find(rel);
        int os = pf == plan.platform.end() ? 0 : pf->second;
        ReleaseEntry e;
        e.rel = rel;
        e.request = plan.name + "/" + plan.top + "/" + rel + ".zip";
        auto g = plan.gone.find(rel);
        if (g != plan.gone.end()) {
            list << "FILE 0 " << os << " 0 1 " << kb_of(static_cast<long long>(g->second.size()))
                 << " " << md5_text(g->second) << " " << base_of(rel) << "\n";
            list << "FILE 0 " << os << " 0 0 0 GONE " << base_of(rel) << "\n";
            e.sig = "GONE";
            entries.push_back(e);
            continue;
        }
        const SourceItem& it = *shipped[rel];
        auto old = plan.older.find(rel);
        if (old != plan.older.end())
            for (const std::string& o : old->second)
                list << "FILE 0 " << os << " 0 1 " << kb_of(static_cast<long long>(o.size())) << " "
                     << md5_text(o) << " " << base_of(rel) << "\n";
        unsigned mode = it.link ? (S_IFLNK | 0777) : (S_IFREG | it.mode);
        for (const std::string& dir : release_dirs) {
            std::string zip = dir + plan.top + "/" + rel + ".zip";
            if (!make_dirs(folder_of(zip).substr(0, folder_of(zip).size() - 1)) ||
                !write_one_entry_zip(zip, base_of(rel), it.content, mode, it.mtime))
                return fail("cannot write " + zip);
            e.zip_path = zip;
        }
        e.sig = it.sig;
        list << "FILE 0 " << os << " 0 " << kb_of(file_size(e.zip_path)) << " "
             << kb_of(static_cast<long long>(it.content.size())) << " " << it.sig << " "
             << base_of(rel) << "\n";
        entries.push_back(e);
    }
    for (const std::string& dir : release_dirs) {
        if (!make_dirs(dir.substr(0, dir.size() - 1)) ||
            !write_one_entry_zip(dir + "directory.txt.zip", "directory.txt", list.str(),
                                 S_IFREG | 0644, static_cast<long>(time(nullptr))))
            return fail("cannot write the directory list in " + dir);
    }

    std::ostringstream servers;
    servers << "I\n820 version\nSERVERS\n\nFINAL " << plan.name << "\n";
    for (const ReleaseServer& s : plan.servers)
        servers << "SERVER " << s.host << "\n" << s.path << "\n" << s.desc << "\n";
    servers << "ENDOFLIST\n";
    if (!write_bytes(web_root + "serverlist.txt", servers.str()))
        return fail("cannot write serverlist.txt");
    return entries;
}
