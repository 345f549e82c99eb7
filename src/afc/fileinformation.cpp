#include "afc/fileinformation.h"

#include <algorithm>
#include <charconv>

namespace {

FileInformation::Type typeNamed(std::string_view utf8) {
    if (utf8 == "S_IFDIR")
        return FileInformation::Type::Folder;
    if (utf8 == "S_IFLNK")
        return FileInformation::Type::SymbolicLink;
    return FileInformation::Type::File;
}

}  // namespace

std::optional<int64_t> FileInformation::numberIn(std::string_view text) {
    int64_t number = 0;
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    if (!digits ||
        std::from_chars(text.data(), text.data() + text.size(), number).ec != std::errc())
        return std::nullopt;
    return number;
}

void FileInformation::take(std::string_view key, std::string_view value) {
    if (key == "st_ifmt")
        type_ = typeNamed(value);
    else if (key == "st_size")
        size_ = numberIn(value).value_or(0);
    else if (key == "st_mtime")
        modificationTime_ = numberIn(value).value_or(0);
    else if (key == "st_birthtime")
        creationTime_ = numberIn(value).value_or(0);
    else if (key == "LinkTarget")
        linkTarget_ = CZelboString::fromUtf8(value).view();
}

CZelboString FileInformation::linkTarget() const {
    return CZelboString(linkTarget_.c_str(), static_cast<int>(linkTarget_.size()));
}
