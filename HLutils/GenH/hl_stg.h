// The installer's settings and state record. It is a library global (the
// preferences file reads and writes it) but its meaning is the installer's.
#pragma once

// Directory states (stg.dir_state).
enum { kDirFetch = 0, kDirScan = 1, kDirBadFormat = 2, kDirReady = 3 };
// Target platforms (stg.target_platform).
enum { kPlatMac = 1, kPlatWindows = 2, kPlatLinux = 3 };
// Install states (stg.install_state).
enum { kInstallIdle = 0, kInstalling = 1, kInstallFinished = 2 };

struct stg_struct {
    int dir_state;
    int target_platform;
    int _log_actions;
    int install_state;
    int download_failed;
    int extract_error;
    int server_count;       // -1 before the server list is read
    int chosen_server;
    int status_code;        // which status line the screen shows
    float file_fraction;
    int _use_max_cpu;
    int _rename_folder;
    int _stream_count;
    int _always_ask_dir;
    double total_down_kb;
    double total_disk_kb;
};
