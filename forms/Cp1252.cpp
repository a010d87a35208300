#include "Cp1252.h"

namespace {

// 0x80-0x9F; the rest of the code page equals Latin-1. Undefined bytes map to themselves.
constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

QString Cp1252ToQString(const std::string& Text) {
  QString result;
  result.reserve(static_cast<qsizetype>(Text.size()));
  for (char c : Text) {
    const auto b = static_cast<unsigned char>(c);
    result.append(QChar(b >= 0x80 && b <= 0x9F ? High[b - 0x80] : char16_t(b)));
  }
  return result;
}

std::string QStringToCp1252(const QString& Text) {
  std::string result;
  result.reserve(static_cast<size_t>(Text.size()));
  for (QChar ch : Text) {
    const char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      result.push_back(static_cast<char>(u));
      continue;
    }
    char out = '?';
    for (int i = 0; i < 32; ++i) {
      if (High[i] == u) {
        out = static_cast<char>(0x80 + i);
        break;
      }
    }
    result.push_back(out);
  }
  return result;
}
