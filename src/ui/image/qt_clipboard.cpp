#include "ui/image/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "ui/image/code_page.h"

namespace jqz {

void QtClipboard::putText(const std::string& text) {
    QGuiApplication::clipboard()->setText(FromCodePage(text));
}

std::string QtClipboard::getText() {
    return ToCodePage(QGuiApplication::clipboard()->text());
}

}  // namespace jqz
