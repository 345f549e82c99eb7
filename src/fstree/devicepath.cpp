#include "fstree/devicepath.h"

CZelboString collapseDoubleSlashes(const CZelboString& path) {
    CZelboString collapsed(path);
    while (collapsed.replaceAll(u"//", u"/") > 0) {
    }
    return collapsed;
}

CZelboString joinDevicePath(const CZelboString& folder, const CZelboString& name) {
    return collapseDoubleSlashes(folder.concat(u"/").concat(name));
}

CZelboString parentOfDevicePath(const CZelboString& path) {
    const size_t slash = path.view().find_last_of(u'/');
    if (slash == std::u16string_view::npos || slash == 0)
        return u"/";
    return path.left(static_cast<int>(slash));
}

CZelboString resolveLinkTarget(const CZelboString& folder, const CZelboString& target) {
    if (target.isEmpty() || target.c_str()[0] == u'/')
        return target;
    return joinDevicePath(folder, target);
}
