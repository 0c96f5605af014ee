#pragma once
// What the AI bridge and skin-protection tests share: the stand-in AI modules built for them, a
// host log that keeps every message whole, and the process-wide bridge set to a stand-in.

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "host/QORHostInterface.h"

namespace qortest {

inline constexpr const char* kSkinGuid = "B6812345-039A-49CB-BEBB-339EACCD00F0";

// The counters a stand-in AI module keeps (tests/aifakes/FakeAiModule.cpp).
struct FakeAiCounters {
    int creates, deletes, transforms;
    void (*log)(int32_t, const char*, va_list);
};

// The folder of a stand-in ("full", "no_delete", "no_ai_res_data"), or of nothing for other names.
std::string fakeAiFolder(const std::string& variant);
std::string fakeAiModulePath(const std::string& variant);
// The counters of the stand-in loaded from `path`, or null when no such library is loaded.
FakeAiCounters* fakeCounters(const std::string& path);

// Loads the full stand-in into this process's bridge and points the dispatch table at it (once).
void useFakeAiModule();

struct LoggedMessage {
    int32_t level;
    std::string text;
    bool operator==(const LoggedMessage& other) const { return level == other.level && text == other.text; }
};

// The module's host util suite for as long as it lives; keeps messages of any length.
class RecordingHostUtil : public HostUtilSuite {
public:
    RecordingHostUtil();
    ~RecordingHostUtil();
    int32_t GetPath(int32_t kind, char* buffer, int32_t size) override;
    void Log(int32_t level, const char* format, ...) override;

    std::vector<LoggedMessage> messages;
};

}  // namespace qortest
