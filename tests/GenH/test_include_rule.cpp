// Includes run downhill: the layers below the shell never include a header of
// the shell (HLutils/GenC). They reach it only through what it registers at
// start-up (GenH/hl_report.h), so they build and run without a window. And
// the library includes nothing of the application: what it needs from it is
// declared on its own side (GenH/hl_app.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace
{

// Every line of the sources and headers under HLutils/<folder> that matches
// include, as "path:line: text"; files counts the files read.
std::string includes_matching(const std::vector<std::string>& folders, const std::regex& include,
                              int* files)
{
    namespace fs = std::filesystem;
    const fs::path lib = fs::path(ZUDEZUD_SOURCE_DIR) / "HLutils";
    std::string found;
    for (const std::string& folder : folders) {
        for (const auto& entry : fs::recursive_directory_iterator(lib / folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".c")) continue;
            ++*files;
            std::ifstream in(entry.path());
            std::string line;
            for (int n = 1; std::getline(in, line); ++n)
                if (std::regex_search(line, include))
                    found += entry.path().string() + ":" + std::to_string(n) + ": " + line + "\n";
        }
    }
    return found;
}

} // namespace

TEST(IncludeRule, NoLayerBelowTheShellIncludesIt)
{
    const std::regex shell_include(R"(^\s*#\s*include\s*[<"]GenC/)");
    int files = 0;
    const std::string found = includes_matching(
        {"Files", "UTL", "Thread", "TEX", "OOPS_cpp", "GenH"}, shell_include, &files);
    EXPECT_GT(files, 40); // the folders were found
    EXPECT_TRUE(found.empty()) << found;
}

TEST(IncludeRule, TheLibraryIncludesNothingOfTheInstaller)
{
    const std::regex installer_include(R"(^\s*#\s*include\s*[<"](\.\./)*installer/)");
    int files = 0;
    const std::string found = includes_matching({"."}, installer_include, &files);
    EXPECT_GT(files, 100); // the whole library was read
    EXPECT_TRUE(found.empty()) << found;
}
