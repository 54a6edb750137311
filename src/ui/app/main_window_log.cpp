// The log's commands: its popup menu, copying and clearing lines, saving the log file.
#include <QDateTime>
#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"
#include "ui/app/log_stamp.h"
#include "ui/app/log_view.h"
#include "ui/app/prog_shell.h"
#include "ui/image/code_page.h"

namespace jqz {

void TProgShell::createLogCommands() {
    struct Command {
        const char* name;
        const char* caption;
        QKeySequence keys;
        std::function<void()> run;
    };
    const Command commands[] = {
        {"LogCopy", "&Copy", QKeySequence::Copy, [this] { statusWin_->copySelection(); }},
        {"LogSelectAll", "&Select All", QKeySequence::SelectAll, [this] { statusWin_->selectAll(); }},
        {"LogClear", "C&lear", {}, [this] { statusWin_->logModel()->clear(); }},
        {"LogSaveAs", "Save &As ...", {}, [this] { SaveLogAs(); }},
    };
    logFilePopUp_->addSeparator();
    for (const Command& c : commands) {
        QAction* a = logFilePopUp_->addAction(c.caption);
        a->setObjectName(c.name);
        a->setShortcut(c.keys);
        // The keys work while the log has the focus; the hex editor keeps its own.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        statusWin_->addAction(a);
        connect(a, &QAction::triggered, this, c.run);
    }
    connect(logFilePopUp_, &QMenu::aboutToShow, this, [this] {
        findChild<QAction*>("LogCopy")->setEnabled(statusWin_->selectionModel()->hasSelection());
    });
}

void TProgShell::S1Click() {
    // The log file's folder (the user's state folder) may not exist yet on a first run.
    (void)CreateFolderOf(paths_.logFile);
    if (const std::string error = saveLog(paths_.logFile); !error.empty())
        AddLogLine(error, LogError);
}

std::string TProgShell::saveLog(const std::string& path) {
    const std::string header = LogFileHeader(QDateTime::currentDateTime(), QLocale());
    return WriteFileAtomically(path, log_.FileText(header));
}

void TProgShell::SaveLogAs() {
    const QString path =
        logFileChooser ? logFileChooser()
                       : QFileDialog::getSaveFileName(
                             this, "Save Log As", FileNameText(paths_.logFile),
                             "Log files (*.log);;Text files (*.txt);;All files (*)");
    if (path.isEmpty()) return;
    const std::string name = FileNameBytes(QDir::toNativeSeparators(path));
    if (const std::string error = saveLog(name); !error.empty()) sink_->showError(error);
}

}  // namespace jqz
