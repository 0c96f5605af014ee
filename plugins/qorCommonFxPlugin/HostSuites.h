#pragma once
// The host suites acquired at start-up, held process-wide, and logging through the host.

#include <cstdint>

#include "host/QORHostInterface.h"

namespace tessel::qorCommonFxPlugin {

// All null until StartupQOR has run; code that may run earlier checks before use.
struct HostSuites {
    HostUtilSuite* hostUtil = nullptr;
    void* imageBufferAllocator = nullptr;
    void* memoryAllocator = nullptr;
    void* gpuDevice = nullptr;
};

HostSuites& hostSuites();

enum class LogLevel : int32_t { Diagnostic = 2, Error = 4 };

// Sends a printf-style message to the host's log; does nothing when the host gave no util suite.
template <typename... Args>
void hostLog(LogLevel level, const char* format, Args... args) {
    if (HostUtilSuite* util = hostSuites().hostUtil) util->Log(static_cast<int32_t>(level), format, args...);
}

}  // namespace tessel::qorCommonFxPlugin
