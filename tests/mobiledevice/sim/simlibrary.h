#ifndef PLOVIK_TESTS_SIM_SIMLIBRARY_H
#define PLOVIK_TESTS_SIM_SIMLIBRARY_H

#include <dlfcn.h>

#include <stdexcept>
#include <string>

// The simulator library loaded by file name, its entry points looked up by name, as the
// program does. Loaded once per process and never unloaded.
class SimLibrary {
public:
    static SimLibrary& instance();

    template <typename Function>
    Function* entry(const char* name) const {
        void* symbol = ::dlsym(handle_, name);
        if (symbol == nullptr) {
            throw std::runtime_error(std::string("missing entry point ") + name);
        }
        return reinterpret_cast<Function*>(symbol);
    }

    bool exports(const char* name) const { return ::dlsym(handle_, name) != nullptr; }

private:
    SimLibrary();
    void* handle_;
};

// Calls the named entry point; the function type comes from the declaration in the headers.
#define SIM_CALL(name, ...) (SimLibrary::instance().entry<decltype(name)>(#name)(__VA_ARGS__))

#endif
