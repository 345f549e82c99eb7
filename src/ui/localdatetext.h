#pragma once

#include <cstdint>

#include <QString>

/**
 * Dates as the desktop shows them: local time in the locale's short date and time form, the one
 * form of the file list, the inspector, the status line and the transfer history.
 */
QString localDateText(std::int64_t nanosecondsSince1970);
/** The same for an SQLite time stamp in UTC ("2026-12-09 10:00:00"); other text as it is. */
QString localDateTextOfUtcStamp(const QString& stamp);
