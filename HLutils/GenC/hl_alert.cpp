// The alert's window route.
#include "GenC/hl_alert.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"

void alert_window_route(int return_window, const std::string& line1, const std::string& line2,
                        const std::string& line3, const std::string& line4, int kind,
                        const std::string& location)
{
    // Whatever the interrupted drawing code left, start from a known state.
    glEnd();
    glEndList();
    for (int i = 0; i < 30; ++i)
        glGetError();
    OGL_nrml_colors();
    if (glExt.glsl_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
    if (glExt.framebuf_avail && glExt.glBindFramebufferEXT)
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float mouse_x = mnw.mouse_x, mouse_y = mnw.mouse_y;
    VOVARU_startwind(kWinAlert, 0);
    // Alert lines often name a path: what the fonts lack shows as '?'.
    const std::string lines[4] = {OGL_font_text(line1), OGL_font_text(line2), OGL_font_text(line3),
                                  OGL_font_text(line4)};
    static const float kLineY[4] = {205, 165, 125, 85};
    constexpr int kColAlertText = 43;
    constexpr float kLocationY = 45, kButtonY = 18;
    while (mnw.win_now == kWinAlert) {
        OGL_plot_back_col();
        BTN_fillwin(1, kPanelNone);
        BTN_subwin(0, kPanelGroup, -1, 35, -1, -1, "", &wx, &wy);
        const float cx = mnw.win_w * 0.5f, wrap = mnw.win_w * 0.9f;
        for (int i = 0; i < 4; ++i)
            OGL_string(kColAlertText, cx, kLineY[i], lines[i], wrap, kCharsetProp, kTextCentre);
        if (kind == t_exit)
            OGL_string(kColAlertText, cx, kLocationY, location, wrap, kCharsetProp, kTextCentre);
        if (BTN_action(cx, kButtonY, 0, 0, 1, stls[kStlsAlertButton], "-") || return_hit) {
            return_hit = 0;
            if (kind == t_exit) return; // logged and ended by the caller, 995 still current
            VOVARU_startwind(return_window, 0);
            mnw.mouse_x = mouse_x;
            mnw.mouse_y = mouse_y;
        }
        if (mnw.win_now == kWinAlert) VOVARU_event_proc();
    }
}

void go_to_URL(std::string url) {}
