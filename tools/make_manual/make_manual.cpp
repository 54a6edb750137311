// Renders the user manual from its HTML source into a PDF:
//   make_manual <source.html> <output.pdf> [picture folder] [--pages <folder>]
// Pictures named in the source are looked up in the picture folder (default: the source's own).
// --pages also writes every page as a PNG picture, for proofreading.
// With SOURCE_DATE_EPOCH set, the PDF is dated then, and two runs give the same bytes.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHashSeed>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QImage>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Qt dates the PDF with the time it is written, in the local time zone: as
// "/CreationDate (D:YYYYMMDDHHmmSSZ)" in UTC, else with the offset, "D:YYYYMMDDHHmmSS+09'00'".
// The date is put in its place with the same number of characters (an offset becomes
// "+00'00'"), so every offset in the file stays right.
bool DateThePdf(const QString& path, const char* epoch) {
    char* end = nullptr;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (end == epoch || *end != '\0' || seconds < 0) {
        std::fprintf(stderr, "SOURCE_DATE_EPOCH is not a number of seconds: %s\n", epoch);
        return false;
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char stamp[15];
    if (std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &utc) != 14) {
        std::fprintf(stderr, "SOURCE_DATE_EPOCH is out of range: %s\n", epoch);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    static const QRegularExpression date(
        QStringLiteral(R"re(/CreationDate \(D:[0-9]{14}(Z|[+-][0-9]{2}'[0-9]{2}')\))re"));
    const QString text = QString::fromLatin1(bytes);
    auto it = date.globalMatch(text);
    const QRegularExpressionMatch match = it.hasNext() ? it.next() : QRegularExpressionMatch();
    if (!match.hasMatch() || it.hasNext()) {
        std::fprintf(stderr, "the PDF carries no single creation date of the known form\n");
        return false;
    }
    QByteArray utcDate(stamp, 14);
    utcDate += match.capturedLength(1) == 1 ? QByteArray("Z") : QByteArray("+00'00'");
    return file.seek(match.capturedStart(1) - 14) && file.write(utcDate) == utcDate.size() &&
           file.flush();
}

}  // namespace

int main(int argc, char** argv) {
    // The PDF's own date is written in UTC, whatever the builder's time zone.
    qputenv("TZ", "UTC");
    tzset();
    // Qt's hashes order the fonts written into the PDF: the same order in every run.
    QHashSeed::setDeterministicGlobalSeed();
    // No window is ever shown: render without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    QString pagesFolder;
    if (const qsizetype at = args.indexOf(QStringLiteral("--pages")); at > 0 && at + 1 < args.size()) {
        pagesFolder = args[at + 1];
        args.remove(at, 2);
    }
    if (args.size() < 3 || args.size() > 4) {
        std::fprintf(stderr,
                     "usage: make_manual <source.html> <output.pdf> [picture folder] "
                     "[--pages <folder>]\n");
        return 2;
    }
    QFile source(args[1]);
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const QString pictures =
        args.size() == 4 ? args[3] : QFileInfo(args[1]).absolutePath();

    const QString html = QString::fromUtf8(source.readAll());
    QTextDocument doc;
    // Every picture is handed to the document before the text refers to it; a missing one
    // stops the build rather than printing a manual with holes.
    static const QRegularExpression img(QStringLiteral(R"re(<img[^>]*src="([^"]+)")re"));
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QString name = it.next().captured(1);
        const QImage picture(QDir(pictures).filePath(name));
        if (picture.isNull()) {
            std::fprintf(stderr, "cannot read the picture %s\n", qPrintable(name));
            return 1;
        }
        doc.addResource(QTextDocument::ImageResource, QUrl(name), picture);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setHtml(html);

    // Written to a temporary name and renamed, so a failed run leaves no half a manual.
    const QString target = args[2];
    const QString partial = target + QStringLiteral(".part");
    {
        QPdfWriter pdf(partial);
        pdf.setTitle(QStringLiteral("JQZ 68(7)11 Programmer - User Manual"));
        pdf.setCreator(QStringLiteral("JQZ 68(7)11 Programmer"));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter));
        pdf.setResolution(300);
        doc.print(&pdf);
    }
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && !DateThePdf(partial, epoch)) {
        QFile::remove(partial);
        std::fprintf(stderr, "cannot date %s\n", qPrintable(partial));
        return 1;
    }
    if (!pagesFolder.isEmpty()) {
        // The same layout at screen resolution, page by page.
        const QSizeF page(595 * 96 / 72.0 - 2 * 68, 842 * 96 / 72.0 - 2 * 60);
        doc.setPageSize(page);
        for (int i = 0; i < doc.pageCount(); ++i) {
            QImage image(page.toSize(), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.translate(0, -i * page.height());
            doc.drawContents(&painter, QRectF(QPointF(0, i * page.height()), page));
            painter.end();
            image.save(QStringLiteral("%1/page%2.png").arg(pagesFolder).arg(i + 1, 2, 10, QChar('0')));
        }
    }
    QFile::remove(target);
    if (!QFile::rename(partial, target)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
        return 1;
    }
    return 0;
}
