// Texts of one AFC reply handed to the caller one at a time: the names of a directory listing
// (AFCDirectoryRef) or the key/value pairs of file information (AFCDictionaryRef). A text handed
// out stays valid as long as the list.
#ifndef PLOVIK_USBMUX_AFCTEXTLIST_H
#define PLOVIK_USBMUX_AFCTEXTLIST_H

#include <string>
#include <vector>

namespace plovik::usbmux {

class AfcTextList {
public:
    explicit AfcTextList(std::vector<std::string> texts) : texts_(std::move(texts)) {}

    // The next text, null after the last.
    char* next() { return next_ < texts_.size() ? texts_[next_++].data() : nullptr; }

private:
    std::vector<std::string> texts_;
    size_t next_ = 0;
};

}  // namespace plovik::usbmux

#endif
