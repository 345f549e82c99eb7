// AFC requests as the device emulator takes them off a connection: headers, arguments and
// payloads, one after another, each read for the numbers and texts a server asks of it.
#include <string_view>

#include "afcpacket.h"
#include "fuzztargets.h"

void fuzzAfcRequests(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (;;) {
        plovik::devemu::AfcRequest request;
        size_t used = 0;
        if (plovik::devemu::parseAfcRequest(bytes, request, used) !=
            plovik::devemu::AfcParse::Complete)
            break;
        fuzzCheck(used > 0 && used <= bytes.size(), "a request takes bytes that are there");
        for (const size_t offset : {0u, 8u, 16u})
            request.number(offset);
        request.text(0);
        request.text(8);
        plovik::devemu::afcOperationName(request.operation);
        bytes.remove_prefix(used);
    }
}
