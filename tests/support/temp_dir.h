// A private temporary folder for one test, removed with everything in it.
#pragma once

#include <string>

class TempDir
{
  public:
    TempDir();  // fails the test (and aborts it) when no folder can be made
    ~TempDir(); // removes the folder tree
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's absolute path, ending in '/'.
    const std::string& path() const { return path_; }
    // path() + rel.
    std::string operator/(const std::string& rel) const { return path_ + rel; }

    // Writes a file (parents must exist) and makes a folder, relative to path().
    void write(const std::string& rel, const std::string& content = "") const;
    void mkdir(const std::string& rel) const;
    // The whole content of a file, "" when it cannot be read.
    static std::string read(const std::string& full_path);
    static bool exists(const std::string& full_path);

  private:
    std::string path_;
};

// HOME set to a private temporary folder (path() without the final '/')
// while it lives; the earlier value, or its absence, comes back after.
class PrivateHome : public TempDir
{
  public:
    PrivateHome();
    ~PrivateHome();

  private:
    bool had_home_ = false;
    std::string old_home_;
};

// The program log (xer) on Log.txt in a test's folder, for tests that read
// what was logged. Opening returns false when the file cannot be made.
bool open_log_in(const TempDir& dir);
// What was logged so far (xer flushed first).
std::string read_log_in(const TempDir& dir);
// Closes xer and resets its state and format for the next test.
void close_log();
