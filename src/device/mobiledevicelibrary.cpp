#include "device/mobiledevicelibrary.h"

#include <dlfcn.h>

MobileDeviceLibrary& MobileDeviceLibrary::instance() {
    static MobileDeviceLibrary library;
    return library;
}

void MobileDeviceLibrary::setLibraryFile(std::string file) {
    const std::lock_guard lock(mutex_);
    file_ = std::move(file);
}

void MobileDeviceLibrary::setResolver(Resolver resolver) {
    const std::lock_guard lock(mutex_);
    resolver_ = std::move(resolver);
}

void* MobileDeviceLibrary::entryPoint(const char* name) {
    Resolver resolver;
    {
        const std::lock_guard lock(mutex_);
        if (!resolver_) {
            if (handle_ == nullptr && !file_.empty()) {
                handle_ = dlopen(file_.c_str(), RTLD_NOW | RTLD_LOCAL);
                const char* error = handle_ ? nullptr : dlerror();
                loadError_ = error ? error : "";
            }
            if (handle_ == nullptr)
                return nullptr;
            const auto known = found_.find(std::string_view(name));
            if (known != found_.end())
                return known->second;
            return found_.emplace(name, dlsym(handle_, name)).first->second;
        }
        resolver = resolver_;
    }
    // Outside the lock: a resolver may call into the library itself.
    return resolver(name);
}

std::string MobileDeviceLibrary::loadError() const {
    const std::lock_guard lock(mutex_);
    return loadError_;
}
