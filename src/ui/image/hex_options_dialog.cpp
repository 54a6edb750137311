#include "ui/image/hex_options_dialog.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/image/colour_combo_box.h"
#include "ui/image/dialog_fields.h"
#include "ui/image/grid_font.h"
#include "ui/image/hex_edit.h"

namespace jqz {

namespace {

QComboBox* fontList(const char* name, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(FixedPitchFamilies());
    list->setMinimumWidth(200);
    return list;
}

}  // namespace

THoptions::THoptions(THexEdit& owner, QWidget* parent)
    : QDialog(parent != nullptr ? parent : &owner), owner_(owner) {
    MakeToolDialog(this, "Hoptions", "Hex Editor Options");
    leftFont_ = fontList("ComboBox1", this);
    rightFont_ = fontList("ComboBox2", this);
    colours_ = {new ColourComboBox("ComboBox3", this), new ColourComboBox("ComboBox5", this),
                new ColourComboBox("ComboBox4", this), new ColourComboBox("ComboBox6", this),
                new ColourComboBox("ComboBox7", this)};
    auto* form = new QFormLayout;
    form->addRow(FieldLabel("Left Window Font :", "Label1", leftFont_), leftFont_);
    form->addRow(FieldLabel("Right Window Font :", "Label2", rightFont_), rightFont_);
    fontSize_ = new QSpinBox(this);
    fontSize_->setObjectName("SpinEdit1");
    fontSize_->setRange(kMinFontPixels, kMaxFontPixels);
    fontSize_->setSuffix(" pixels");
    form->addRow(FieldLabel("Font Size :", "Label8", fontSize_), fontSize_);
    const char* labels[] = {"Address Cells Color :", "Work Cells Color :", "Edited Cells Color :",
                            "Unimplemented Cells Color :", "Background Color :"};
    for (std::size_t i = 0; i < colours_.size(); ++i)
        form->addRow(FieldLabel(labels[i], QStringLiteral("Label%1").arg(i + 3).toLatin1(), colours_[i]),
                     colours_[i]);

    auto* reset = new QPushButton("Reset To Default", this);
    reset->setObjectName("Button4");
    reset->setAutoDefault(false);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Button1");
    ok->setDefault(true);
    apply_ = new QPushButton("Apply", this);
    apply_->setObjectName("Button3");
    apply_->setAutoDefault(false);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("Button2");
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(apply_);
    buttons->addWidget(cancel);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(apply_, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(reset, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(leftFont_, &QComboBox::activated, this,
            [this] { leftName_ = leftFont_->currentText(); });
    connect(rightFont_, &QComboBox::activated, this,
            [this] { rightName_ = rightFont_->currentText(); });
    for (QComboBox* list : {leftFont_, rightFont_})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { apply_->setEnabled(true); });
    for (QComboBox* list : colours_)
        connect(list, &QComboBox::currentIndexChanged, this, [this] { apply_->setEnabled(true); });
    connect(fontSize_, &QSpinBox::valueChanged, this, [this] { apply_->setEnabled(true); });
}

void THoptions::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void THoptions::selectFont(QComboBox* list, const QString& name) {
    // The list shows the family the name is drawn with, also when it is none of the list's;
    // the name itself is kept until the user picks another family.
    const QString drawn = QFontInfo(GridFont(name.toStdString(), kDefaultFontPixels)).family();
    int index = list->findText(drawn, Qt::MatchFixedString);
    if (index < 0) {
        list->addItem(drawn);
        index = list->count() - 1;
    }
    list->setCurrentIndex(index);
}

void THoptions::FormShow() {
    const EditorAppearance p = owner_.GetAppearance();
    leftName_ = QString::fromStdString(p.LeftFont);
    rightName_ = QString::fromStdString(p.RightFont);
    selectFont(leftFont_, leftName_);
    selectFont(rightFont_, rightName_);
    fontSize_->setValue(p.FontPixels);
    const Rgb colours[] = {p.AddressColor, p.WorkColor, p.EditedColor, p.UnimplementedColor,
                           p.BackgroundColor};
    for (std::size_t i = 0; i < colours_.size(); ++i)
        colours_[i]->setCurrentIndex(ColorToColorIndex(colours[i]));
    apply_->setEnabled(false);
}

bool THoptions::Button3Click() {
    EditorAppearance p = owner_.GetAppearance();
    p.LeftFont = leftName_.toStdString();
    p.RightFont = rightName_.toStdString();
    p.FontPixels = fontSize_->value();
    Rgb* colours[] = {&p.AddressColor, &p.WorkColor, &p.EditedColor, &p.UnimplementedColor,
                      &p.BackgroundColor};
    for (std::size_t i = 0; i < colours_.size(); ++i)
        *colours[i] = ColorIndexToColor(colours_[i]->currentIndex());
    if (!owner_.ApplyOptions(p)) return false;
    apply_->setEnabled(false);
    return true;
}

void THoptions::Button1Click() {
    if (!Button3Click()) return;
    accept();
}

void THoptions::Button4Click() {
    // The start-up fonts and the image's default colours, into the lists; Apply or OK uses them.
    const EditorAppearance defaults;
    leftName_ = QString::fromStdString(defaults.LeftFont);
    rightName_ = QString::fromStdString(defaults.RightFont);
    selectFont(leftFont_, leftName_);
    selectFont(rightFont_, rightName_);
    fontSize_->setValue(defaults.FontPixels);
    const Rgb colours[] = {defaults.AddressColor, defaults.WorkColor, defaults.EditedColor,
                           defaults.UnimplementedColor, defaults.BackgroundColor};
    for (std::size_t i = 0; i < colours_.size(); ++i)
        colours_[i]->setCurrentIndex(ColorToColorIndex(colours[i]));
    apply_->setEnabled(true);
}

}  // namespace jqz
