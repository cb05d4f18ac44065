// The download streams: walking the directory list with up to four
// parallel transfers, unpacking each archive into place.
//
// With the library's workers running (the program), a stream whose download has
// completed hands its archive over and takes its next entry at once, so the
// pump keeps every stream receiving. One worker call extracts the handed
// archives one after the other, in order, also while the frame waits, each
// under its stream's name and deleted right after. Every download pass first
// finishes, on the main thread, the entries whose extraction has ended: the
// extraction's log lines (buffered on the worker), the alert, the "EXPANDING"
// and "DELETING" lines and the totals, in the order of one entry. The
// installation is complete only when nothing is left to extract; a failed
// extraction ends it at the end of that pass. Without the workers (the engine
// tests) the pump extracts itself (extract_and_delete_file).
//
// While a stream's archives wait, it downloads into its other names, and takes
// another only while the waiting archives stay under 64 MiB, so huge files
// never fill the temporary folder. A download starts only while the
// temporary folder's disk, less what running downloads will still write, holds
// its archive (and its extraction on the destination's disk); a failed one's
// file is deleted at once, one that found the disk full is tried again on the
// same server, and a folder that cannot hold one archive ends the installation
// with one alert. The reset (QUIT, the end of an installation)
// waits for the running extraction and drops the waiting ones; main waits for
// it before removing the temporary folder (a fatal alert does not wait).
#pragma once

#include <string>

constexpr int kStreams = 4; // file streams; stream i uses network slot kNetSlotFirstStream + i

// The stream table. One instance, `next`.
class next_class
{
  public:
    int file_cursor = 0; // next entry a stream takes
    int all_done = 0;    // set once every active stream ran past the list; never cleared
    int stream_active[kStreams] = {};
    int stream_needs_file[kStreams] = {};
    int stream_file[kStreams] = {};
    float reset_time = 0;    // clock seconds at the last reset
    float kb_partial = 0;    // kilobytes in transfer, this pass
    float kb_downloaded = 0; // down_kb of the entries installed since the reset
    float kb_installed = 0;  // disk_kb of the entries installed since the reset

    // Two streams, counters cleared, running transfers cancelled and their
    // archives deleted.
    void reset_all_streams();
};
extern next_class next;

// One pass over the streams. 1 when the installation is complete, else the
// extraction-error flag.
int grab_files();

// Unpacks a downloaded archive for the file at destination, then deletes it.
void extract_and_delete_file(std::string archive, std::string destination);

// Waits for the extractions handed to a worker, if any, and finishes their
// entries (log lines, alerts, the archives deleted). Whoever ends the
// program does it before removing the temporary folder; the reset does it
// for the archive being extracted and drops the others.
void wait_for_unpacking();

// Streams wanted for an average rate (kilobytes per second); a non-zero
// stream_count replaces the automatic number.
int wanted_streams(float rate, int stream_count);

// The temporary archive of stream i: temp_path + digit + ".zip".
std::string stream_archive(int i);

// While a worker extracts, a stream's archives wait under its names 0 to
// kArchiveNames - 1; the worker extracts each under name 0 (stream_archive).
// The name the next download of kb goes to, for a stream holding the names
// whose bits are set in held while waiting_kb are handed over in all: name 0
// only while it holds none, another only while the waiting ones and this one
// stay under kWaitingKb; -1: none, the stream waits.
constexpr int kArchiveNames = 8;
constexpr float kWaitingKb = 65536.0f;
int archive_name_for(int held, float waiting_kb, float kb);

// Seconds from the installer's clock (the microsecond clock).
double engine_seconds();
