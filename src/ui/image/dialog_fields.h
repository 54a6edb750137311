#pragma once
// Small helpers shared by the editor's dialogs: the history drop-downs, the OK and Cancel row,
// the 8-bit texts of the fields.
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <initializer_list>
#include <string>

namespace jqz {

// An editable combo box whose drop-down list is the field's history.
QComboBox* HistoryCombo(const char* name, QWidget* parent = nullptr);
// Adds the field's text to its list unless the list already holds it.
void AddToHistory(QComboBox* combo);
// The field's text as the core takes it.
std::string FieldText(const QComboBox* combo);
// A label for a field, named for tests.
QLabel* FieldLabel(const char* text, const char* name, QWidget* buddy);
// The row of buttons "OK" (default, Button1) and "Cancel" (Button2) at the dialog's foot.
QHBoxLayout* OkCancelRow(QDialog* dialog, QPushButton** ok, QPushButton** cancel);
// A modal tool window, as every editor dialog is.
void MakeToolDialog(QDialog* dialog, const char* name, const QString& caption);
// A titled group of radio buttons; the buttons' ids are their positions, their object names
// the given names.
QWidget* RadioGroup(const char* title, const char* name,
                    std::initializer_list<std::pair<const char*, const char*>> items,
                    QButtonGroup** group, QWidget* parent = nullptr);
// Selects the field and its text, as a dialog does for its first field when it opens.
void FocusField(QComboBox* combo);
// Centres a dialog on the screen it is shown on.
void CentreOnScreen(QWidget* dialog);

}  // namespace jqz
