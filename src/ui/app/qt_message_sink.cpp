#include "ui/app/qt_message_sink.h"

#include <QApplication>
#include <QMessageBox>

namespace jqz {

void QtMessageSink::showError(const std::string& text) {
    QMessageBox::critical(parent_, QApplication::applicationDisplayName(),
                          QString::fromLocal8Bit(text), QMessageBox::Ok);
}

void QtMessageSink::showConfirmation(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(),
                    QString::fromLocal8Bit(text), QMessageBox::Ok, parent_);
    box.exec();
}

Answer QtMessageSink::askQuestion(const std::string& text, QuestionButtons buttons) {
    QMessageBox::StandardButtons set = QMessageBox::Yes | QMessageBox::No;
    if (buttons == QuestionButtons::YesNoCancel) set |= QMessageBox::Cancel;
    switch (QMessageBox::warning(parent_, QApplication::applicationDisplayName(),
                                 QString::fromLocal8Bit(text), set)) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return Answer::Cancel;
    }
}

}  // namespace jqz
