#pragma once
// Start-up records exchanged between a host editor and an effect module.
//
// Every host object below is owned by the host and lives at least as long as the module is
// loaded. The interfaces are tables of virtual operations: the slot order is the contract, so
// never reorder, insert or remove a function. Unused slots hold placeholders that keep the
// positions; a host need not implement them.

#include <cstddef>
#include <cstdint>

struct QORSuiteProvider {
    // Slot 0. Stores the suite named `name` (version `version`) through `suite`, or leaves it null.
    virtual int32_t AcquireSuite(const char* name, int32_t version, void** suite) = 0;
};

// Suite "Host Util Suite": paths and logging.
struct HostUtilSuite {
    // Slot 0. Writes a NUL-terminated UTF-8 path of kind `kind` into `buffer` (`size` bytes).
    // Kind 1: root of the effect descriptions. Kind 2: folder of the AI module.
    virtual int32_t GetPath(int32_t kind, char* buffer, int32_t size) = 0;
    // Slot 1. Records a printf-style message. Level 2: diagnostics; level 4: errors.
    virtual void Log(int32_t level, const char* format, ...) = 0;
};

// Handed to StartupQOR.
struct QORHostInterface {
    void* reserved;                   // offset 0, not read by the module
    QORSuiteProvider* suiteProvider;  // offset 8
};

// Filled by StartupQOR. The strings are constants of the module, valid while it is loaded.
struct QORPluginInfo {
    int32_t one1;             // offset 0: 1
    int32_t one2;             // offset 4: 1
    const char* name;         // offset 8
    const char* vendor;       // offset 16
    const char* description;  // offset 24
    const char* empty;        // offset 32: ""
    int32_t effectCount;      // offset 40
    uint8_t zero;             // offset 44: 0
};

static_assert(sizeof(void*) == 8, "the host records are laid out for 64-bit pointers");
static_assert(offsetof(QORHostInterface, suiteProvider) == 8, "QORHostInterface layout");
static_assert(offsetof(QORPluginInfo, name) == 8 && offsetof(QORPluginInfo, empty) == 32 &&
                  offsetof(QORPluginInfo, effectCount) == 40 && offsetof(QORPluginInfo, zero) == 44,
              "QORPluginInfo layout");
