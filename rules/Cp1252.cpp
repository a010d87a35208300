#include "rules/Cp1252.h"

namespace {

// 0x80-0x9F. The undefined bytes hold the control character of their own number.
constexpr char32_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

namespace Cp1252 {

char32_t ToUnicode(unsigned char Byte) { return Byte >= 0x80 && Byte <= 0x9F ? High[Byte - 0x80] : Byte; }

std::u32string ToUnicode(std::string_view Text) {
  std::u32string Out;
  Out.reserve(Text.size());
  for (const char Ch : Text) Out += ToUnicode(static_cast<unsigned char>(Ch));
  return Out;
}

int FromUnicode(char32_t Code) {
  if (Code < 0x80 || (Code >= 0xA0 && Code <= 0xFF)) return static_cast<int>(Code);
  for (int I = 0; I < 32; ++I)
    if (High[I] == Code) return 0x80 + I;
  return -1;
}

}  // namespace Cp1252
