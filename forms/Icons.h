// The program's pictures: the four 16 x 16 status icons of the message list and the program icon.
#pragma once

#include <QIcon>
#include <QPixmap>

// Status 0 received unread (closed envelope), 1 received read (open envelope), 2 stored unsent
// (written sheet), 3 stored sent (sheet with a green arrow). Transparent background.
QPixmap StatusIcon(int Status);

QIcon ProgramIcon();
QPixmap ProgramIcon32();  // the about box's picture

// The forms' font: Tahoma where it is installed, else the system's sans-serif, PointSize points.
QFont FormFont(int PointSize = 8, bool Bold = false);
