// The installer's settings and state record. It is a library global (the
// preferences file reads and writes it) but its meaning is the installer's.
#pragma once

// Directory states (stg.dir_state).
enum {
    kDirFetch = 0,     // the directory archive is being fetched
    kDirScan = 1,      // unpacked, must be read and the disk signed
    kDirBadFormat = 2, // refused (format too new, or unsafe); final
    kDirReady = 3,     // read and the disk scanned
};
// Target platforms (stg.target_platform).
enum { kPlatMac = 1, kPlatWindows = 2, kPlatLinux = 3 };
// Install states (stg.install_state).
enum { kInstallIdle = 0, kInstalling = 1, kInstallFinished = 2 };
// What the last download step did (stg.status_code).
enum {
    kStatusDeleting = 0,    // deleting a file the release dropped
    kStatusDownloading = 1, // fetching an archive
    kStatusHaveIt = 2,      // passing over a file the user already has
    kStatusNotNeeded = 3,   // passing over a file the user does not need
};

// Field order is fixed: other code and the preferences table name the fields.
struct stg_struct {
    int dir_state;       // kDir*
    int target_platform; // kPlat*; not saved, every run starts with Linux
    int _log_actions;    // 1: log deletions, extractions and folder removals
    int install_state;   // kInstall*
    int download_failed; // 1 while the last transfer of a file failed
    int extract_error;   // 1 once an archive failed to unpack this installation
    int server_count;    // servers read from the server list; -1 before
    int chosen_server;   // index into the server tables (-1 with no server)
    int status_code;     // kStatus*
    float file_fraction; // part of the current archive received, 0..1; -0.01 unknown
    int _use_max_cpu;    // 1: the frame loop does not wait between frames
    int _rename_folder;  // 1: rename the folder to the release name when done
    int _stream_count;   // 0 automatic, else the wanted number of streams
    int _always_ask_dir; // 1: ask for the destination at every start
    float total_down_kb; // kilobytes an installation would download
    float total_disk_kb; // kilobytes an installation would write
};

// The defaults main sets before the preferences are read. _log_actions is left
// as it is (zero-filled) until the preferences fill it.
inline void stg_set_defaults(stg_struct& s)
{
    s.dir_state = kDirFetch;
    s.target_platform = kPlatLinux;
    s.install_state = kInstallIdle;
    s.download_failed = 0;
    s.extract_error = 0;
    s.server_count = -1;
    s.chosen_server = 0;
    s.status_code = kStatusNotNeeded;
    s.file_fraction = 0.0f;
    s._use_max_cpu = 0;
    s._rename_folder = 1;
    s._stream_count = 0;
    s._always_ask_dir = 0;
    s.total_down_kb = 0.0f;
    s.total_disk_kb = 0.0f;
}
