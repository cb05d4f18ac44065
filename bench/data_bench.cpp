// Driver of bench/data_bench.sh: signs every file of a folder with
// calc_file_md5, or extracts every archive of a folder with zip_to_file.
//
//   data_bench md5 <folder/>            prints "<signature>  <file>" lines
//   data_bench unzip <zips/> <out/>     extracts each archive into out/
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Files/io_md5.h"
#include "Files/io_zip.h"

static std::vector<std::string> files_in(const std::string& folder)
{
    std::vector<std::string> out;
    DIR* d = opendir(folder.c_str());
    if (!d) return out;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') out.push_back(folder + e->d_name);
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "md5") == 0) {
        for (const std::string& f : files_in(argv[2])) {
            std::string sig;
            if (calc_file_md5(f, sig) != 0) return 1;
            std::printf("%s  %s\n", sig.c_str(), f.c_str());
        }
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "unzip") == 0) {
        for (const std::string& z : files_in(argv[2])) {
            int err = zip_to_file(z, argv[3], nullptr, 0);
            if (err) {
                std::fprintf(stderr, "%s: %d\n", z.c_str(), err);
                return 1;
            }
        }
        return 0;
    }
    std::fprintf(stderr, "usage: data_bench md5 <folder/> | unzip <zips/> <out/>\n");
    return 2;
}
