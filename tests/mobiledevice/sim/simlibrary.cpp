#include "simlibrary.h"

SimLibrary& SimLibrary::instance() {
    static SimLibrary library;
    return library;
}

SimLibrary::SimLibrary() : handle_(::dlopen(PLOVIK_SIM_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        throw std::runtime_error(std::string("cannot load the simulator: ") + ::dlerror());
    }
}
