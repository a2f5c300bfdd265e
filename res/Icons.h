#pragma once
// Icon 128: an open book above a telephone; icon 138: a yellow warning triangle
// with an exclamation mark. Each is drawn once as SVG (res/icons) and built into
// the program as PNGs of every size the desktop's icon theme uses, so that it
// stays sharp at any scale.

#include <QIcon>

QIcon AppIcon();
/// Icon resource `nId` in all its sizes (a null icon for an unknown number).
QIcon LoadResIcon(int nId);
