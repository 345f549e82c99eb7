#include "keptrecords.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

namespace plovik::devemu {

namespace {

constexpr std::string_view kSuffix = ".plist";

}  // namespace

bool KeptRecords::isPlainName(const std::string& name) {
    if (name.empty() || name.size() > 128 || name.front() == '.') {
        return false;
    }
    for (const char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!plain) {
            return false;
        }
    }
    return true;
}

KeptRecords::KeptRecords(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::error_code error;
    std::filesystem::create_directories(*folder_, error);
    for (const auto& entry : std::filesystem::directory_iterator(*folder_, error)) {
        const std::string file = entry.path().filename().string();
        if (!entry.is_regular_file() || !file.ends_with(kSuffix)) {
            continue;
        }
        const std::string name = file.substr(0, file.size() - kSuffix.size());
        if (!isPlainName(name)) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::string record{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in) {
            records_.insert_or_assign(name, std::move(record));
        }
    }
    if (error) {
        std::fprintf(stderr, "plovik-devemu: %s: %s\n", folder_->c_str(), error.message().c_str());
    }
}

std::optional<std::string> KeptRecords::find(const std::string& name) const {
    const auto found = records_.find(name);
    return found != records_.end() ? std::optional<std::string>(found->second) : std::nullopt;
}

void KeptRecords::store(const std::string& name, std::string record) {
    if (const auto file = fileOf(name)) {
        std::filesystem::path aside = *file;
        aside += ".new";
        std::error_code error;
        const bool written = static_cast<bool>(std::ofstream(aside, std::ios::binary) << record);
        if (written) {
            std::filesystem::rename(aside, *file, error);
        }
        if (!written || error) {
            std::filesystem::remove(aside, error);
            std::fprintf(stderr, "plovik-devemu: cannot keep %s\n", file->c_str());
        }
    }
    records_.insert_or_assign(name, std::move(record));
}

void KeptRecords::erase(const std::string& name) {
    if (const auto file = fileOf(name)) {
        std::error_code error;
        std::filesystem::remove(*file, error);
    }
    records_.erase(name);
}

std::optional<std::filesystem::path> KeptRecords::fileOf(const std::string& name) const {
    if (!folder_ || !isPlainName(name)) {
        return std::nullopt;
    }
    return *folder_ / (name + std::string(kSuffix));
}

}  // namespace plovik::devemu
