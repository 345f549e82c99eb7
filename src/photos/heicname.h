#pragma once

#include "values/zelbostring.h"

/** Names of HEIC photos and of the JPEGs they become. */
namespace HeicName {

/** Whether the name or path ends in ".HEIC" or ".HEIF", in any case. */
bool isHeic(const CZelboString& name);
/** The name or path with its extension made ".JPG" (".jpg" where it was lower case). */
CZelboString jpegOf(const CZelboString& heicName);

}  // namespace HeicName
