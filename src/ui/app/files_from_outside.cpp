// Files that come to the main window from outside: named on the program's command line (a
// double-click on a file of a type the program opens), dropped on the main window or on the
// hex editor. Each is loaded as Load loads it with the format its first bytes show.
#include <QDir>
#include <QFileInfo>

#include "core/files/load_file.h"
#include "core/image/image_edit.h"
#include "ui/app/file_drops.h"
#include "ui/app/prog_shell.h"
#include "ui/image/code_page.h"
#include "ui/image/hex_edit.h"

namespace jqz {

QStringList FilesNamedOnCommandLine(const QStringList& arguments) {
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (!optionsEnded && a == "--")
            optionsEnded = true;
        else if (optionsEnded || !a.startsWith('-'))
            files << a;
    }
    return files;
}

void TProgShell::watchFileDrops() {
    auto* drops = new FileDrops([this](const QStringList& files) { OpenFilesFromOutside(files); },
                                this);
    drops->watch(this);
    drops->watch(hexEdit_.get());
}

bool TProgShell::OpenFilesFromOutside(const QStringList& fileNames) {
    if (fileNames.isEmpty()) return false;
    const bool loaded = OpenFileFromOutside(fileNames.front());
    for (qsizetype i = 1; i < fileNames.size(); ++i)
        AddLogLine(kOneFileAtATime + FileNameBytes(fileNames[i]), LogError);
    return loaded;
}

bool TProgShell::OpenFileFromOutside(const QString& fileName) {
    // A read that fills the image refuses it before anything is asked.
    if (RefuseWhileRead(hexModel_->image, *sink_)) return false;
    if (!FormCloseQuery()) return false;
    // The recent list keeps the whole name, whatever folder the program was started in.
    const QString name = QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
    LoadRequest request;
    request.fileName = FileNameBytes(name);
    // A file that cannot be read is loaded as binary, which tells why.
    const auto formats = OfferedFormats(request.fileName);
    request.format = formats ? formats->front() : FileFormat::Binary;
    if (!LoadImageFile(request, *hexModel_, recentFiles_, *sink_, log_)) return false;
    // The work the question was about is saved or given up.
    setBufferSaved(true);
    return true;
}

}  // namespace jqz
