#include "ui/app/icons.h"

#include <QFile>

// The resources live in a static library: register them once before the first use.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace jqz {

QIcon ShellIcon(const char* name) {
    static const bool registered = (initIconResources(), true);
    (void)registered;
#ifdef JQZ_PNG_ICONS
    // No SVG engine: the same pictures, drawn at build time in two sizes.
    const QString small = QStringLiteral(":/icons/32/%1.png").arg(QLatin1String(name));
    if (QFile::exists(small)) {
        QIcon icon(small);
        icon.addFile(QStringLiteral(":/icons/64/%1.png").arg(QLatin1String(name)));
        return icon;
    }
#else
    const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    if (QFile::exists(path)) return QIcon(path);
#endif
    return QIcon::fromTheme(QLatin1String(name));
}

}  // namespace jqz
