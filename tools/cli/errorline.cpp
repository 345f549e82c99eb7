#include "errorline.h"

#include <cstdio>

void printError(std::string_view command, const std::string& text) {
    std::string line = "plovik-cli: ";
    if (!command.empty())
        line.append(command).append(": ");
    // One line whatever the text holds: device names may carry line breaks.
    for (const char c : text)
        line.push_back(c == '\n' || c == '\r' ? ' ' : c);
    std::fprintf(stderr, "%s\n", line.c_str());
}
