#include "afc/cloudonlyphoto.h"

namespace {

constexpr int kAfcReadError = 4;
constexpr int kAfcIoError = 20;

}  // namespace

namespace CloudOnlyPhoto {

bool explainsFailedRead(std::u16string_view mediaPath, int afcResult, int64_t received,
                        int64_t listedSize) {
    if (!mediaPath.starts_with(u"/DCIM/"))
        return false;
    if (afcResult == kAfcReadError || afcResult == kAfcIoError)
        return true;
    return afcResult == 0 && received < listedSize;
}

}  // namespace CloudOnlyPhoto
