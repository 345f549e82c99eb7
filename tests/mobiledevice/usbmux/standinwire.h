// Socket and property-list helpers shared by the stand-in daemon and device services.
#ifndef PLOVIK_TESTS_USBMUX_STANDINWIRE_H
#define PLOVIK_TESTS_USBMUX_STANDINWIRE_H

#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <string>

namespace standin {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// Whole reads and writes; false when the peer closed or nothing came within a few seconds.
bool readExactly(int socket, void* buffer, size_t length);
bool writeAll(int socket, const void* bytes, size_t length);

std::string toXml(plist_t node);
Plist fromXml(const std::string& xml);
std::string stringItem(plist_t dictionary, const char* key);
uint64_t uintItem(plist_t dictionary, const char* key);

}  // namespace standin

#endif
