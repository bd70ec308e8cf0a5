// Storage of the test hooks; every hook is read where the layer would reach outside.
#include "platform/linux/Hooks.h"
#include "platform/linux/win32/Internal.h"

namespace layer {

namespace {
std::function<DWORD()> g_tickSource;
std::function<void(DWORD, DWORD)> g_beepSink;
std::function<UINT(const char*, UINT)> g_winExecSink;
std::string g_moduleFileName;
std::function<void(DWORD)> g_sleepSink;
std::string g_helperFolder;
} // namespace

void SetTickSource(std::function<DWORD()> source) {
    g_tickSource = std::move(source);
}
void SetBeepSink(std::function<void(DWORD, DWORD)> sink) {
    g_beepSink = std::move(sink);
}
void SetWinExecSink(std::function<UINT(const char*, UINT)> sink) {
    g_winExecSink = std::move(sink);
}
void SetModuleFileName(const std::string& path) {
    g_moduleFileName = path;
}
void SetSleepSink(std::function<void(DWORD)> sink) {
    g_sleepSink = std::move(sink);
}

void SetHelperFolder(const std::string& folder) {
    g_helperFolder = folder;
}

const std::function<DWORD()>& TickSource() {
    return g_tickSource;
}
const std::function<void(DWORD, DWORD)>& BeepSink() {
    return g_beepSink;
}
const std::function<UINT(const char*, UINT)>& WinExecSink() {
    return g_winExecSink;
}
const std::string& ModuleFileNameOverride() {
    return g_moduleFileName;
}
const std::function<void(DWORD)>& SleepSink() {
    return g_sleepSink;
}
const std::string& HelperFolder() {
    return g_helperFolder;
}

} // namespace layer
