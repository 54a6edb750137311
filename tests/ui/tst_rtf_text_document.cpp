// The RTF adapter: paragraphs and runs of the core reader become blocks and character formats.
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextDocument>
#include <QTextFragment>
#include <QtTest>

#include "ui/device/rtf_text_document.h"

using namespace jqz;

namespace {

// The character format of the fragment holding `text`.
QTextCharFormat formatOf(const QTextDocument& doc, const QString& text) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().text() == text) return it.fragment().charFormat();
    return {};
}

}  // namespace

class TestRtfTextDocument : public QObject {
    Q_OBJECT
private slots:
    void formatsReachTheDocument() {
        QTextDocument doc;
        FillTextDocument(
            ParseRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern\\fprq1 "
                     "Courier New;}}{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue255;}"
                     "\\pard\\qc\\sb300\\b\\fs32 Title\\b0\\fs20\\par"
                     "\\pard\\li720\\fi-360\\tx2160\\tqr\\tx4320 {\\i slanted}\\tab {\\ul under}"
                     "\\tab {\\f1 fixed}\\line {\\cf1\\highlight2 red}\\par"
                     "\\pard\\qr {\\strike gone}\\par}"),
            doc);
        // (raw text: the line break inside a paragraph stays a line separator)
        QCOMPARE(doc.toRawText(),
                 QString("Title") + QChar(QChar::ParagraphSeparator) + "slanted\tunder\tfixed" +
                     QChar(QChar::LineSeparator) +
                     "red" + QChar(QChar::ParagraphSeparator) + "gone");
        QCOMPARE(doc.blockCount(), 3);

        const QTextBlock title = doc.begin();
        QCOMPARE(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(title.blockFormat().topMargin(), 20.0);
        QCOMPARE(formatOf(doc, "Title").fontWeight(), int(QFont::Bold));
        QCOMPARE(formatOf(doc, "Title").fontPointSize(), 16.0);
        QCOMPARE(formatOf(doc, "Title").fontFamilies().toStringList(), QStringList("Arial"));

        const QTextBlock body = title.next();
        QCOMPARE(body.blockFormat().leftMargin(), 48.0);
        QCOMPARE(body.blockFormat().textIndent(), -24.0);
        const auto tabs = body.blockFormat().tabPositions();
        QCOMPARE(tabs.size(), 2);
        QCOMPARE(tabs[0].position, 120.0);  // counted from the start of the first line
        QCOMPARE(tabs[1].type, QTextOption::RightTab);
        // Laid out, the text after the tab starts where RTF puts the stop: 2160 twips (144
        // pixels) from the margin, whatever the paragraph's indents.
        doc.setDocumentMargin(0);
        doc.setTextWidth(800);
        (void)doc.documentLayout()->documentSize();  // lays the document out
        const QTextLine firstLine = body.layout()->lineAt(0);
        QVERIFY(firstLine.isValid());
        const int underAt = body.text().indexOf("under");
        QVERIFY(qAbs(firstLine.cursorToX(underAt) - 144.0) < 1.0);
        QVERIFY(formatOf(doc, "slanted").fontItalic());
        QVERIFY(formatOf(doc, "under").fontUnderline());
        QCOMPARE(formatOf(doc, "under").fontPointSize(), 10.0);
        QVERIFY(formatOf(doc, "fixed").fontFixedPitch());
        QCOMPARE(formatOf(doc, "fixed").fontFamilies().toStringList(), QStringList("Courier New"));
        const QTextCharFormat red = formatOf(doc, "red");
        QCOMPARE(red.foreground().color(), QColor(200, 0, 0));
        QCOMPARE(red.background().color(), QColor(0, 0, 255));
        QVERIFY(!formatOf(doc, "slanted").hasProperty(QTextFormat::ForegroundBrush));

        const QTextBlock last = body.next();
        QCOMPARE(last.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QVERIFY(formatOf(doc, "gone").fontStrikeOut());
    }

    void aGeneratedQuickInfoDocumentLoads() {
        QTextDocument doc;
        QVERIFY(LoadRtfFile(QStringLiteral(JQZ_DHELP_DIR "/E9.rtf"), doc));
        const QString text = doc.toPlainText();
        QVERIFY(text.startsWith("MC68S711 E9, MC68HC711 E9, MC68HC11 E9"));
        QVERIFY(text.contains("MC68HC11  E9 (E28B)\t7"));
        QVERIFY(text.contains(QString("EEPROM\t0xB600") + QChar(0x2013) + "0xB7FF\t512 bytes"));
        QCOMPARE(formatOf(doc, "MC68HC11  E9 (E28B)").fontFamilies().toStringList(),
                 QStringList("Courier New"));
    }

    void aMissingFileEmptiesTheDocument() {
        QTextDocument doc;
        doc.setPlainText("old contents");
        QVERIFY(!LoadRtfFile(QStringLiteral(JQZ_DHELP_DIR "/no such.rtf"), doc));
        QVERIFY(doc.isEmpty());
    }
};

QTEST_MAIN(TestRtfTextDocument)
#include "tst_rtf_text_document.moc"
