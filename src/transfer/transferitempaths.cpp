#include "transfer/transferitempaths.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "fstree/devicepath.h"
#include "fstree/filesystemnode.h"
#include "transfer/transferjob.h"
#include "values/localpaths.h"

namespace {

// As LocalFolderUpload names the item it copies: "photos/", "photos/." and "../photos" all name
// the folder "photos".
CZelboString normalLocalPath(const CZelboString& path) {
    std::error_code error;
    std::filesystem::path normal =
        std::filesystem::absolute(std::filesystem::path(path.toUtf8()), error).lexically_normal();
    if (!normal.has_filename())
        normal = normal.parent_path();
    return CZelboString::fromUtf8(normal.native());
}

/** The names that lead from `item` down to `path`; nothing when `path` is not inside `item`. */
std::optional<std::vector<CZelboString>> namesBelow(const CZelboString& item,
                                                    const CZelboString& path, char16_t separator) {
    const std::u16string_view base = item.view();
    std::u16string_view rest = path.view();
    if (!rest.starts_with(base))
        return std::nullopt;
    rest.remove_prefix(base.size());
    if (!rest.empty() && rest.front() != separator && !base.ends_with(separator))
        return std::nullopt;
    std::vector<CZelboString> names;
    while (!rest.empty()) {
        const size_t end = rest.find(separator);
        const std::u16string_view name = rest.substr(0, end);
        if (!name.empty())
            names.emplace_back(name.data(), static_cast<int>(name.size()));
        rest.remove_prefix(end == std::u16string_view::npos ? rest.size() : end + 1);
    }
    return names;
}

}  // namespace

TransferItemPaths::TransferItemPaths(const TransferJob& job) : fromDevice_(job.fromDevice) {
    const ZelboLib::FileSystemNode& node = *job.node;
    if (fromDevice_) {
        item_.local = joinLocalPath(job.destinationPath, node.name());
        item_.device = node.fullPath();
        item_.display = node.displayPath();
    } else {
        item_.local = normalLocalPath(job.itemPath);
        const CZelboString name = fileNameOfLocalPath(item_.local);
        item_.device = joinDevicePath(node.fullPath(), name);
        item_.display = joinDevicePath(node.displayPath(), name);
    }
}

TransferItemPaths::Paths TransferItemPaths::of(const CZelboString& source,
                                               const CZelboString& destination) const {
    const std::optional<std::vector<CZelboString>> names =
        fromDevice_ ? namesBelow(item_.display, source, u'/')
                    : namesBelow(item_.local, normalLocalPath(source), kLocalSeparator);
    Paths paths;
    if (names) {
        paths = item_;
        for (const CZelboString& name : *names) {
            paths.local = joinLocalPath(paths.local, name);
            paths.device = joinDevicePath(paths.device, name);
            paths.display = joinDevicePath(paths.display, name);
        }
    }
    // What the walk reported wins over what the names give.
    if (fromDevice_) {
        paths.display = source;
        if (!destination.isEmpty() || !names)
            paths.local = destination;
    } else {
        paths.local = source;
        if (!destination.isEmpty() || !names)
            paths.display = destination;
    }
    return paths;
}
