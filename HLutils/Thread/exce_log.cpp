// Error records written to the log without an alert.
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"

void exce_class::LogAndContinue()
{
    // Kind 0 is the only "non-fatal" one; warnings (1) log as fatal too.
    xer << "Logging " << (alert_type == 0 ? "non-fatal" : "fatal")
        << " Exception thrown from file: ";
    // A null char* would put the stream in its bad state and mute the log.
    if (src_file) xer << src_file;
    xer << ", line " << src_line << ".\n";
    for (const std::string& line : message)
        xer << line << "\n";
    xer.flush();
}
