// The key and value texts of an AFC file information reply as the core types them (digits
// become numbers, everything else stays text), and a node's reading of its size and type.
#include <string>
#include <utility>
#include <vector>

#include "afc/afcmediadirectory.h"
#include "device/amdevice.h"
#include "fuzzdevice.h"
#include "fuzzinput.h"
#include "fuzztargets.h"
#include "values/nsdictionary.h"

void fuzzAfcInfoTexts(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!input.empty()) {
        std::string key = input.text();
        pairs.emplace_back(std::move(key), input.text());
    }
    FakeMobileDevice& fake = fuzzDevice();
    static const ZelboLib::Owned<AMDevice> device = [&fake] {
        CZelboString error;
        return AMDevice::attach(fake.addDevice({}), error);
    }();
    fuzzCheck(device != nullptr, "the fake device attaches");
    fake.setFileInfo(std::move(pairs));
    const ZelboLib::Owned<AFCMediaDirectory> media = device->openMediaDirectory();
    fuzzCheck(media != nullptr, "the media area opens");
    const ZelboLib::Owned<ZelboLib::NSDictionary> info = media->fileInfo(u"/DCIM/a.jpg");
    fuzzCheck(info != nullptr, "an information reply gives a dictionary");
    for (const char16_t* key : {u"st_size", u"st_mtime", u"st_ifmt", u"path"}) {
        if (const ZelboLib::Object* value = info->objectForKey(key))
            value->description();
    }
    fuzzCheck(info->objectForKey(u"path")->description().view() == u"/DCIM/a.jpg",
              "the path is the one asked for");
}
