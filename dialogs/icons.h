// The program's icons, drawn here so that the program never lacks one.
#pragma once

#include <QIcon>

// The toolbar icon of a command: the desktop theme's icon when it has one,
// ours otherwise.
QIcon CommandIcon(int command);
// Our own drawing of a command's icon, 16 by 16.
QIcon OwnCommandIcon(int command);
// The program's icon (a tape case with its liner) and the cassette picture of the about box.
QIcon ProgramIcon();
QPixmap CassettePixmap(int size);
