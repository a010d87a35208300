// Arbitrary input for both decoders and the unpacking helpers, and a check that any text survives
// the encoder and the SUBMIT decoder as the alphabet conversion leaves it. The decoders and the
// encoder must give exactly what the bit-string pipeline gives, refusals and errors included.
#include "engine/SMSEngine.h"
#include "tests/engine/Differential.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace SMSEngine;

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

void Decode(const std::string& PDU) {
  Check(Differential::CompareDecoders(PDU).empty());
  std::string SCA, OA, DA, UD;
  bool Flash = false, SRR = false, RD = false;
  int VPF = 0, MR = 0, VPRelative = 0, VPTZ = 0;
  TDateTime SCTS = 0, VPAbsolute = 0;
  try {
    DecodeDeliverPDU(PDU, SCA, OA, Flash, SCTS, UD);
  } catch (const EConvertError&) {}
  try {
    if (DecodeSubmitPDU(PDU, SCA, SRR, VPF, RD, MR, DA, Flash, VPRelative, VPAbsolute, VPTZ, UD)) {
      Check(VPF >= 0 && VPF <= 3);
      Check(MR >= 0 && MR <= 255);
      Check(VPTZ >= -127 && VPTZ <= 79);  // 128 - v for any zone octet v above 48
    }
  } catch (const EConvertError&) {}
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetErrorReporter(Differential::Record);
  SetClock([] { return EncodeDate(2026, 1, 15) + 0.5; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  const std::uint8_t Mode = Data[0];
  const std::string Input(reinterpret_cast<const char*>(Data + 1), Size - 1);

  // As given, and with every byte turned into an uppercase hex digit so that the decoders get
  // past the first fields more often.
  Decode(Input);
  std::string Hex;
  for (const char Ch : Input) Hex += "0123456789ABCDEF"[static_cast<std::uint8_t>(Ch) & 15];
  Decode(Hex);

  const std::string Bits = HexToBin(Input);
  const std::string Septets = BinToSeptets(ReverseBlocks(Bits, 7));
  Check(Septets.size() == Bits.size() / 7);
  Check(BinToHex(Bits).size() == Bits.size() / 4);
  Check(ReverseBlocks(Input, Mode % 9).size() <= Input.size());
  HexToByte(Input);
  GSMToText(Septets);
  GSMToText(Input);

  // Text through the encoder and back: what the alphabet conversion gives for it.
  std::string Text = Input;
  if (Text.size() >= 2 && Text.compare(Text.size() - 2, 2, "\r\n") == 0) Text.resize(Text.size() - 2);
  Check(CountSeptets(Text) == static_cast<int>(TextToGSM(Text).size()));
  int PDULength = 0;
  std::string PDU;
  const bool Encoded = EncodeSubmitPDU("+49", Mode & 1, (Mode >> 1) % 3 == 0 ? 0 : 2, Mode & 8, Mode, "123", Mode & 16,
                                       Mode, 0, 0, Input, PDULength, PDU);
  // Any fields: addresses and the validity period from the input too.
  SMSEngine::TSubmitFields M;
  const std::size_t Split = std::min<std::size_t>(Mode % 16, Input.size());
  M.SCA = Input.substr(0, Split);
  M.DA = Input.substr(Split, Mode % 23);
  M.SRR = Mode & 1;
  M.VPF = Mode % 5;
  M.RD = Mode & 2;
  M.MR = Mode * 7 - 300;
  M.Flash = Mode & 4;
  M.VPRelative = Mode;
  M.VPAbsolute = EncodeDate(2026, 1, 15) + (static_cast<int>(Mode) - 100) * 3.7;
  M.VPTZ = static_cast<int>(Mode) - 128;
  M.UD = Input;
  Check(Differential::CompareEncoders(M).empty());
  Check(Encoded == (CountSeptets(Text) <= 255));
  if (Encoded) {
    std::string SCA, DA, UD;
    bool Flash = false, SRR = false, RD = false;
    int VPF = 0, MR = 0, VPRelative = 0, VPTZ = 0;
    TDateTime VPAbsolute = 0;
    Check(DecodeSubmitPDU(PDU, SCA, SRR, VPF, RD, MR, DA, Flash, VPRelative, VPAbsolute, VPTZ, UD));
    Check(UD == GSMToText(TextToGSM(Text)));
    Check(SCA == "+49" && DA == "123" && MR == Mode);
  }
  return 0;
}
