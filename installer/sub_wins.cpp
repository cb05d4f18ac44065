// The installer's modal windows. Until the screens are drawn these keep the
// engine's flows going without a window: the terms count as accepted and a
// locally changed file is kept, so nothing of the user's is overwritten.
#include "installer/sub_wins.h"

#include "platform/PlatformUtils.h"

int handle_EULA()
{
    return 1;
}

int select_alert(std::string path, int gone)
{
    return kAskKeepFile;
}

void dir_progress_bar(float lo, float value, float hi, int mode, std::string title,
                      std::string detail)
{
}

int pick_folder_none(const std::string& start, std::string& chosen)
{
    return 0;
}

int pick_folder_in_window(const std::string& start, std::string& chosen)
{
    constexpr int kFolderMode = 2;
    constexpr size_t kAnswerSize = 2048; // longer destinations are not supported
    char answer[kAnswerSize];
    if (!GetFilePathFromUser(kFolderMode, "Choose the destination folder", "Select", 1,
                             start.c_str(), answer, sizeof answer))
        return 0;
    chosen = answer;
    return 1;
}
