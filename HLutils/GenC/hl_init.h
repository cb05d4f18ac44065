// Start-up: the shell's hooks, program folder, log, tables, command line,
// thread queues, the GL window and context, capabilities, first window and the
// start-up screen.
#pragma once

#include <string>

// Build number of the installer written to the log header.
constexpr int kInstallerBuild = 90019;

// First thing main does; returns only when start-up succeeded.
void VOVARU_init(int argc, const char* const* argv);

// Start-up steps of their own: point scratch_array at the 16-byte-aligned
// start of its storage; ask for the window's size, depth, texture level and
// language (before VOVARU_setres and VOVARU_make_context).
void VOVARU_align_scratch();
void VOVARU_request_window();
// Sets the interface colours (34 to 47 and the menu mean) from the swatches
// of the built-in interface atlas.
void VOVARU_sample_interface_colours();
// Stores the program folder (ending in '/') in *out; empties app_path.
void VOVARU_set_app_path(std::string* out);
// Draws and presents one frame of the start-up screen; fraction may be null.
void VOVARU_show_init(const std::string& message, float* fraction);
// No effect in this system.
void VOVARU_setupforlang();

// Registers the shell's part of the alert route and its services for the
// layers below it (hl_report.h, the clock's hooks) and the end on a lost
// window (hl_context.h); start-up does it first thing.
void VOVARU_register_shell();
