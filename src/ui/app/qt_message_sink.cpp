#include "ui/app/qt_message_sink.h"

#include <QMessageBox>

#include "ui/image/code_page.h"

namespace jqz {

namespace {

Answer ask(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
           QuestionButtons buttons) {
    QMessageBox::StandardButtons set = QMessageBox::Yes | QMessageBox::No;
    if (buttons == QuestionButtons::YesNoCancel) set |= QMessageBox::Cancel;
    QMessageBox box(icon, kProgramTitle, FileNameText(text), set, parent);
    switch (box.exec()) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return Answer::Cancel;
    }
}

}  // namespace

void QtMessageSink::showError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, kProgramTitle, FileNameText(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

void QtMessageSink::showConfirmation(const std::string& text) {
    QMessageBox box(QMessageBox::Question, kProgramTitle, FileNameText(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

Answer QtMessageSink::askQuestion(const std::string& text, QuestionButtons buttons) {
    return ask(parent_, QMessageBox::Warning, text, buttons);
}

Answer QtMessageSink::askConfirmation(const std::string& text, QuestionButtons buttons) {
    return ask(parent_, QMessageBox::Question, text, buttons);
}

}  // namespace jqz
