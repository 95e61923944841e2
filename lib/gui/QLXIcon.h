#pragma once
// The program's icon, drawn rather than stored, so that the window icon and
// the icon files installed for the desktop menu are the same picture at
// every size: an amber music folder with a note on it.

#include <QIcon>
#include <QImage>

// The icon drawn into a square image of size x size pixels.
QImage ProgramIconImage(int size);
// The icon at the usual sizes (16 to 256 pixels).
QIcon ProgramIcon();
// The sizes ProgramIcon() holds and the installed icon files come in.
const QList<int> &ProgramIconSizes();
