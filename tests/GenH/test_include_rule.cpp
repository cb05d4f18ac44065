// Includes run downhill: the layers below the shell never include a header of
// the shell (HLutils/GenC). They reach it only through what it registers at
// start-up (GenH/hl_report.h), so they build and run without a window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

TEST(IncludeRule, NoLayerBelowTheShellIncludesIt)
{
    namespace fs = std::filesystem;
    const fs::path lib = fs::path(ZUDEZUD_SOURCE_DIR) / "HLutils";
    const std::regex shell_include(R"(^\s*#\s*include\s*[<"]GenC/)");
    std::string found;
    int files = 0;
    for (const char* layer : {"Files", "UTL", "Thread", "TEX", "OOPS_cpp", "GenH"}) {
        for (const auto& entry : fs::recursive_directory_iterator(lib / layer)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            ++files;
            std::ifstream in(entry.path());
            std::string line;
            for (int n = 1; std::getline(in, line); ++n)
                if (std::regex_search(line, shell_include))
                    found += entry.path().string() + ":" + std::to_string(n) + ": " + line + "\n";
        }
    }
    EXPECT_GT(files, 40); // the folders were found
    EXPECT_TRUE(found.empty()) << found;
}
