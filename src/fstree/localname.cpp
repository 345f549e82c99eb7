#include "fstree/localname.h"

#include "values/localpaths.h"

bool isSafeLocalName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..")
        return false;
    // "/" separates on every platform, and Windows separates at its own separator too.
    constexpr char16_t kRefused[] = {u'/', u'\0', kLocalSeparator};
    return name.find_first_of(std::u16string_view(kRefused, 3)) == std::u16string_view::npos;
}
