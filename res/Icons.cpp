#include "Icons.h"

#include "Resource.h"

#include "marlo16.xpm"
#include "marlo32.xpm"
#include "warning32.xpm"

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap(marlo32_xpm));
    icon.addPixmap(QPixmap(marlo16_xpm));
    return icon;
}

QPixmap LoadResIcon(int nId) {
    switch (nId) {
    case IDR_MAINFRAME:
        return QPixmap(marlo32_xpm);
    case IDI_WARNING:
        return QPixmap(warning32_xpm);
    default:
        return QPixmap();
    }
}
