// The header line of a saved log file: the locale's short date and long time, without the
// time-zone name that the toolkit's long time format carries.
#include <QtTest>

#include "ui/app/log_stamp.h"

using namespace jqz;

class TestLogStamp : public QObject {
    Q_OBJECT
private slots:
    void longTimeWithoutTheZone() {
        struct Case {
            const char* locale;
            const char* header;
        };
        const Case cases[] = {
            {"en_US", "Stored: 12/10/26 2:05:07 PM"},
            {"en_GB", "Stored: 10/12/2026 14:05:07"},
            {"de_DE", "Stored: 10.12.26 14:05:07"},
        };
        const QDateTime when(QDate(2026, 12, 10), QTime(14, 5, 7), Qt::UTC);
        for (const Case& c : cases) {
            const QLocale locale(c.locale);
            QVERIFY2(!locale.timeFormat(QLocale::LongFormat).isEmpty(), c.locale);
            QCOMPARE(QString::fromStdString(LogFileHeader(when, locale)), QString(c.header));
        }
    }

    void noLocaleShowsTheZone() {
        const QDateTime when(QDate(2026, 12, 10), QTime(14, 5, 7), Qt::UTC);
        for (const char* name : {"C", "en_US", "fr_FR", "pt_PT", "ja_JP", "fi_FI", "es_ES"}) {
            const QString header = QString::fromStdString(LogFileHeader(when, QLocale(name)));
            QVERIFY2(!header.contains("UTC") && !header.contains("GMT") && !header.endsWith(' '),
                     qPrintable(QString(name) + ": " + header));
            QVERIFY2(header.contains("05") && header.contains("07"),
                     qPrintable(QString(name) + ": " + header));
        }
    }
};

QTEST_MAIN(TestLogStamp)
#include "tst_log_stamp.moc"
