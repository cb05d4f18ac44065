// The second alert window (996): a question about one named thing with two or
// three answers. The application fills its texts; nothing in the installer
// opens it.
#pragma once

#include <string>

constexpr int kWinNukeAlert = 996; // 300 x 166, modal, title slot 602

// stls slots of its texts (the title is slot 602, set by the window start).
enum {
    kStlsNukeButton1 = 608,    // first answer
    kStlsNukeButton2 = 609,    // second answer
    kStlsNukeButton3 = 610,    // optional third answer
    kStlsNukeBeforeName = 611, // question text before the name
    kStlsNukeAfterName = 612,  // question text after the name (and one blank)
};

// Asks the question about `name` until one of its buttons is clicked: 1, 2,
// or 3 (only when `third` is nonzero). Leaving the window any other way
// (a quit request, another window started) answers 3. Window 0 is current
// afterwards when a button answered. Main thread; before the window is
// ready it answers 3 at once.
int VOVARU_nuke_alert(std::string name, int third);

// One frame of window 996 (it must be current): draws it and answers the
// button clicked in this frame (1..3), or 0 when none was; stops at the
// first clicked button, as the window ends there.
int VOVARU_nuke_alert_frame(const std::string& name, int third);
