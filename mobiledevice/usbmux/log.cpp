#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace plovik::usbmux {

void logLine(const char* format, ...) {
    // Formatted into one buffer and written with one call, so lines of two threads never mix.
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    std::string line = "plovik-usbmux: ";
    line += text;
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

}  // namespace plovik::usbmux
