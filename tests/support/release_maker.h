// Makes a release the way the maker's servers publish one, from a folder
// tree: "serverlist.txt", and per server path "<path><release>/directory.txt.zip"
// plus one zip per file ("<path><release>/<top>/<file>.zip"), each archive
// holding the file under its own name with its mode, date or link target.
//
//   ReleasePlan plan;
//   plan.source = tree.path();              // Resources/a.txt, bin/run, ...
//   plan.servers = {{"files.test", "/files/", "Main server"}};
//   plan.platform["bin/run"] = 3;          // a Linux program file
//   plan.gone["old/dropped.txt"] = "its old content";
//   make_release(plan, web_root);
#pragma once

#include <map>
#include <string>
#include <vector>

struct ReleaseServer {
    std::string host, path, desc; // path starts and ends with '/'
};

struct ReleasePlan {
    std::string source;          // the release tree, ending in '/'
    std::string name = "9.00r1"; // the release name ("FINAL")
    std::string top = "Zudezud"; // first component of every listed path
    int dir_version = 900;
    std::vector<ReleaseServer> servers;
    std::map<std::string, int> platform; // relative path -> platform code (default 0)
    // Files the release no longer ships: relative path -> the content an
    // older release had. Listed as that old version followed by "GONE".
    std::map<std::string, std::string> gone;
    // Older contents of shipped files, listed before the current version.
    std::map<std::string, std::vector<std::string>> older;
};

// One listed file, as the release maker wrote it.
struct ReleaseEntry {
    std::string rel;      // path below the top folder
    std::string sig;      // MD5 text, "GONE" for a dropped file
    std::string zip_path; // the archive on disk ("" for a dropped file)
    std::string request;  // the request path below a server path prefix
};

// Writes the release under web_root (ending in '/'). Returns the listed
// files in list order, or an empty list with *error set on failure.
std::vector<ReleaseEntry> make_release(const ReleasePlan& plan, const std::string& web_root,
                                       std::string* error = nullptr);

// A zip archive with one entry written by minizip. mode holds the type bits
// (S_IFREG or S_IFLNK); for a link, data is the target text.
bool write_one_entry_zip(const std::string& zip_path, const std::string& entry_name,
                         const std::string& data, unsigned mode, long mtime);

// MD5 text of bytes.
std::string md5_text(const std::string& bytes);
