// Includes run down the ranks of ARCHITECTURE.md: a module (a header and its
// source, "Folder/stem") includes only modules of its own rank or below, and
// the includes among one rank's modules close no circle. The exceptions
// listed under the table are the only includes exempt. The layers below the
// shell reach it only through what it registers at start-up
// (GenH/hl_report.h), and the library declares on its own side what it needs
// of the application (GenH/hl_app.h).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;

struct include_edge {
    std::string from, to; // modules
    std::string where;    // "path:line"
};

struct rank_table {
    std::map<std::string, int> rank;                       // module -> rank
    std::set<std::pair<std::string, std::string>> allowed; // from -> to; to "*": any
};

// The "## Ranks" section: rows "| N | `A`, `B` |" and exception lines
// "- `from` -> `to`: reason".
rank_table parse_ranks(const std::string& markdown)
{
    const std::regex row(R"(^\|\s*(\d+)\s*\|(.*)\|\s*$)");
    const std::regex quoted("`([^`]+)`");
    const std::regex exception(R"(^- `([^`]+)` -> `([^`]+)`)");
    rank_table t;
    std::istringstream in(markdown);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) inside = line == "## Ranks";
        if (!inside) continue;
        std::smatch m;
        if (std::regex_match(line, m, row)) {
            const int rank = std::stoi(m[1]);
            const std::string cells = m[2];
            for (std::sregex_iterator q(cells.begin(), cells.end(), quoted), end; q != end; ++q)
                t.rank[(*q)[1]] = rank;
        } else if (std::regex_search(line, m, exception)) {
            t.allowed.insert({m[1], m[2]});
        }
    }
    return t;
}

// "Folder/stem" of a path relative to the source root; HLutils/ is dropped.
std::string module_of(const std::string& relative)
{
    fs::path p(relative);
    auto it = p.begin();
    if (it != p.end() && *it == "HLutils") ++it;
    if (it == p.end()) return "";
    return it->string() + "/" + p.stem().string();
}

// Every `#include "..."` of the .cpp and .h files under root/<folders>, as
// edges between modules (a module's own header left out); modules gets every
// module that has a file.
std::vector<include_edge> scan_includes(const fs::path& root,
                                        const std::vector<std::string>& folders,
                                        std::set<std::string>* modules)
{
    const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<include_edge> edges;
    for (const std::string& folder : folders) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            const std::string rel = fs::relative(entry.path(), root).generic_string();
            const std::string from = module_of(rel);
            modules->insert(from);
            std::ifstream in(entry.path());
            std::string line;
            std::smatch m;
            for (int n = 1; std::getline(in, line); ++n) {
                if (!std::regex_search(line, m, include)) continue;
                const std::string to = module_of(m[1]);
                if (to != from) edges.push_back({from, to, rel + ":" + std::to_string(n)});
            }
        }
    }
    return edges;
}

// What breaks the ranks, one line each; empty when nothing does.
std::string rank_faults(const rank_table& t, const std::vector<include_edge>& edges)
{
    std::string faults;
    std::map<std::string, std::vector<const include_edge*>> level; // same-rank edges by module
    for (const include_edge& e : edges) {
        if (t.allowed.count({e.from, e.to}) || t.allowed.count({e.from, "*"})) continue;
        const auto from = t.rank.find(e.from), to = t.rank.find(e.to);
        if (from == t.rank.end() || to == t.rank.end()) {
            faults += e.where + ": " + e.from + " -> " + e.to + ": a module without a rank\n";
        } else if (to->second > from->second) {
            faults += e.where + ": " + e.from + " (rank " + std::to_string(from->second) +
                      ") includes " + e.to + " (rank " + std::to_string(to->second) +
                      "): up the ranks\n";
        } else if (to->second == from->second) {
            level[e.from].push_back(&e);
        }
    }
    // Circles among one rank's modules: the strongly connected parts (Tarjan).
    std::map<std::string, int> index, low;
    std::vector<std::string> stack;
    std::set<std::string> on_stack;
    int next = 0;
    std::function<void(const std::string&)> visit = [&](const std::string& v) {
        index[v] = low[v] = next++;
        stack.push_back(v);
        on_stack.insert(v);
        for (const include_edge* e : level[v]) {
            if (!index.count(e->to)) {
                visit(e->to);
                low[v] = std::min(low[v], low[e->to]);
            } else if (on_stack.count(e->to)) {
                low[v] = std::min(low[v], index[e->to]);
            }
        }
        if (low[v] != index[v]) return;
        std::set<std::string> part;
        std::string w;
        do {
            w = stack.back();
            stack.pop_back();
            on_stack.erase(w);
            part.insert(w);
        } while (w != v);
        if (part.size() < 2) return;
        faults += "a circle of " + std::to_string(part.size()) + " modules:\n";
        for (const std::string& m : part)
            for (const include_edge* e : level[m])
                if (part.count(e->to)) faults += "  " + e->where + ": " + m + " -> " + e->to + "\n";
    };
    std::vector<std::string> starts;
    for (const auto& [m, out] : level)
        starts.push_back(m);
    for (const std::string& m : starts)
        if (!index.count(m)) visit(m);
    return faults;
}

std::string read_text(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every line of the sources and headers under HLutils/<folder> that matches
// include, as "path:line: text"; files counts the files read.
std::string includes_matching(const std::vector<std::string>& folders, const std::regex& include,
                              int* files)
{
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

constexpr const char* kTinyTable = R"(# Map
## Ranks
| Rank | Modules |
| --- | --- |
| 1 | `Low/a`, `Low/b`, `Low/e` |
| 2 | `High/c`, `High/d`, `High/f` |

Exceptions:
- `Low/b` -> `High/d`: allowed for the test.
- `Low/e` -> `*`: any include allowed.
## After
| 3 | `Low/not_here` |
)";

} // namespace

TEST(IncludeRule, TheRankTableIsRead)
{
    const rank_table t = parse_ranks(kTinyTable);
    EXPECT_EQ(t.rank, (std::map<std::string, int>{{"Low/a", 1},
                                                  {"Low/b", 1},
                                                  {"Low/e", 1},
                                                  {"High/c", 2},
                                                  {"High/d", 2},
                                                  {"High/f", 2}}));
    EXPECT_EQ(t.allowed.size(), 2u);
    EXPECT_TRUE(t.allowed.count({"Low/b", "High/d"}));
}

// The checker itself can fail: an upward include, a circle within a rank and
// an unranked module are each reported; a named exception and downward or
// same-rank includes that close no circle are not.
TEST(IncludeRule, TheCheckerReportsWhatBreaksTheRanks)
{
    const rank_table t = parse_ranks(kTinyTable);
    struct Case {
        const char* what;
        std::vector<include_edge> edges;
        std::vector<std::string> reported; // substrings; none: no fault
    };
    const std::vector<Case> cases = {
        {"down and across", {{"High/c", "Low/a", "c.cpp:1"}, {"Low/a", "Low/b", "a.cpp:2"}}, {}},
        {"upward",
         {{"Low/a", "High/c", "a.cpp:3"}},
         {"a.cpp:3: Low/a (rank 1) includes High/c (rank 2): up the ranks"}},
        {"allowed upward", {{"Low/b", "High/d", "b.cpp:4"}, {"Low/e", "High/c", "e.cpp:4"}}, {}},
        {"circle",
         {{"High/c", "High/d", "c.cpp:5"}, {"High/d", "High/c", "d.h:6"}},
         {"a circle of 2 modules:\n", "  c.cpp:5: High/c -> High/d\n",
          "  d.h:6: High/d -> High/c\n"}},
        {"circle through three",
         {{"High/c", "High/d", "c.cpp:1"},
          {"High/d", "High/f", "d.cpp:1"},
          {"High/f", "High/c", "f.cpp:1"}},
         {"a circle of 3 modules:\n"}},
        {"circle cut by an exception",
         {{"Low/b", "High/d", "b.cpp:1"}, {"High/d", "Low/b", "d.cpp:1"}},
         {}},
        {"unranked",
         {{"Low/a", "Gone/x", "a.cpp:7"}},
         {"a.cpp:7: Low/a -> Gone/x: a module without a rank"}},
    };
    for (const Case& c : cases) {
        const std::string faults = rank_faults(t, c.edges);
        if (c.reported.empty()) {
            EXPECT_EQ(faults, "") << c.what;
        }
        for (const std::string& r : c.reported)
            EXPECT_NE(faults.find(r), std::string::npos) << c.what << ":\n" << faults;
    }
}

// A tiny tree: files become modules by folder and stem, a module's own header
// is no edge, and an include up the ranks is found where it is written.
TEST(IncludeRule, ATreeWithAnUpwardIncludeFails)
{
    const fs::path root = fs::temp_directory_path() / ("include_rule_" + std::to_string(getpid()));
    fs::create_directories(root / "HLutils/Low");
    fs::create_directories(root / "HLutils/High");
    std::ofstream(root / "HLutils/Low/a.h") << "#pragma once\n";
    std::ofstream(root / "HLutils/Low/a.cpp") << "#include \"Low/a.h\"\n\n#include \"High/c.h\"\n";
    std::ofstream(root / "HLutils/High/c.h") << "#include \"Low/a.h\"\n";
    std::set<std::string> modules;
    const std::vector<include_edge> edges = scan_includes(root, {"HLutils"}, &modules);
    fs::remove_all(root);
    EXPECT_EQ(modules, (std::set<std::string>{"Low/a", "High/c"}));
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_EQ(rank_faults(parse_ranks(kTinyTable), edges),
              "HLutils/Low/a.cpp:3: Low/a (rank 1) includes High/c (rank 2): up the ranks\n");
}

TEST(IncludeRule, IncludesRunDownTheRanks)
{
    const fs::path root(ZUDEZUD_SOURCE_DIR);
    const rank_table t = parse_ranks(read_text(root / "ARCHITECTURE.md"));
    std::set<std::string> modules;
    const std::vector<include_edge> edges = scan_includes(root, {"HLutils", "installer"}, &modules);
    EXPECT_GT(modules.size(), 80u); // the trees were found
    EXPECT_GT(edges.size(), 300u);
    std::string unranked, stale;
    for (const std::string& m : modules)
        if (!t.rank.count(m)) unranked += " " + m;
    for (const auto& [m, rank] : t.rank)
        if (!modules.count(m)) stale += " " + m;
    EXPECT_EQ(unranked, "") << "modules missing from the rank table of ARCHITECTURE.md";
    EXPECT_EQ(stale, "") << "the rank table names modules that are gone";
    EXPECT_EQ(rank_faults(t, edges), "");
}

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

// The globals' headers bring no X11 or GLX header (and its macros) into the
// files that include them: the shell keeps those handles (GenC/hl_x11.h).
TEST(IncludeRule, TheGlobalsIncludeNoXHeader)
{
    const std::regex x_include(R"(^\s*#\s*include\s*<(X11/|GL/glx))");
    int files = 0;
    const std::string found = includes_matching({"GenH"}, x_include, &files);
    EXPECT_GT(files, 10); // the folder was found
    EXPECT_TRUE(found.empty()) << found;
}
