// The print dialog behind File > Print, printing to PDF files.
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "../core/test_support.h"
#include "shell_test_support.h"
#include "core/platform/atomic_file.h"
#include "ui/app/prog_shell.h"
#include "ui/files/print_dialog.h"

using namespace jqz;

namespace {

// Pages of a PDF file written by Qt: its page objects.
int pdfPages(const QString& path) {
    const auto bytes = ReadWholeFile(path.toStdString());
    if (!bytes || bytes->rfind("%PDF", 0) != 0) return -1;
    int pages = 0;
    for (std::size_t at = bytes->find("/Type /Page"); at != std::string::npos;
         at = bytes->find("/Type /Page", at + 1))
        if (bytes->compare(at, 12, "/Type /Pages") != 0) ++pages;
    return pages;
}

// Collects the toolkit's warnings about threads and timers while it lives (a print on a thread
// the toolkit does not know fills them with timer complaints).
class WarningRecorder {
public:
    WarningRecorder() {
        recorded().clear();
        previous_ = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            // What a toolkit object says when it lives on a thread the toolkit did not start.
            if (type != QtDebugMsg && type != QtInfoMsg &&
                (text.contains("thread", Qt::CaseInsensitive) || text.contains("Timer")))
                recorded() << text;
        });
    }
    ~WarningRecorder() { qInstallMessageHandler(previous_); }
    static QStringList& recorded() {
        static QStringList texts;
        return texts;
    }

private:
    QtMessageHandler previous_;
};

template <typename T>
T* child(QObject* parent, const char* name) {
    T* c = parent->findChild<T*>(name);
    if (c == nullptr) qWarning("no control %s", name);
    return c;
}

}  // namespace

class TestPrintDialog : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    ShellPaths paths() const { return test::ShellPathsIn(dir_.path()); }

    // Opens the print dialog through the main window and runs `inside` in it.
    void withDialog(TProgShell& shell, std::function<void(TPrintd*)> inside) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<TPrintd*>(QApplication::activeModalWidget());
            QVERIFY(d != nullptr);
            ran = true;
            inside(d);
            if (QTest::currentTestFailed() && d->isVisible()) d->reject();
        });
        shell.action("EditPrint")->trigger();
        QVERIFY(ran);
    }

    // Sets the range and the row width, prints to `pdf` and waits for the dialog to close.
    static void print(TPrintd* d, const QString& from, const QString& to, int bytes,
                      const QString& pdf) {
        d->printer().setOutputFormat(QPrinter::PdfFormat);
        d->printer().setOutputFileName(pdf);
        child<QLineEdit>(d, "Edit1")->setText(from);
        child<QLineEdit>(d, "Edit2")->setText(to);
        child<QRadioButton>(d, bytes == 16 ? "RadioButton16" : "RadioButton32")->click();
        child<QPushButton>(d, "Button2")->click();
    }

    // Answers the next choice of a PDF file with `file`, or cancels it when `file` is empty.
    static void answerFileChoice(const QString& file) {
        QTimer::singleShot(0, [file] {
            QWidget* modal = QApplication::activeModalWidget();
            const auto closeIt = qScopeGuard([modal] { if (modal && modal->isVisible()) modal->close(); });
            auto* browser = qobject_cast<QFileDialog*>(modal);
            QVERIFY(browser != nullptr);
            QCOMPARE(browser->objectName(), QString("PrintToFileDialog1"));
            QCOMPARE(browser->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(browser->nameFilters().constFirst(), QString("PDF files (*.pdf)"));
            if (file.isEmpty()) return;
            browser->selectFile(file);
            static_cast<QDialog*>(browser)->accept();
        });
    }

private slots:
    void theDialogAsShown() {
        test::RecordingSink sink;
        TProgShell shell(paths(), &sink);
        QVERIFY(shell.action("EditPrint")->isEnabled());
        withDialog(shell, [&](TPrintd* d) {
            QCOMPARE(d->windowTitle(), QString("Print"));
            QCOMPARE(child<QLabel>(d, "Label1")->text(), QString("Buffer Printing Options"));
            QCOMPARE(child<QLabel>(d, "Label2")->text(), QString("From Address :"));
            QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), QString("0x0000"));
            QCOMPARE(child<QLineEdit>(d, "Edit2")->text(), QString("0xFFFF"));
            QCOMPARE(child<QGroupBox>(d, "RadioGroup1")->title(), QString("Bytes/Row"));
            QVERIFY(child<QRadioButton>(d, "RadioButton16")->isChecked());
            QCOMPARE(child<QPushButton>(d, "Button1")->text(), QString("Setup ..."));
            QVERIFY(child<QPushButton>(d, "Button2")->isDefault());
            QCOMPARE(d->focusWidget(), child<QLineEdit>(d, "Edit1"));

            // The printer setup: the system's dialog; on Windows, which has it only for installed
            // printers, the choice of a PDF file when the printer is not one.
#ifdef Q_OS_WIN
            d->printer().setOutputFormat(QPrinter::PdfFormat);
            answerFileChoice(QString());
#else
            QTimer::singleShot(0, [] {
                QWidget* modal = QApplication::activeModalWidget();
                const auto closeIt = qScopeGuard([modal] { if (modal) modal->close(); });
                auto* setup = qobject_cast<QPrintDialog*>(modal);
                QVERIFY(setup != nullptr);
                QCOMPARE(setup->objectName(), QString("PrinterSetupDialog1"));
            });
#endif
            child<QPushButton>(d, "Button1")->click();
            QVERIFY(d->isVisible());

            // Refused ranges leave the dialog open and log nothing.
            child<QLineEdit>(d, "Edit2")->setText("0x10000");
            child<QPushButton>(d, "Button2")->click();
            child<QLineEdit>(d, "Edit2")->setText("0x");
            child<QPushButton>(d, "Button2")->click();
            QCOMPARE(sink.errors, (std::vector<std::string>{
                                      "Too big Address value",
                                      "To Enter Value in Hexadecimal format prefix 0x or $ must be use."}));
            QVERIFY(d->isVisible());
            child<QPushButton>(d, "Button3")->click();
            QVERIFY(!d->isVisible());
        });
        QVERIFY(shell.log().storedLines().empty());  // no print, no interruption
    }

    void printsTheDumpToAFileAndClosesItself() {
        test::RecordingSink sink;
        TProgShell shell(paths(), &sink);
        const QString one = dir_.path() + "/one.pdf";
        const QString whole = dir_.path() + "/whole.pdf";
        WarningRecorder warnings;
        withDialog(shell, [&](TPrintd* d) { print(d, "0x0005", "0x0005", 16, one); });
        QCOMPARE(test::LogTexts(shell), (std::vector<std::string>{
                                      "Printing buffer : 0x0005-0x0005 -> " + one.toStdString(),
                                      "Print buffer complete"}));
        QCOMPARE(pdfPages(one), 1);

        // The whole image in rows of 32, range typed in reverse; the fields are kept.
        withDialog(shell, [&](TPrintd* d) {
            QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), QString("0x0005"));
            QVERIFY(child<QPushButton>(d, "Button2")->isEnabled());
            print(d, "0xFFFF", "0", 32, whole);
        });
        QCOMPARE(test::LogTexts(shell).at(2), "Printing buffer : 0x0000-0xFFFF -> " + whole.toStdString());
        QCOMPARE(test::LogTexts(shell).at(3), std::string("Print buffer complete"));
        // 2049 lines of 8-point type, over many pages.
        QVERIFY2(pdfPages(whole) > 10, qPrintable(QString::number(pdfPages(whole))));

        // The gauge ran over the lines and is back at zero.
        auto* gauge = shell.findChild<QProgressBar*>("ProgBar");
        QTRY_COMPARE(gauge->maximum(), 2049);
        QTRY_COMPARE(gauge->value(), 0);
        QVERIFY2(WarningRecorder::recorded().isEmpty(), qPrintable(WarningRecorder::recorded().join(" | ")));
    }

    // A printout to a file without a name (a machine without printers) asks for the file; a
    // cancelled choice prints nothing and logs nothing.
    void aPrintoutToAFileWithoutANameAsksForTheFile() {
        test::RecordingSink sink;
        TProgShell shell(paths(), &sink);
        const QString chosen = dir_.path() + "/dump";
        withDialog(shell, [&](TPrintd* d) {
            d->printer().setOutputFormat(QPrinter::PdfFormat);
            d->printer().setOutputFileName(QString());
            child<QLineEdit>(d, "Edit1")->setText("0x0000");
            child<QLineEdit>(d, "Edit2")->setText("0x001F");
            answerFileChoice(QString());
            child<QPushButton>(d, "Button2")->click();
            QVERIFY(d->isVisible());
            QVERIFY(child<QPushButton>(d, "Button2")->isEnabled());
            QVERIFY(shell.log().storedLines().empty());
            answerFileChoice(chosen);
            child<QPushButton>(d, "Button2")->click();
        });
        QCOMPARE(test::LogTexts(shell), (std::vector<std::string>{
                                      "Printing buffer : 0x0000-0x001F -> " + chosen.toStdString() + ".pdf",
                                      "Print buffer complete"}));
        QCOMPARE(pdfPages(chosen + ".pdf"), 1);
        QVERIFY(sink.errors.empty());
    }

    void aPrinterThatCannotBeOpenedIsReported() {
        test::RecordingSink sink;
        TProgShell shell(paths(), &sink);
        withDialog(shell, [&](TPrintd* d) {
            print(d, "0", "0xF", 16, dir_.path() + "/no/such/folder/x.pdf");
        });
        const auto lines = test::LogTexts(shell);
        QCOMPARE(lines.size(), std::size_t{2});
        QVERIFY2(lines[1].rfind("Cannot print", 0) == 0, lines[1].c_str());
        QCOMPARE(LogModel::KindOf(shell.log().storedLines()[1]), int(LogError));
    }
};

QTEST_MAIN(TestPrintDialog)
#include "tst_print_dialog.moc"
