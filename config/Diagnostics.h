#pragma once
// The diagnostic outputs for service staff: the trace "debug.txt", the error file "error.log" and the
// report of caught exceptions. With DebugingTools off nothing is written and nothing is opened.
// Callable from any thread: each call opens, writes and closes its file.

#include <string>

namespace quelt {

class Diagnostics {
  public:
    // Where the files go (the program folder) and whether DebugingTools is on. Set by the settings load.
    static void configure(const std::string& folder, bool debugingTools);
    static void setEnabled(bool debugingTools);
    static bool enabled();
    static std::string folder();
};

// Appends "[" + the first 19 characters of the local asctime + "]" + the message to debug.txt.
// The message carries its own line end; it is formatted into at most 1024 characters.
void TraceDebug(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// One entry of error.log: section = the first 19 characters of the local asctime and a blank,
// key = the status text, value = the code text.
void WriteErrorLog(const std::string& codeText, const std::string& statusText);

// Inside a catch block: an error.log entry for the exception being handled, with the name of the
// function that caught it as the code text and the exception's own message (at most 255 characters).
void WriteCaughtException(const char* function);

// Reports a caught exception as "Function: %s\nFile: %s\nLine: %d\n" on standard error and in the trace.
void ReportException(const char* function, const char* file, int line);

// The local time as the first 19 characters of asctime: "Wed Dec  9 23:08:08".
std::string asctimeStamp();

}  // namespace quelt
