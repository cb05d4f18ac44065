// Small hooks of the window layer.
#include "GenC/hl_hooks.h"

#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"

int has_optionkey()
{
    return linkey_optn;
}

int has_shiftkey()
{
    return linkey_shft;
}

int has_capslock()
{
    return 0;
}

void VOVARU_load_mxy(unsigned long window, int x, int y)
{
    const float scale = mnw.pix_scale;
    mnw.mouse_x = x / scale;
    mnw.mouse_y = (mnw.res_y - y) / scale;
    const Window second = x11.window[1];
    if (mnw.sec_mon_inuse && mnw.sec_mon_ctx && second && window == second) {
        // The second screen lies to the right of the first, outside any sub-window.
        mnw.mouse_x += mnw.res_x / scale;
        mnw.win_under = kWinMain;
        return;
    }
    mnw.win_under = mnw.win_now;
    mnw.mouse_x -= mnw.win_x;
    mnw.mouse_y -= mnw.win_y;
}

void IBM_turnoff() {}
