#pragma once
// The header line of a saved log file.
#include <QDateTime>
#include <QLocale>
#include <string>

namespace jqz {

// The locale's long time format without its time-zone name ("h:mm:ss AP" where the locale
// says "h:mm:ss AP t").
QString LongTimeFormatWithoutZone(const QLocale& locale);

// "Stored: " with the date in the locale's short format and the time in its long format,
// without the time-zone name.
std::string LogFileHeader(const QDateTime& when, const QLocale& locale);

}  // namespace jqz
