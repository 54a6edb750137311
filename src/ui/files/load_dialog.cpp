#include "ui/files/load_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/files/load_file.h"
#include "core/messages/message_sink.h"
#include "ui/files/dialog_parts.h"
#include "ui/image/code_page.h"

namespace jqz {

TLoadf::TLoadf(HexEditModel& model, std::vector<std::string>& recentFiles, MessageSink& messages,
               LogSink& log, QWidget* parent)
    : QDialog(parent), model_(model), recentFiles_(recentFiles), messages_(messages), log_(log) {
    setObjectName("Loadf");
    setWindowTitle("Load File Into Buffer");
    MakeToolDialog(*this);

    auto* v = new QVBoxLayout(this);
    v->setSpacing(6);
    v->addWidget(NamedLabel("Label1", "File Name"));
    auto* nameRow = new QHBoxLayout;
    edit1_ = NamedEdit("Edit1", "");
    edit1_->setMinimumWidth(380);
    edit1_->setStatusTip("File to load");
    button4_ = new QToolButton;
    button4_->setObjectName("Button4");
    button4_->setArrowType(Qt::DownArrow);
    button4_->setToolTip("Recently loaded files");
    button4_->setStatusTip("Recently loaded files");
    QPushButton* button1 = NamedButton("Button1", "Browse");
    nameRow->addWidget(edit1_, 1);
    nameRow->addWidget(button4_);
    nameRow->addWidget(button1);
    v->addLayout(nameRow);
    AddHeading(*v, "Label2", "Buffer Load Options");

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->addWidget(NamedLabel("Label3", "Auto Format Detected : "), 0, 0);
    comboBox1_ = new QComboBox;
    comboBox1_->setObjectName("ComboBox1");
    comboBox1_->setMinimumContentsLength(20);
    grid->addWidget(comboBox1_, 0, 1);
    checkBox1_ = new QCheckBox("Load Entire File");
    checkBox1_->setObjectName("CheckBox1");
    checkBox1_->setChecked(true);
    grid->addWidget(checkBox1_, 1, 0, 1, 2);
    const char* rangeNames[3][4] = {
        {"Label4", "Lowest Address From File To Load :", "Edit2", "0x0000"},
        {"Label5", "Highest Address From File To Load :", "Edit3", "0xFFFFFF"},
        {"Label6", "Offset Value To Place Data To Buffer:", "Edit4", "0"},
    };
    for (int i = 0; i < 3; ++i) {
        rangeLabels_[i] = NamedLabel(rangeNames[i][0], rangeNames[i][1]);
        rangeEdits_[i] = NamedEdit(rangeNames[i][2], rangeNames[i][3]);
        grid->addWidget(rangeLabels_[i], 2 + i, 0);
        grid->addWidget(rangeEdits_[i], 2 + i, 1);
    }
    v->addLayout(grid);

    radioGroup1_ = new QGroupBox("Clear Buffer Before Loading File");
    radioGroup1_->setObjectName("RadioGroup1");
    auto* radios = new QVBoxLayout(radioGroup1_);
    clearChoice_ = new QButtonGroup(this);
    const char* choices[] = {"Disable", "Clear Buffer With Zeros (0x00)",
                             "Clear Buffer With Ones  (0xFF)"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(choices[i]);
        r->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        clearChoice_->addButton(r, i);
        radios->addWidget(r);
    }
    clearChoice_->button(0)->setChecked(true);
    v->addWidget(radioGroup1_);

    const DialogButtons buttons = AddDialogButtons(*v, "Button2", "OK", "Button3");
    button2_ = buttons.accept;
    button2_->setEnabled(false);

    openedFileList_ = new QMenu(this);
    openedFileList_->setObjectName("OpenedFileList");

    openDialog_ = MakeFileBrowser(*this, "OpenDialog1", "Open");
    openDialog_->setFileMode(QFileDialog::ExistingFile);
    openDialog_->setAcceptMode(QFileDialog::AcceptOpen);
    // A name without an extension is the file of that name: nothing is added to it.
    openDialog_->setDefaultSuffix(QString());

    // A chosen name is looked at at once; a typed one when OK is pressed, so that a name half
    // typed brings no message.
    connect(edit1_, &QLineEdit::textChanged, this, [this] {
        if (!edit1_->isModified()) Edit1Change();
    });
    connect(edit1_, &QLineEdit::textEdited, this, [this](const QString& text) {
        examined_ = false;
        comboBox1_->clear();
        button2_->setEnabled(!text.trimmed().isEmpty());
    });
    connect(button4_, &QToolButton::clicked, this, [this] { Button4Click(); });
    connect(button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(checkBox1_, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
    CheckBox1Click();
}

void TLoadf::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    openedFileList_->clear();
    for (std::size_t i = 0; i < recentFiles_.size(); ++i) {
        QString caption = FileNameText(RecentFileCaption(i, recentFiles_[i]));
        // The entry's number is its mnemonic.
        QAction* a = openedFileList_->addAction("&" + caption.replace('&', "&&"));
        a->setData(FileNameText(recentFiles_[i]));
        connect(a, &QAction::triggered, this, [this, a] { chooseFile(a->data().toString()); });
    }
    CentreOnScreen(*this);
    button4_->setFocus();
}

void TLoadf::Button4Click() {
    // The list opens under the file name; it opens again on every click.
    openedFileList_->exec(mapToGlobal(QPoint(7, 60)));
}

void TLoadf::Button1Click() {
    // The browser opens in the folder of the file named last.
    openDialog_->setDirectory(edit1_->text().isEmpty() ? BrowserStartFolder()
                                                : QFileInfo(edit1_->text()).absolutePath());
    if (openDialog_->exec() != QDialog::Accepted || openDialog_->selectedFiles().isEmpty()) return;
    RememberBrowserFolder(openDialog_->selectedFiles().front());
    // The name as the system writes it (on Windows with backslashes), as typed names are.
    chooseFile(QDir::toNativeSeparators(openDialog_->selectedFiles().front()));
}

void TLoadf::chooseFile(const QString& name) {
    // The same name chosen again is looked at again: the file may have changed meanwhile.
    if (edit1_->text() == name)
        Edit1Change();
    else
        edit1_->setText(name);
    edit1_->selectAll();
}

void TLoadf::Edit1Change() {
    examined_ = true;
    button2_->setEnabled(false);
    const auto formats = OfferedFormats(FileNameBytes(edit1_->text()));
    if (!formats) {
        messages_.showError(kFileNotAccessible);
        return;
    }
    button2_->setEnabled(true);
    comboBox1_->clear();
    for (FileFormat f : *formats) comboBox1_->addItem(FormatName(f));
    comboBox1_->setCurrentIndex(0);
}

void TLoadf::CheckBox1Click() {
    const bool ranged = !checkBox1_->isChecked();
    for (int i = 0; i < 3; ++i) {
        rangeLabels_[i]->setEnabled(ranged);
        rangeEdits_[i]->setEnabled(ranged);
    }
}

void TLoadf::Button2Click() {
    // A typed name is looked at as a chosen one: a file that is not there stops here.
    if (!examined_) {
        Edit1Change();
        if (!button2_->isEnabled()) return;
    }
    LoadRequest request;
    request.fileName = FileNameBytes(edit1_->text());
    request.format = FormatFromName(comboBox1_->currentText().toStdString())
                         .value_or(FileFormat::Binary);
    request.entireFile = checkBox1_->isChecked();
    request.lowestText = rangeEdits_[0]->text().toStdString();
    request.highestText = rangeEdits_[1]->text().toStdString();
    request.offsetText = rangeEdits_[2]->text().toStdString();
    request.clear = static_cast<ClearChoice>(clearChoice_->checkedId());
    if (LoadImageFile(request, model_, recentFiles_, messages_, log_)) accept();
}

}  // namespace jqz
