#include "Icons.h"

#include "Resource.h"

#include <QDirIterator>

namespace {

// The PNGs lie in the resources as they are installed: hicolor/SIZExSIZE/CONTEXT/NAME.png.
QIcon ThemeIcon(const QString& context, const QString& name) {
    QIcon icon;
    QDirIterator it(QStringLiteral(":/icons/hicolor"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString file = it.next() + QLatin1Char('/') + context + QLatin1Char('/') + name + QStringLiteral(".png");
        if (QFile::exists(file))
            icon.addFile(file);
    }
    return icon;
}

} // namespace

QIcon AppIcon() {
    return ThemeIcon(QStringLiteral("apps"), QStringLiteral("marlo"));
}

QIcon LoadResIcon(int nId) {
    switch (nId) {
    case IDR_MAINFRAME:
        return AppIcon();
    case IDI_WARNING:
        return ThemeIcon(QStringLiteral("status"), QStringLiteral("marlo-warning"));
    default:
        return QIcon();
    }
}
