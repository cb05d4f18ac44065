// The zip writer: one file packed as the only entry of a new archive, on
// minizip. The archive is written under a temporary name beside it and
// renamed into place when complete, so a failure leaves any old archive and
// the source as they were.
#pragma once

#include <string>

// Packs app_path + src into a new archive app_path + zip, deflated, under the
// name after src's last '/', with the file's modification time (local time,
// kept within the DOS date range 1980-2107) and its mode in the upper 16
// bits of the external attributes. Files of any size (zip64 when needed).
// Returns 0, kErrFileOpenRead (src not readable), kErrZipCreate (archive not
// created, or src and zip are the same file), a minizip code, or the errno
// of the final rename. A failure is logged once.
int file_to_zip(std::string src, std::string zip);
