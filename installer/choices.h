// The per-file decisions: download, delete or keep each file of the list.
//
// Installing starts only once every file has its decision.
#pragma once

// Sets download and nuke of every file's current version, asking about files
// changed locally. 1 when done, 0 when the user cancelled.
int choose_files();
