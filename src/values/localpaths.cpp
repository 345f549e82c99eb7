#include "values/localpaths.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "values/cautostring.h"
#include "values/nsarray.h"

namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const noexcept { closedir(directory); }
};

constexpr char16_t kSeparatorText[] = {kLocalSeparator, 0};
constexpr char16_t kDoubleSeparator[] = {kLocalSeparator, kLocalSeparator, 0};

int lastSeparator(const CZelboString& path) {
    const size_t at = path.view().find_last_of(kLocalSeparator);
    return at == std::u16string_view::npos ? -1 : static_cast<int>(at);
}

CZelboString withLocalSeparators(const CZelboString& path) {
    CZelboString turned(path);
    turned.replaceAll(u"/", kSeparatorText);
    return turned;
}

CZelboString withoutTrailingSeparators(const CZelboString& path) {
    CZelboString trimmed(path);
    trimmed.trimTrailing(kLocalSeparator);
    return trimmed;
}

CZelboString absolutePath(const CZelboString& path) {
    if (!path.isEmpty() && path.c_str()[0] == kLocalSeparator)
        return path;
    const std::unique_ptr<char, decltype(&free)> current(getcwd(nullptr, 0), &free);
    if (!current)
        return path;
    return joinLocalPath(CZelboString::fromUtf8(current.get()), path);
}

}  // namespace

CZelboString toForwardSlashes(const CZelboString& path) {
    CZelboString turned(path);
    turned.replaceAll(kSeparatorText, u"/");
    while (turned.replaceAll(u"//", u"/") > 0) {
    }
    return turned;
}

CZelboString joinLocalPath(const CZelboString& a, const CZelboString& b) {
    CZelboString joined = a.concat(kSeparatorText).concat(b);
    joined.replaceAll(kDoubleSeparator, kSeparatorText);
    joined.replaceAll(u"//", u"/");
    return joined;
}

CZelboString parentOfLocalPath(const CZelboString& path) {
    const CZelboString turned = withLocalSeparators(path);
    const int at = lastSeparator(turned);
    return at < 0 ? turned : turned.left(at + 1);
}

CZelboString fileNameOfLocalPath(const CZelboString& path) {
    const CZelboString turned = withLocalSeparators(path);
    const int at = lastSeparator(turned);
    return at < 0 ? turned : turned.mid(at + 1);
}

CZelboString extensionOf(const CZelboString& path) {
    const size_t dot = path.view().find_last_of(u'.');
    if (dot == std::u16string_view::npos)
        return {};
    // A dot in a folder name is not the file's extension.
    if (lastSeparator(withLocalSeparators(path)) > static_cast<int>(dot))
        return {};
    return path.mid(static_cast<int>(dot));
}

bool localPathExists(const CZelboString& path, bool& isFolder) {
    CZelboString trimmed = withoutTrailingSeparators(path);
    if (trimmed.isEmpty() && !path.isEmpty())
        trimmed = kSeparatorText;  // the root
    if (trimmed.isEmpty())
        return false;
    struct stat status {};
    if (stat(trimmed.toUtf8().c_str(), &status) != 0)
        return false;
    isFolder = S_ISDIR(status.st_mode);
    return true;
}

bool createLocalFolders(const CZelboString& path) {
    std::vector<CZelboString> missing;
    bool isFolder = false;
    for (CZelboString step = absolutePath(path);
         !step.isEmpty() && !localPathExists(step, isFolder);) {
        missing.push_back(step);
        const int at = lastSeparator(step);
        step = step.left(at < 0 ? 0 : at);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        // A step that fails shows in the final check; the others still get their chance.
        mkdir(folder->toUtf8().c_str(), 0777);
    }
    isFolder = false;
    return localPathExists(path, isFolder) && isFolder;
}

bool listLocalFolder(const CZelboString& path, ZelboLib::NSArray& list) {
    const CZelboString trimmed = withoutTrailingSeparators(path);
    const int at = lastSeparator(trimmed);
    const CZelboString folder = at < 0 ? CZelboString(u".") : trimmed.left(at == 0 ? 1 : at);
    const std::string pattern = (at < 0 ? trimmed : trimmed.mid(at + 1)).toUtf8();
    const std::unique_ptr<DIR, DirectoryCloser> directory(opendir(folder.toUtf8().c_str()));
    if (!directory || pattern.empty())
        return false;
    bool matched = false;
    while (const dirent* entry = readdir(directory.get())) {
        if (fnmatch(pattern.c_str(), entry->d_name, 0) != 0)
            continue;
        matched = true;
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        list.addObject(new ZelboLib::CAutoString(CZelboString::fromUtf8(name)));
    }
    return matched;
}
