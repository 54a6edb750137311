#include "ui/image/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace jqz {

void QtClipboard::putText(const std::string& text) {
    QGuiApplication::clipboard()->setText(
        QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
}

std::string QtClipboard::getText() {
    return QGuiApplication::clipboard()->text().toLocal8Bit().toStdString();
}

}  // namespace jqz
