#include "Icons.h"

#include "Resource.h"

#include <QDirIterator>

namespace {

// The PNGs lie in the resources as they are installed: hicolor/SIZExSIZE/CONTEXT/NAME.png.
// The folder tells the size, so that no image is read before one is drawn.
QIcon ThemeIcon(const QString& context, const QString& name) {
    QIcon icon;
    QDirIterator it(QStringLiteral(":/icons/hicolor"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString folder = it.next();
        const QString file = folder + QLatin1Char('/') + context + QLatin1Char('/') + name + QStringLiteral(".png");
        const int size = it.fileName().section(QLatin1Char('x'), 0, 0).toInt();
        if (size > 0 && QFile::exists(file))
            icon.addFile(file, QSize(size, size));
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
