#include "ui/app/log_stamp.h"

namespace jqz {

QString LongTimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == '\'') quoted = !quoted;
        if (!quoted && c == 't') {
            // The zone field goes together with the blanks that set it apart.
            while (!out.isEmpty() && out.back().isSpace()) out.chop(1);
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

std::string LogFileHeader(const QDateTime& when, const QLocale& locale) {
    return ("Stored: " + locale.toString(when.date(), QLocale::ShortFormat) + " " +
            locale.toString(when.time(), LongTimeFormatWithoutZone(locale)))
        .toStdString();
}

}  // namespace jqz
