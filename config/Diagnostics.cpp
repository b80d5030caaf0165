#include "config/Diagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <exception>
#include <mutex>

#include "config/Ini.h"
#include "platform/Text.h"

namespace quelt {

namespace {
std::atomic<bool> g_enabled{false};
std::mutex g_folderMutex;
std::string g_folder;
}  // namespace

void Diagnostics::configure(const std::string& folder, bool debugingTools) {
    {
        std::lock_guard<std::mutex> lock(g_folderMutex);
        g_folder = folder;
        if (!g_folder.empty() && g_folder.back() != '/') g_folder += '/';
    }
    g_enabled = debugingTools;
}

void Diagnostics::setEnabled(bool debugingTools) {
    g_enabled = debugingTools;
}
bool Diagnostics::enabled() {
    return g_enabled.load();
}

std::string Diagnostics::folder() {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    return g_folder;
}

std::string asctimeStamp() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[32];
    asctime_r(&local, buf);
    return std::string(buf, 19);
}

void TraceDebug(const char* fmt, ...) {
    if (!Diagnostics::enabled()) return;
    char message[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(message, sizeof message, fmt, args);
    va_end(args);
    std::string path = Diagnostics::folder() + "debug.txt";
    if (std::FILE* f = std::fopen(path.c_str(), "a+")) {
        std::fprintf(f, "[%s]%s", asctimeStamp().c_str(), message);
        std::fclose(f);
    }
}

void WriteErrorLog(const std::string& codeText, const std::string& statusText) {
    if (!Diagnostics::enabled()) return;
    writeProfileString(Diagnostics::folder() + "error.log", asctimeStamp() + " ", statusText, codeText);
}

void WriteCaughtException(const char* function) {
    std::string what = "unknown exception";
    try {
        if (auto e = std::current_exception()) std::rethrow_exception(e);
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    WriteErrorLog(function, what.substr(0, 255));
}

void ReportException(const char* function, const char* file, int line) {
    std::fprintf(stderr, "Function: %s\nFile: %s\nLine: %d\n", function, file, line);
    TraceDebug("Function: %s\nFile: %s\nLine: %d\n", function, file, line);
}

}  // namespace quelt
