#pragma once
// What the file and print dialogs share: the window frame, the browser and the common
// controls, each named as the dialogs' tests find them.
#include <QString>
#include <QStringList>

class QDialog;
class QFileDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace jqz {

// The filter texts of the file browsers, in kImageFileFilters' order. The browser matches
// their patterns without regard to letter case.
QStringList ImageFileNameFilters();

// The folder a file browser opens in when no file is named: the folder of the file chosen
// last in any of the program's browsers, else the user's Documents folder (else the home
// folder), never the folder the program was started in.
QString BrowserStartFolder();
// Remembers the folder of a file chosen in a browser.
void RememberBrowserFolder(const QString& file);

// A modal tool window with only a close box; CentreOnScreen puts it in the screen's middle.
void MakeToolDialog(QDialog& dialog);
void CentreOnScreen(QDialog& dialog);

QLabel* NamedLabel(const char* name, const QString& text);
QLineEdit* NamedEdit(const char* name, const QString& text);
// A push button that is never the default by taking the focus.
QPushButton* NamedButton(const char* name, const QString& text);

// A separator line and a bold heading.
void AddHeading(QVBoxLayout& layout, const char* name, const QString& text);

// The default and the cancel button at the dialog's bottom right, in a row that may take
// more buttons at its left.
struct DialogButtons {
    QPushButton* accept;
    QPushButton* cancel;
    QHBoxLayout* row;
};
DialogButtons AddDialogButtons(QVBoxLayout& layout, const char* acceptName,
                               const QString& acceptText, const char* cancelName);

// The widget-based browser (the same everywhere, and reachable by tests) with the image filters.
QFileDialog* MakeFileBrowser(QDialog& parent, const char* name, const QString& title);

}  // namespace jqz
