// Septets packed into octets as the phone's PDUs carry them, written out independently of the
// codec so that the tests and the benchmark build their PDUs without trusting it.
#pragma once

#include <string>

inline std::string PackSeptets(const std::string& Septets) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string Text;
  unsigned Bits = 0;
  int Count = 0;
  auto Put = [&Text](unsigned Octet) {
    Text += Hex[(Octet >> 4) & 15];
    Text += Hex[Octet & 15];
  };
  for (const char S : Septets) {
    Bits |= (static_cast<unsigned>(S) & 0x7F) << Count;
    Count += 7;
    while (Count >= 8) {
      Put(Bits & 0xFF);
      Bits >>= 8;
      Count -= 8;
    }
  }
  if (Count > 0) Put(Bits & 0xFF);
  return Text;
}
