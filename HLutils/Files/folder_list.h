// Folder listing: the entries of a folder as names and kinds, sorted by name
// without regard to letter case. (The open and save picker that shows such
// listings is OOPS_cpp/open_save.)
#pragma once

#include <string>
#include <vector>

// Kinds of entries.
enum {
    kItemFile = 0,   // a plain file without a known extension
    kItemFolder = 1, // a folder (or a sub-level of the command table)
    kItemImage = 2,  // .BMP, .PNG
    kItemAircraft = 3,
    kItemAirfoil = 4,
    kItemWeapon = 5,
    kItemSound = 6,
    kItemObject = 7,
    kItemFdr = 8,
    kItemSituation = 9,
    kItemMovie = 10,
    kItemFms = 11,
    kItemTrain = 13,
    kItemCar = 14,
    kItemSpace = 15,
    kItemRegion = 16,
    kItemDsf = 17,
    kItemHgt = 18,
    kItemText = 19,
};

// Listing types: 2..19 keep folders plus files of that kind.
enum {
    kListAll = 0,          // every entry
    kListFolders = 1,      // folders only
    kListPanelImages = 12, // images, without the cockpit panel files
    kListNothing = 20,     // nothing, the disk is not touched
    kListCommands = 21,    // levels of the command table
};

// The levels of the command table below a path, for kListCommands: the
// command table registers it (OOPS_cpp/cmnd.cpp). Without one the type lists
// nothing.
using opensave_commands_fn = void (*)(const std::string& path, std::vector<std::string>& names);
void opensave_set_commands(opensave_commands_fn fn);

// Fills names and kinds (parallel) with the entries of app_path + folder
// that the type keeps and returns their number. The folder must end in '/'
// (a fatal alert otherwise); one that cannot be opened gives 0.
int opensave_getitems(const std::string& folder, int type, std::vector<std::string>& names,
                      std::vector<int>& kinds);
