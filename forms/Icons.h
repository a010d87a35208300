// The program's pictures: the four 16 x 16 status icons of the message list and the program icon.
#pragma once

#include <QIcon>
#include <QPixmap>

// By SMSEngine::Status...: received unread (closed envelope), received read (open envelope), stored
// unsent (written sheet), stored sent (sheet with a green arrow). Transparent background.
QPixmap StatusIcon(int Status);

QIcon ProgramIcon();      // drawn at 16, 32 and 48 pixels
QPixmap ProgramIcon32();  // the about box's picture

// Whether a font family is installed under this name, asked of the fonts already known: a family
// that is missing sends the font machinery on a costly search for a stand-in.
bool FontInstalled(const QString& Family);
// The forms' font: Tahoma where it is installed, else the system's sans-serif, PointSize points.
QFont FormFont(int PointSize = 8, bool Bold = false);
// The form font, made smaller in half points (down to 6) until Widest fits into Room pixels, for
// where a font wider than Tahoma would fill the widest caption to its edges. A size up is measured
// only where the last measurement, grown in proportion, says it may fit.
QFont FittedFormFont(const QString& Widest, int Room);
