// The table of user-interface strings, addressed by slot number 0..2210.
#pragma once

#include <string>

// Slots in use in this program.
enum {
    kStlsWindowTitle = 0, // title of the current window
    kStlsTitle999 = 77,
    kStlsTitleAlert = 601,
    kStlsTitle996_997 = 602,
    kStlsAlertButton = 603, // "OK", set by main
    kStlsCancel = 607,      // the open and save picker's cancel button; unset here
    kStlsTitle994 = 613,
    kStlsTitlePicker = 614,
    kStlsTooltip = 1802, // drawn and emptied by the tooltip routine each frame
    kStlsSlotCount = 2211,
};

class stls_class
{
  public:
    // Slot access; slots 1804, 1808 and 1810 are ints nothing uses, so they
    // have no string and answer an empty one.
    std::string& operator[](int slot);

    int int_1804 = 0, int_1808 = 0, int_1810 = 0;

  private:
    std::string s0_;
    std::string a_[1800]; // slots 1 .. 1800
    std::string s1801_, s1802_, s1803_;
    std::string s1805_, s1806_, s1807_, s1809_;
    std::string b_[400]; // slots 1811 .. 2210
    std::string none_;   // returned for the int slots and out-of-range
};
