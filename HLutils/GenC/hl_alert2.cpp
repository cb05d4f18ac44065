// The second alert window: a question about one named thing, two or three
// answers, drawn with the real widgets and run by the frame pass.
#include "GenC/hl_alert2.h"

#include "GenC/hl_menu_edit.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"

namespace
{
constexpr int kColQuestion = 43;
constexpr float kMargin = 20;       // question and buttons keep this from the sides
constexpr float kQuestionDrop = 40; // question baseline below the window top
constexpr float kUpperButtonY = 60, kLowerButtonY = 25;
constexpr int kButtonStyle = 1; // pressed look at once
const char* const kNoSideText = "-";

// The buttons are placed by the menu text measure, and fitted to their labels.
int answer_button(float x, float y, const std::string& label)
{
    return BTN_action(x, y, 0, 0, kButtonStyle, label, kNoSideText);
}
} // namespace

int VOVARU_nuke_alert_frame(const std::string& name, int third)
{
    const std::string question = stls[kStlsNukeBeforeName] + name + " " + stls[kStlsNukeAfterName];
    OGL_plot_back_col();
    BTN_fillwin(1, kPanelNone);
    OGL_string(kColQuestion, kMargin, mnw.win_h - kQuestionDrop, question, mnw.win_w - 2 * kMargin,
               kCharsetProp, kTextLeft);

    const std::string& first = stls[kStlsNukeButton1];
    if (answer_button(menu_dx(first) / 2 + kMargin, kUpperButtonY, first)) return 1;
    const std::string& second = stls[kStlsNukeButton2];
    if (answer_button(menu_dx(second) / 2 + kMargin, kLowerButtonY, second)) return 2;
    if (third) {
        const std::string& label = stls[kStlsNukeButton3];
        if (answer_button(mnw.win_w - kMargin - menu_dx(label) / 2, kLowerButtonY, label)) return 3;
    }
    return 0;
}

int VOVARU_nuke_alert(std::string name, int third)
{
    // Without a window no click and no frame pass could ever end the loop.
    if (!ogl_inited) return 3;
    VOVARU_startwind(kWinNukeAlert, 0);
    while (mnw.win_now == kWinNukeAlert) {
        if (const int answer = VOVARU_nuke_alert_frame(name, third)) {
            VOVARU_startwind(kWinMain, 0);
            return answer;
        }
        VOVARU_event_proc();
    }
    return 3; // left without an answer
}
