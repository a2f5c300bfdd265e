#include "Icons.h"

#include "Resource.h"

#include "marlo16.xpm"
#include "marlo32.xpm"

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap(marlo32_xpm));
    icon.addPixmap(QPixmap(marlo16_xpm));
    return icon;
}

QPixmap LoadResIcon(int nId) {
    return nId == IDR_MAINFRAME ? QPixmap(marlo32_xpm) : QPixmap();
}
