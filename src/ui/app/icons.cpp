#include "ui/app/icons.h"

#include <QFile>

// The resources live in a static library: register them once before the first use.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace jqz {

QIcon ShellIcon(const char* name) {
    static const bool registered = (initIconResources(), true);
    (void)registered;
    const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    if (QFile::exists(path)) return QIcon(path);
    return QIcon::fromTheme(QLatin1String(name));
}

}  // namespace jqz
