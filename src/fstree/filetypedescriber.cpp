#include "fstree/filetypedescriber.h"

CZelboString describeFileTypeByExtension(const CZelboString& path, bool isFolder) {
    if (isFolder)
        return u"File Folder";
    const std::u16string_view view = path.view();
    const size_t slash = view.find_last_of(u'/');
    const std::u16string_view name =
        slash == std::u16string_view::npos ? view : view.substr(slash + 1);
    const size_t dot = name.find_last_of(u'.');
    if (dot == std::u16string_view::npos || dot + 1 == name.size())
        return u"File";
    std::u16string extension(name.substr(dot + 1));
    for (char16_t& unit : extension) {
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - u'a' + u'A');
    }
    return CZelboString(extension.c_str()).concat(u" File");
}
