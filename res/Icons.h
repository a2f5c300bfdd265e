#pragma once
// Icon 128: an open book above a telephone, 32x32 and 16x16 in 16 colours;
// icon 138: a yellow warning triangle with an exclamation mark.

#include <QIcon>
#include <QPixmap>

QIcon AppIcon();
/// The 32x32 image of icon resource `nId` (a null pixmap for an unknown number).
QPixmap LoadResIcon(int nId);
