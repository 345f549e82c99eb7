#include "thumbs/thumbnailcachekey.h"

#include "device/amdevice.h"
#include "fstree/filesystemnode.h"

CZelboString thumbnailCacheKey(const ZelboLib::FileSystemNode& node) {
    const CZelboString udid = node.device() ? node.device()->uniqueDeviceID() : CZelboString();
    return udid.concat(u"/").concat(node.displayPath());
}

uint32_t thumbnailCacheHash(const CZelboString& key) {
    uint32_t hash = 5381;
    for (const char16_t unit : key.view()) {
        hash = hash * 33 + (unit & 0xFFu);
        hash = hash * 33 + (unit >> 8);
    }
    return hash;
}
