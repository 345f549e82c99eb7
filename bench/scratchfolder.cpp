#include "scratchfolder.h"

#include <stdlib.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

ScratchFolder::ScratchFolder(const char* prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make " + pattern + ": " + std::strerror(errno));
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
