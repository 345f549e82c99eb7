// The messages of a service connection as AMService frames them (a 4-byte big-endian length and
// a property list), arriving in pieces of a size the input picks, each reply converted.
#include <string>

#include "device/amservice.h"
#include "fuzzdevice.h"
#include "fuzzinput.h"
#include "fuzztargets.h"
#include "values/object.h"

void fuzzServiceMessages(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    FakeMobileDevice& fake = fuzzDevice();
    fake.dropIncoming();
    fake.setPieceSize(1 + input.byte() % 64 * 37u);
    const auto rest = input.rest();
    fake.queueRawBytes(std::string(rest.begin(), rest.end()));
    AMService service;
    service.adoptServiceHandle(reinterpret_cast<AMDServiceConnectionRef>(1));
    for (int message = 0; message < 64; ++message) {
        const PlistPtr reply = service.receiveMessage();
        if (reply == nullptr)
            break;
        const ZelboLib::Owned<ZelboLib::Object> object = ZelboLib::objectFromPlist(reply.get());
        if (object != nullptr)
            object->description();
    }
    service.lastError();
}
