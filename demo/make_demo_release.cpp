// Writes a small demo release into a web root, the way the maker's servers
// publish one: "serverlist.txt", the zipped directory list and one archive per
// file. Used by scripts/demo.sh.
//
//   make_demo_release <web root>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/release_maker.h"

static bool write_file(const std::string& path, const std::string& text, mode_t mode = 0644)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    return out && chmod(path.c_str(), mode) == 0;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <web root>\n", argv[0]);
        return 2;
    }
    std::string root = argv[1];
    if (root.back() != '/') root += '/';
    const std::string src = root + "source/";

    for (const char* dir : {"", "Resources", "Resources/plugins", "Instructions", "Aircraft"})
        mkdir((src + dir).c_str(), 0755);
    bool ok = write_file(src + "Instructions/Readme.txt",
                         "Welcome to Zudezud.\nThis is a demo release served on loopback.\n") &&
              write_file(src + "Resources/settings.txt", "I\n900 version\nSETTINGS\n") &&
              write_file(src + "Aircraft/c172.acf", std::string(200000, 'a')) &&
              write_file(src + "Zudezud-demo", "#!/bin/sh\necho Zudezud demo\n", 0755);
    if (!ok) {
        std::fprintf(stderr, "cannot write the demo tree under %s\n", src.c_str());
        return 1;
    }

    ReleasePlan plan;
    plan.source = src;
    plan.name = "Zudezud 9.00 demo";
    plan.servers = {{"files.zudezud.test", "/files/", "Loopback demo server"}};
    plan.platform["Zudezud-demo"] = 3;
    std::string error;
    if (make_release(plan, root, &error).empty()) {
        std::fprintf(stderr, "cannot make the demo release: %s\n", error.c_str());
        return 1;
    }
    std::printf("demo release written under %s\n", root.c_str());
    return 0;
}
