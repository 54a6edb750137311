#pragma once
// The "Select Device" dialog: the supported devices, sorted, in a fixed-pitch font, beside the
// quick-info document of the highlighted one.
#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QTextEdit;
class QTextDocument;

namespace jqz {

class SupportedDeviceList;

class TDeviceWiz1 : public QDialog {
    Q_OBJECT
public:
    // Fills the document from a quick-info file; false when it cannot be read.
    using DocumentLoader = std::function<bool(const QString& path, QTextDocument& document)>;

    TDeviceWiz1(SupportedDeviceList& devices, DocumentLoader loadDocument,
                QWidget* parent = nullptr);

    // Rows that cannot be chosen (with the bootstrap cable: those it does not serve), greyed
    // with the reason as their tool tip and under the list while highlighted; OK refuses
    // them. Empty: every row can be chosen.
    using Refusal = std::function<std::string(const std::string& deviceName)>;
    void setRefusal(Refusal refusal);

    void FormShow();
    void ListBox1Click();
    void Button1Click();
    QString highlighted() const;
    // Room for the list and a quick-info document's lines where the screen has it.
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    SupportedDeviceList& devices_;
    DocumentLoader loadDocument_;
    QListWidget* list_;
    QTextEdit* info_;
    QLabel* refusalLabel_;
    QPushButton* ok_;
    Refusal refusal_;
};

}  // namespace jqz
