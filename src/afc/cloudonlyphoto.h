#pragma once

#include <cstdint>
#include <string_view>

/**
 * How a camera-roll original that "Optimize iPhone Storage" left only in iCloud shows through the
 * media area's AFC: a read under /DCIM that fails with a read or I/O error, or a file that ends
 * before its listed size. Kept in one place, to be corrected when a real device shows otherwise.
 */
namespace CloudOnlyPhoto {

inline constexpr const char16_t* kFailureText =
    u"This photo is stored in iCloud and not on the phone (turn on Download and Keep Originals "
    u"in the phone's Photos settings)";

/**
 * Whether a read of mediaPath (an AFC path of the media area) failed the way a cloud-only photo's
 * does: with the AFC result afcResult (0 when the reads simply ended), after received of the
 * listedSize bytes.
 */
bool explainsFailedRead(std::u16string_view mediaPath, int afcResult, int64_t received,
                        int64_t listedSize);

}  // namespace CloudOnlyPhoto
