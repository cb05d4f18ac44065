// The shell's side of alerts: the window route, which start-up registers
// with the alert routine at the bottom of the library (GenH/hl_report.h).
#pragma once

#include <string>

#include "GenH/hl_report.h"

// The window route: shows the alert in window 995 until OK or Return.
// Called only on the main thread, with OpenGL ready and no alert open.
void alert_window_route(int return_window, const std::string& line1, const std::string& line2,
                        const std::string& line3, const std::string& line4, int kind,
                        const std::string& location);

// Hook for opening a web page; does nothing here.
void go_to_URL(std::string url);
