#pragma once

#include <string>
#include <string_view>

/** Prints "plovik-cli: <command>: <text>" as one line on stderr. */
void printError(std::string_view command, const std::string& text);
