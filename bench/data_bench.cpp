// Driver of bench/data_bench.sh: signs every file of a tree with
// calc_file_md5, or extracts every archive of a tree of zips with zip_to_file.
//
//   data_bench md5 <folder/>            prints "<signature>  <file>" lines
//   data_bench unzip <zips/> <out/>     <zips/>D/x.zip is extracted into <out/>D/
#include <ftw.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Files/io_md5.h"
#include "Files/io_zip.h"
#include "GenH/hl_types.h"
#include "zip_tree.h"

static int sign_one(const char* path, const struct stat*, int type, struct FTW*)
{
    if (type != FTW_F) return 0;
    std::string sig;
    if (calc_file_md5(path, sig) != 0) return 1;
    std::printf("%s  %s\n", sig.c_str(), path);
    return 0;
}

int main(int argc, char** argv)
{
    xer.open("/dev/null");
    if (argc >= 3 && std::strcmp(argv[1], "md5") == 0)
        return nftw(argv[2], sign_one, 64, FTW_PHYS) == 0 ? 0 : 1;
    if (argc >= 4 && std::strcmp(argv[1], "unzip") == 0) {
        const std::string root = argv[3];
        bool ok = for_each_zip(argv[2], root, [&](const std::string& zip, const std::string& dir) {
            int err = zip_to_file(zip, dir, nullptr, 0, root);
            if (err) std::fprintf(stderr, "%s: %d\n", zip.c_str(), err);
            return err == 0;
        });
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "usage: data_bench md5 <folder/> | unzip <zips/> <out/>\n");
    return 2;
}
