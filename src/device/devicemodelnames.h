#pragma once

#include <string_view>

/**
 * The marketing name of an iPhone, iPad or iPod touch from its "ProductType" ("iPhone14,2" is
 * "iPhone 13 Pro"); empty for a type the table does not know.
 */
std::string_view deviceModelName(std::string_view productType);
