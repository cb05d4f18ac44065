// Shared by the unpack drivers: visits every archive of a tree of zips in
// one order, making the matching folders of the output tree on the way.
#pragma once

#include <ftw.h>
#include <sys/stat.h>

#include <functional>
#include <string>

// For each <zips/>D/x.zip calls unpack(archive, <out/>D/) after making
// <out/>D/; stops at the first false. Returns true when every call did.
inline bool for_each_zip(std::string zips, std::string out,
                         const std::function<bool(const std::string&, const std::string&)>& unpack)
{
    static std::string s_out;
    static size_t s_cut;
    static const std::function<bool(const std::string&, const std::string&)>* s_unpack;
    while (zips.size() > 1 && zips.back() == '/')
        zips.pop_back();
    if (out.back() != '/') out += '/';
    s_out = out;
    s_cut = zips.size() + 1;
    s_unpack = &unpack;
    auto visit = [](const char* path, const struct stat*, int type, struct FTW*) -> int {
        std::string p = path;
        std::string rel = p.size() > s_cut ? p.substr(s_cut) : std::string();
        if (type == FTW_D) {
            if (!rel.empty()) mkdir((s_out + rel).c_str(), 0755);
            return 0;
        }
        if (type != FTW_F || rel.size() < 4 || rel.compare(rel.size() - 4, 4, ".zip") != 0)
            return 0;
        std::string dir = s_out + rel.substr(0, rel.rfind('/') + 1);
        return (*s_unpack)(p, dir) ? 0 : 1;
    };
    return nftw(zips.c_str(), visit, 64, FTW_PHYS) == 0;
}
