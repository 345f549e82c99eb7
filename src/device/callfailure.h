#pragma once

#include "values/zelbostring.h"

/** "<entry point> failed: <result>", the result in lower-case hexadecimal (-1 is "ffffffff"). */
CZelboString callFailureText(const char* entryPoint, int result);
