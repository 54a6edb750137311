#include "ui/device/rtf_text_document.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include "core/platform/atomic_file.h"

namespace jqz {

namespace {

// Twips (1/1440 inch) to the document's pixels at 96 dots per inch.
qreal twipsToPixels(int twips) { return twips / 15.0; }

QFont::StyleHint styleHint(RtfFontFamily family) {
    switch (family) {
        case RtfFontFamily::Roman: return QFont::Serif;
        case RtfFontFamily::Swiss: return QFont::SansSerif;
        case RtfFontFamily::Modern: return QFont::Monospace;
        case RtfFontFamily::Script: return QFont::Cursive;
        case RtfFontFamily::Decor: return QFont::Decorative;
        default: return QFont::AnyStyle;
    }
}

QTextBlockFormat blockFormat(const RtfParagraphFormat& p) {
    QTextBlockFormat f;
    switch (p.alignment) {
        case RtfAlignment::Left: f.setAlignment(Qt::AlignLeft); break;
        case RtfAlignment::Center: f.setAlignment(Qt::AlignHCenter); break;
        case RtfAlignment::Right: f.setAlignment(Qt::AlignRight); break;
        case RtfAlignment::Justify: f.setAlignment(Qt::AlignJustify); break;
    }
    f.setLeftMargin(twipsToPixels(p.leftIndentTwips));
    f.setRightMargin(twipsToPixels(p.rightIndentTwips));
    f.setTextIndent(twipsToPixels(p.firstLineIndentTwips));
    f.setTopMargin(twipsToPixels(p.spaceBeforeTwips));
    f.setBottomMargin(twipsToPixels(p.spaceAfterTwips));
    if (!p.tabs.empty()) {
        QList<QTextOption::Tab> tabs;
        for (const RtfTabStop& t : p.tabs) {
            QTextOption::TabType type = QTextOption::LeftTab;
            if (t.kind == RtfTabKind::Right) type = QTextOption::RightTab;
            if (t.kind == RtfTabKind::Center) type = QTextOption::CenterTab;
            if (t.kind == RtfTabKind::Decimal) type = QTextOption::DelimiterTab;
            // RTF counts tab positions from the page margin, Qt from where the line starts:
            // the left indent plus, on the first line, its own indent.
            const int fromLineStart =
                t.positionTwips - p.leftIndentTwips - p.firstLineIndentTwips;
            if (fromLineStart <= 0) continue;
            tabs.append(QTextOption::Tab(twipsToPixels(fromLineStart), type, QLatin1Char('.')));
        }
        f.setTabPositions(tabs);
    }
    return f;
}

QTextCharFormat charFormat(const RtfDocument& doc, const RtfCharFormat& c) {
    QTextCharFormat f;
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    f.setFontPointSize(c.fontSizeHalfPoints / 2.0);
    const RtfFont* font = doc.font(c.font >= 0 ? c.font : doc.defaultFont);
    if (font != nullptr && !font->name.empty()) {
        f.setFontFamilies({QString::fromStdString(font->name)});
        f.setFontStyleHint(font->fixedPitch ? QFont::Monospace : styleHint(font->family));
        if (font->fixedPitch || font->family == RtfFontFamily::Modern) f.setFontFixedPitch(true);
    }
    if (const RtfColor* color = doc.color(c.color))
        f.setForeground(QColor(color->red, color->green, color->blue));
    if (const RtfColor* color = doc.color(c.background))
        f.setBackground(QColor(color->red, color->green, color->blue));
    return f;
}

}  // namespace

void FillTextDocument(const RtfDocument& rtf, QTextDocument& target) {
    target.clear();
    QTextCursor cursor(&target);
    cursor.beginEditBlock();
    bool first = true;
    for (const RtfParagraph& p : rtf.paragraphs) {
        const QTextBlockFormat block = blockFormat(p.format);
        const QTextCharFormat blockChars =
            charFormat(rtf, p.runs.empty() ? RtfCharFormat{} : p.runs.front().format);
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(blockChars);
            first = false;
        } else {
            cursor.insertBlock(block, blockChars);
        }
        for (const RtfRun& run : p.runs) {
            QString text = QString::fromStdString(run.text);
            text.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
            cursor.insertText(text, charFormat(rtf, run.format));
        }
    }
    cursor.endEditBlock();
}

bool LoadRtfFile(const QString& path, QTextDocument& target) {
    // Quick-info documents are small; anything far larger is not one of them.
    const auto bytes = ReadWholeFile(path.toStdString(), 16u * 1024u * 1024u);
    if (!bytes) {
        target.clear();
        return false;
    }
    FillTextDocument(ParseRtf(*bytes), target);
    return true;
}

}  // namespace jqz
