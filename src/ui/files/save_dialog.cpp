#include "ui/files/save_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/files/load_file.h"
#include "core/files/save_file.h"
#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"
#include "ui/files/dialog_parts.h"
#include "ui/image/code_page.h"

namespace jqz {

TSavef::TSavef(HexEditModel& model, MessageSink& messages, LogSink& log, QWidget* parent)
    : QDialog(parent), model_(model), messages_(messages), log_(log) {
    setObjectName("Savef");
    setWindowTitle("Save File From Buffer");
    MakeToolDialog(*this);

    auto* v = new QVBoxLayout(this);
    v->setSpacing(6);
    v->addWidget(NamedLabel("Label1", "File Name"));
    auto* nameRow = new QHBoxLayout;
    edit1_ = NamedEdit("Edit1", "");
    edit1_->setReadOnly(true);
    edit1_->setMinimumWidth(380);
    edit1_->setStatusTip("File to write");
    QPushButton* button1 = NamedButton("Button1", "Browse");
    nameRow->addWidget(edit1_, 1);
    nameRow->addWidget(button1);
    v->addLayout(nameRow);
    AddHeading(*v, "Label2", "Buffer Save Options");

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->addWidget(NamedLabel("Label3", "Save File As : "), 0, 0);
    comboBox1_ = new QComboBox;
    comboBox1_->setObjectName("ComboBox1");
    for (SaveFormat f : kSaveFormats) comboBox1_->addItem(SaveFormatName(f));
    comboBox1_->setCurrentIndex(0);
    grid->addWidget(comboBox1_, 0, 1);
    checkBox1_ = new QCheckBox("Save Entire Buffer");
    checkBox1_->setObjectName("CheckBox1");
    checkBox1_->setChecked(true);
    grid->addWidget(checkBox1_, 1, 0, 1, 2);
    checkBox2_ = new QCheckBox("Save Unimplemented  Areas");
    checkBox2_->setObjectName("CheckBox2");
    grid->addWidget(checkBox2_, 2, 0, 1, 2);
    const QString highest = QString::fromStdString("0x" + HexText(MemoryImage::LastAddress(), 5));
    const char* rangeNames[2][3] = {
        {"Label4", "Lowest Buffer address to Save :", "Edit2"},
        {"Label5", "Higest Buffer address to Save :", "Edit3"},
    };
    for (int i = 0; i < 2; ++i) {
        rangeLabels_[i] = NamedLabel(rangeNames[i][0], rangeNames[i][1]);
        rangeEdits_[i] = NamedEdit(rangeNames[i][2], i == 0 ? QString("0x0000") : highest);
        grid->addWidget(rangeLabels_[i], 3 + i, 0);
        grid->addWidget(rangeEdits_[i], 3 + i, 1);
    }
    v->addLayout(grid);

    const DialogButtons buttons = AddDialogButtons(*v, "Button2", "OK", "Button3");
    button2_ = buttons.accept;
    button2_->setEnabled(false);

    saveDialog_ = MakeFileBrowser(*this, "SaveDialog1", "Save File");
    saveDialog_->setAcceptMode(QFileDialog::AcceptSave);
    saveDialog_->setFileMode(QFileDialog::AnyFile);
    connect(saveDialog_, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        saveDialog_->setDefaultSuffix(FilterNamed(filter.toStdString()).suffix);
    });

    connect(button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(comboBox1_, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    connect(checkBox1_, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
    CheckBox1Click();
}

void TSavef::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

void TSavef::Button1Click() {
    // The browser opens in the folder of the file named last.
    saveDialog_->setDirectory(edit1_->text().isEmpty() ? BrowserStartFolder()
                                                : QFileInfo(edit1_->text()).absolutePath());
    if (saveDialog_->exec() != QDialog::Accepted || saveDialog_->selectedFiles().isEmpty()) return;
    RememberBrowserFolder(saveDialog_->selectedFiles().front());
    // The name as the system writes it (on Windows with backslashes), as typed names are.
    edit1_->setText(QDir::toNativeSeparators(saveDialog_->selectedFiles().front()));
    edit1_->selectAll();
    button2_->setEnabled(true);
    comboBox1_->setCurrentIndex(
        static_cast<int>(SaveFormatForFilter(saveDialog_->selectedNameFilter().toStdString())));
    ComboBox1Change();
}

void TSavef::ComboBox1Change() {
    checkBox2_->setEnabled(
        UnimplementedChoiceApplies(static_cast<SaveFormat>(comboBox1_->currentIndex())));
}

void TSavef::CheckBox1Click() {
    const bool ranged = !checkBox1_->isChecked();
    for (int i = 0; i < 2; ++i) {
        rangeLabels_[i]->setEnabled(ranged);
        rangeEdits_[i]->setEnabled(ranged);
    }
}

void TSavef::Button2Click() {
    SaveRequest request;
    request.fileName = FileNameBytes(edit1_->text());
    request.format = static_cast<SaveFormat>(comboBox1_->currentIndex());
    request.entireBuffer = checkBox1_->isChecked();
    request.lowestText = rangeEdits_[0]->text().toStdString();
    request.highestText = rangeEdits_[1]->text().toStdString();
    request.saveUnimplemented = checkBox2_->isChecked();
    if (SaveImageFile(request, model_, messages_, log_)) accept();
}

}  // namespace jqz
