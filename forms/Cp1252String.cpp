#include "forms/Cp1252String.h"

#include "rules/Cp1252.h"

QString Cp1252ToQString(const std::string& Text) {
  QString result;
  result.reserve(static_cast<qsizetype>(Text.size()));
  for (char c : Text) result.append(QChar(static_cast<char16_t>(Cp1252::ToUnicode(static_cast<unsigned char>(c)))));
  return result;
}

std::string QStringToCp1252(const QString& Text) {
  std::string result;
  result.reserve(static_cast<size_t>(Text.size()));
  for (QChar ch : Text) {
    const int b = Cp1252::FromUnicode(ch.unicode());
    result.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return result;
}
