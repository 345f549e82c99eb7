#pragma once

#include <QString>

#include "values/zelbostring.h"

/** The same UTF-16 text as a QString. */
inline QString toQString(const CZelboString& text) {
    const std::u16string_view view = text.view();
    return QString(reinterpret_cast<const QChar*>(view.data()),
                   static_cast<qsizetype>(view.size()));
}

/** The same UTF-16 text as a CZelboString. */
inline CZelboString toZelboString(const QString& text) {
    return CZelboString(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<int>(text.size()));
}
