// Text inside the program is 8-bit code page 1252; the widgets want QString. These two functions
// are the only crossing between the two.
#pragma once

#include <QString>
#include <string>

// Every byte has a character (see rules/Cp1252.h): the five bytes the code
// page leaves undefined (81, 8D, 8F, 90, 9D) become the control characters of the same number, as
// Windows maps them, so that they survive the way back.
QString Cp1252ToQString(const std::string& Text);

// Characters the code page cannot hold become '?'.
std::string QStringToCp1252(const QString& Text);
