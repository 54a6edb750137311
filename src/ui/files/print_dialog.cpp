#include "ui/files/print_dialog.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

#include "core/messages/log_model.h"
#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"
#include "ui/files/dialog_parts.h"
#include "ui/image/code_page.h"

namespace jqz {

void PrinterDocument::begin(int fontPoints, const std::string& pageHeading) {
    fontPoints_ = fontPoints;
    heading_ = pageHeading;
    lines_.clear();
}

void PrinterDocument::appendLine(const std::string& line) { lines_.push_back(line); }

std::string PrinterDocument::print() {
    // Coordinates start at the corner of the printable area, as the printer's page does.
    printer_.setFullPage(false);
    printer_.setDocName(QString());
    QPainter painter;
    if (!painter.begin(&printer_))
        return "Cannot print: the printer \"" + FileNameBytes(PrinterDisplayName(printer_)) +
               "\" is not available.";
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(fontPoints_);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer_);
    const qreal line = metrics.lineSpacing();

    // The printable area less the margin on every side; the heading and the page number each
    // take a line and a blank line.
    const QRectF page = printer_.pageLayout().paintRectPixels(printer_.resolution());
    const QRectF body(kPrintMargin, kPrintMargin, page.width() - 2 * kPrintMargin,
                      page.height() - 2 * kPrintMargin);
    const int linesPerPage = static_cast<int>(body.height() / line) - 4;
    const std::vector<PrintPage> pages = PrintPages(lines_, linesPerPage, heading_);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        if (p > 0) printer_.newPage();
        qreal baseline = body.top() + metrics.ascent();
        if (!pages[p].heading.empty()) {
            painter.drawText(QPointF(body.left(), baseline), FromCodePage(pages[p].heading));
            baseline += 2 * line;
        }
        for (const std::string& text : pages[p].lines) {
            painter.drawText(QPointF(body.left(), baseline), FromCodePage(text));
            baseline += line;
        }
        const QString footer = FromCodePage(pages[p].footer);
        painter.drawText(QPointF(body.left() + (body.width() - metrics.horizontalAdvance(footer)) / 2,
                                 body.bottom() - metrics.descent()),
                         footer);
    }
    if (!painter.end()) return "Cannot print: the printer refused the document.";
    return {};
}

QtThreadLauncher::~QtThreadLauncher() { join(); }

void QtThreadLauncher::start(std::function<void()> body) {
    thread_.reset(QThread::create(std::move(body)));
    thread_->setObjectName("printerTh");
    thread_->start();
}

void QtThreadLauncher::join() {
    if (thread_ && !isRunningThread()) thread_->wait();
}

bool QtThreadLauncher::isRunningThread() const {
    return thread_ && QThread::currentThread() == thread_.get();
}

QString PrinterDisplayName(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName()
                                                         : printer.printerName();
}

TPrintd::TPrintd(const HexEditModel& model, MessageSink& messages, LogSink& log,
                 GaugeSetter gaugeMaximum, GaugeSetter gaugePosition, QWidget* parent)
    : QDialog(parent),
      model_(model),
      messages_(messages),
      log_(log),
      gaugeMaximum_(std::move(gaugeMaximum)),
      gaugePosition_(std::move(gaugePosition)),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName("Printd");
    setWindowTitle("Print");
    MakeToolDialog(*this);
    document_ = std::make_unique<PrinterDocument>(*printer_);

    auto* v = new QVBoxLayout(this);
    v->setSpacing(6);
    auto* heading = NamedLabel("Label1", "Buffer Printing Options");
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    v->addWidget(heading);

    auto* row = new QHBoxLayout;
    auto* grid = new QGridLayout;
    edit1_ = NamedEdit("Edit1", "0x0000");
    edit2_ = NamedEdit("Edit2", QString::fromStdString("0x" + HexText(MemoryImage::LastAddress(), 4)));
    grid->addWidget(NamedLabel("Label2", "From Address :"), 0, 0);
    grid->addWidget(edit1_, 0, 1);
    grid->addWidget(NamedLabel("Label3", "To Address :"), 1, 0);
    grid->addWidget(edit2_, 1, 1);
    grid->setRowStretch(2, 1);
    row->addLayout(grid, 1);

    auto* radioGroup1 = new QGroupBox("Bytes/Row");
    radioGroup1->setObjectName("RadioGroup1");
    auto* radios = new QVBoxLayout(radioGroup1);
    bytesPerRow_ = new QButtonGroup(this);
    for (int bytes : {16, 32}) {
        auto* r = new QRadioButton(QString::number(bytes));
        r->setObjectName(QStringLiteral("RadioButton%1").arg(bytes));
        bytesPerRow_->addButton(r, bytes);
        radios->addWidget(r);
    }
    bytesPerRow_->button(16)->setChecked(true);
    row->addWidget(radioGroup1);
    v->addLayout(row);

    const DialogButtons end = AddDialogButtons(*v, "Button2", "Print", "Button3");
    button2_ = end.accept;
    button1_ = NamedButton("Button1", "Setup ...");
    end.row->insertWidget(0, button1_);

    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(end.cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TPrintd::~TPrintd() { thread_.reset(); }

void TPrintd::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    button1_->setEnabled(true);
    button2_->setEnabled(true);
    CentreOnScreen(*this);
    edit1_->setFocus();
    edit1_->selectAll();
}

void TPrintd::post(std::function<void()> f) {
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

bool TPrintd::choosePdfFile() {
    QFileDialog browser(this, QPrinterInfo::availablePrinterNames().isEmpty()
                                  ? QStringLiteral("Print to File (no printer is installed)")
                                  : QStringLiteral("Print to File"));
    browser.setObjectName("PrintToFileDialog1");
    browser.setOption(QFileDialog::DontUseNativeDialog);
    browser.setAcceptMode(QFileDialog::AcceptSave);
    browser.setFileMode(QFileDialog::AnyFile);
    browser.setNameFilters({"PDF files (*.pdf)", "All files (*)"});
    browser.setDefaultSuffix("pdf");
    if (printer_->outputFileName().isEmpty())
        browser.setDirectory(BrowserStartFolder());
    else
        browser.selectFile(printer_->outputFileName());
    if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty()) return false;
    RememberBrowserFolder(browser.selectedFiles().constFirst());
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(browser.selectedFiles().constFirst());
    return true;
}

void TPrintd::Button1Click() {
#ifdef Q_OS_WIN  // Qt differs: its Windows print dialog serves installed printers only
    // Without an installed printer, a PDF file.
    if (printer_->outputFormat() != QPrinter::NativeFormat) {
        choosePdfFile();
        return;
    }
#endif
    QPrintDialog setup(printer_.get(), this);
    setup.setObjectName("PrinterSetupDialog1");
    setup.setOption(QAbstractPrintDialog::PrintToFile);
    setup.exec();
}

void TPrintd::Button2Click() {
    if (thread_) return;
    const auto range = PrintRange(edit1_->text().toStdString(), edit2_->text().toStdString(),
                                  messages_);
    if (!range) return;
    if (printer_->outputFormat() == QPrinter::PdfFormat && printer_->outputFileName().isEmpty() &&
        !choosePdfFile())
        return;
    log_.AddLogLine(PrintingBufferLine(*range, FileNameBytes(PrinterDisplayName(*printer_))),
                    LogInfo);
    button1_->setEnabled(false);
    button2_->setEnabled(false);
    PrinterTh::Gauge gauge{
        [this](int m) { post([this, m] { if (gaugeMaximum_) gaugeMaximum_(m); }); },
        [this](int p) { post([this, p] { if (gaugePosition_) gaugePosition_(p); }); }};
    thread_ = std::make_unique<PrinterTh>(model_, PrintRequest{*range, bytesPerRow_->checkedId()},
                                          *document_, log_, std::move(gauge), [this] {
                                              post([this] {
                                                  if (isVisible()) accept();
                                              });
                                          },
                                          std::make_unique<QtThreadLauncher>());
}

void TPrintd::done(int result) {
    StopPrint(thread_, log_);
    QDialog::done(result);
}

}  // namespace jqz
