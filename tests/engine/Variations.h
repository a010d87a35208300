// The inputs a differential test derives from real PDUs to reach the odd readings.
#pragma once

#include <string>
#include <vector>

// Calls Check with each PDU, the PDU with CR LF behind it, its prefixes and its one-character
// changes. The fields sit in the first 80 characters; in the user data beyond, the phases of the
// packing repeat every 8 octets, so the last 16 prefixes and every 5th change cover it. The
// replacements are a lowercase or foreign character, the filler F, a sign (two-digit numbers take
// one), and digits that change lengths and types.
template <class TCheck>
void ForEachVariation(const std::vector<std::string>& PDUs, TCheck Check) {
  const std::string Replacements = "0F9D5G-+a8 \r1";
  for (const std::string& PDU : PDUs) {
    Check(PDU);
    Check(PDU + "\r\n");
    for (std::size_t Size = 0; Size < PDU.size(); ++Size)
      if (Size < 80 || Size + 16 >= PDU.size()) Check(PDU.substr(0, Size));
    for (std::size_t I = 0; I < PDU.size(); I += I < 80 ? 1 : 5) {
      std::string Changed = PDU;
      Changed[I] = Replacements[I % Replacements.size()];
      if (Changed != PDU) Check(Changed);
    }
  }
}
