#include "device/callfailure.h"

CZelboString callFailureText(const char* entryPoint, int result) {
    CZelboString text;
    text.format(u"%hs failed: %x", entryPoint, result);
    return text;
}
