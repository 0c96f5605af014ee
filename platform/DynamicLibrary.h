#pragma once
// Run-time loading of shared modules (LoadLibraryW / GetProcAddress / FreeLibrary on Windows,
// dlopen / dlsym / dlclose on POSIX).

#include <string>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Loads the module at `path` (UTF-8). Returns false and keeps the reason for error().
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // Address of an exported symbol, or null when the module does not export it.
    void* symbol(const char* name) const;

    const std::string& error() const { return error_; }

    // The module stays mapped after this object is gone (for modules kept until process exit).
    void release() { handle_ = nullptr; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace platform
