// Run-time loading of the driver libraries, always by absolute path in the
// program folder (never through a search path).
#pragma once

#include <string>

namespace tovanix::platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Loads an absolute path. A relative path is refused.
    bool open(const std::string& absolutePath);
    // Loads fileName from the program folder.
    bool openFromProgramFolder(const std::string& fileName);
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    // nullptr when the library is not loaded or lacks the entry.
    void* symbol(const char* name) const;
    template <typename Fn>
    Fn entry(const char* name) const { return reinterpret_cast<Fn>(symbol(name)); }
    const std::string& lastError() const { return error_; }
    const std::string& path() const { return path_; }

private:
    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};

}  // namespace tovanix::platform
