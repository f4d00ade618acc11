#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include "platform/paths.h"

namespace tovanix::platform {

DynamicLibrary::~DynamicLibrary() { close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)), error_(std::move(other.error_)) {
    other.handle_ = nullptr;
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
        other.handle_ = nullptr;
    }
    return *this;
}

bool DynamicLibrary::open(const std::string& absolutePath) {
    close();
    path_ = absolutePath;
    if (absolutePath.empty() || absolutePath.front() != '/') {
        error_ = "not an absolute path: " + absolutePath;
        return false;
    }
    handle_ = ::dlopen(absolutePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* e = ::dlerror();
        error_ = e != nullptr ? e : "dlopen failed";
        return false;
    }
    error_.clear();
    return true;
}

bool DynamicLibrary::openFromProgramFolder(const std::string& fileName) {
    return open(programFolder() + "/" + fileName);
}

void DynamicLibrary::close() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynamicLibrary::symbol(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    return ::dlsym(handle_, name);
}

}  // namespace tovanix::platform
