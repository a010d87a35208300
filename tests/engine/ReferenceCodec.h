// The codec as the bit-string pipeline defines it: octets through strings of '0' and '1', fields cut
// out as strings. Kept beside the tests as the reference the codec's byte-level paths must match in
// everything: the text, every field, every refusal and its text, every conversion error.
#pragma once

#include "engine/SMSEngine.h"

#include <string>
#include <utility>
#include <vector>

namespace ReferenceCodec {

using namespace SMSEngine;

// The refusals of the reference, in order; the caller clears it.
inline std::vector<std::string> Refusals;

namespace Detail {

const char* const ErrValidityPast = "ERROR: Validity ends in the past.";
const char* const ErrTextTooLong = "ERROR: Message text too long.";
const char* const ErrUserDataHeader = "ERROR: Messages with user data header not supported.";
const char* const ErrMessageType = "ERROR: Message type not supported.";
const char* const ErrCodingScheme = "ERROR: Message data coding scheme not supported.";
const char* const ErrIncomplete = "ERROR: Message is incomplete.";
const char* const ErrDateEncode = "Invalid argument to date encode";

inline void Refuse(const std::string& Text) { Refusals.push_back(Text); }

inline std::string TwoDigits(int Value) {
  std::string S = std::to_string(Value);
  return S.size() < 2 ? "0" + S : S;
}

// ---- Septet packing and unpacking ----

// GSM string (n >= 1 septets) to packed user data in hex text, ceil(7n / 8) octets.
inline std::string PackSeptets(const std::string& GSM) {
  std::string B = ReverseBlocks(SeptetsToBin(GSM), 7);  // each septet least significant bit first
  if (B.size() % 8 != 0) B.append(8 - B.size() % 8, '0');
  return BinToHex(ReverseBlocks(B, 8));
}

// N septets of packed user data in hex text H to text. Fill bits and whatever follows the user data
// are dropped; user data shorter than N septets gives the septets that are there.
inline std::string UnpackSeptets(int N, const std::string& H) {
  if (N <= 0) return {};
  std::string B = ReverseBlocks(HexToBin(H), 8);  // each octet least significant bit first
  // Measured on the bits actually there, so that an odd digit or a skipped character cannot
  // make us cut into the user data.
  const std::size_t Wanted = 7 * static_cast<std::size_t>(N);
  if (B.size() > Wanted) B.resize(Wanted);
  return GSMToText(BinToSeptets(ReverseBlocks(B, 7)));
}

// ---- Encoder fields ----

inline std::string EncodeSCAField(const std::string& SCA) {
  if (SCA.empty() || SCA == "+") return "00";
  std::string Type = "81", Digits = SCA;
  if (Digits[0] == '+') {
    Type = "91";
    Digits.erase(0, 1);
  }
  if (Digits.size() % 2 != 0) Digits += 'F';
  Digits = ReverseBlocks(Digits, 2);
  return ByteToHex(static_cast<int>((Digits.size() + Type.size()) / 2)) + Type + Digits;
}

inline std::string EncodeDAField(const std::string& DA) {
  std::string Type = "81", Digits = DA;
  if (!Digits.empty() && Digits[0] == '+') {
    Type = "91";
    Digits.erase(0, 1);
  }
  const std::string Length = ByteToHex(static_cast<int>(Digits.size()));
  if (Digits.size() % 2 != 0) Digits += 'F';
  return Length + Type + ReverseBlocks(Digits, 2);
}

// The absolute validity period: seven octets, or false when the end lies in the past. The zone octet
// holds the magnitude in plain binary, 128 added for a negative zone.
inline bool EncodeVPAbsolute(TDateTime VPAbsolute, int VPTZ, std::string& Field) {
  const int ZoneOctet = VPTZ >= 0 ? VPTZ : -VPTZ + 128;
  int Year, Month, Day, Hour, Min, Sec, MSec;
  DecodeDateTime(VPAbsolute, Year, Month, Day, Hour, Min, Sec, MSec);
  const std::string S = TwoDigits(Year % 100) + TwoDigits(Month) + TwoDigits(Day) + TwoDigits(Hour) + TwoDigits(Min) +
                        TwoDigits(Sec) + ByteToHex(ZoneOctet);
  if (Now() > VPAbsolute) {
    Detail::Refuse(ErrValidityPast);
    return false;
  }
  Field = ReverseBlocks(S, 2);
  return true;
}

// ---- Decoder fields ----

// Reads the PDU text from a position (0-based) on; refuses to read past its end.
class TCursor {
 public:
  explicit TCursor(const std::string& PDU) : Text(PDU) {}
  std::size_t Pos = 0;
  bool Has(std::size_t N) const { return Pos <= Text.size() && Text.size() - Pos >= N; }
  std::string Take(std::size_t N) {
    std::string S = Text.substr(Pos, N);
    Pos += N;
    return S;
  }
  std::string Rest() const { return Pos < Text.size() ? Text.substr(Pos) : std::string(); }
  const std::string& Text;
};

// An octet as a number; a pair that is not two hex digits reads as HexToByte gives it, and a
// negative result counts as 0.
inline int Octet(const std::string& S) {
  const int V = HexToByte(S);
  return V < 0 ? 0 : V;
}

inline bool Incomplete() {
  Refuse(ErrIncomplete);
  return false;
}

enum class TSCAField { Absent, Present };

// The service centre address in front of the TPDU. "00" is an SCA field holding no address; an
// address is recognised by its type "81" or "91" in characters 3 and 4; anything else starts with
// the TPDU. Returns false (after the report) when the PDU ends inside the field.
inline bool DecodeSCAField(TCursor& C, TSCAField& Field, std::string& SCA) {
  const std::string& PDU = C.Text;
  Field = TSCAField::Absent;
  if (PDU.compare(0, 2, "00") == 0) {
    C.Pos = 2;
    return true;
  }
  if (PDU.size() < 4) return true;
  const std::string Type = PDU.substr(2, 2);
  if (Type != "81" && Type != "91") return true;
  // The length counts the type octet too, so it is at least 1.
  int N = HexToByte(PDU.substr(0, 2));
  if (N < 1) N = 1;
  const std::size_t FieldChars = 2 + 2 * static_cast<std::size_t>(N);
  if (PDU.size() < FieldChars) return Incomplete();
  std::string Digits = ReverseBlocks(PDU.substr(4, FieldChars - 4), 2);
  if (const auto F = Digits.find('F'); F != std::string::npos) Digits.erase(F, 1);
  SCA = (Type == "91" ? "+" : "") + Digits;
  Field = TSCAField::Present;
  C.Pos = FieldChars;
  return true;
}

// Type of number (bits 6 to 4 of the type of address) 101: GSM 7-bit text in the address digits.
inline bool IsAlphanumeric(const std::string& Type) {
  const int V = HexToByte(Type);
  return V >= 0 && ((V >> 4) & 7) == 5;
}

// OA or DA: length in semi-octets, type of address, the semi-octets.
inline bool DecodeAddressField(TCursor& C, std::string& Address) {
  if (!C.Has(4)) return Incomplete();
  const int N = Octet(C.Take(2));
  const std::string Type = C.Take(2);
  const std::size_t Chars = static_cast<std::size_t>(N + N % 2);
  if (!C.Has(Chars)) return Incomplete();
  const std::string Raw = C.Take(Chars);
  if (N == 0) {
    Address.clear();
  } else if (IsAlphanumeric(Type)) {
    Address = UnpackSeptets(4 * N / 7, Raw);
  } else {
    std::string Digits = ReverseBlocks(Raw, 2);
    if (const auto F = Digits.find('F'); F != std::string::npos) Digits.erase(F, 1);
    Address = (Type == "91" ? "+" : "") + Digits;
  }
  return true;
}

// The year of a two-digit year: the one within 50 years before and 49 after the current year.
// Up to 2049 that is 1900 + YY or 2000 + YY; later the window moves on, so that a message of
// this year is not placed a century back.
inline int FullYear(int YY) {
  int CurYear, M, D, H, N, S, MS;
  DecodeDateTime(Now(), CurYear, M, D, H, N, S, MS);
  const int Base = CurYear - 50;
  int Year = Base / 100 * 100 + YY;
  if (Year < Base) Year += 100;
  return Year;
}

// A 7-octet time stamp at the cursor (the caller has checked that it is there): the local
// date-time; Zone gets the zone octet's value.
inline TDateTime DecodeTimeStamp(TCursor& C, int& Zone) {
  const std::string S = ReverseBlocks(C.Take(14), 2);  // YYMMDDhhmmssZZ
  const int Hour = StrToInt(S.substr(6, 2));
  const int Min = StrToInt(S.substr(8, 2));
  const int Sec = StrToInt(S.substr(10, 2));
  const TDateTime Time = EncodeTime(Hour, Min, Sec, 0);
  const int YY = StrToInt(S.substr(0, 2));
  if (YY < 0 || YY > 99) throw EConvertError(ErrDateEncode);
  const int Year = FullYear(YY);
  const int Month = StrToInt(S.substr(2, 2));
  const int Day = StrToInt(S.substr(4, 2));
  Zone = Octet(S.substr(12, 2));
  return EncodeDate(Year, Month, Day) + Time;
}

// First octet: user data header, then message type; the kinds accepted are 00 and 01.
inline bool CheckFirstOctet(int FirstOctet) {
  if (FirstOctet & 0x40) {
    Detail::Refuse(ErrUserDataHeader);
    return false;
  }
  if ((FirstOctet & 0x03) >= 2) {
    Detail::Refuse(ErrMessageType);
    return false;
  }
  return true;
}

// Protocol identifier (skipped) and data coding scheme: default alphabet, no class or class 0 or 1.
inline bool DecodePIDAndDCS(TCursor& C, bool& Flash) {
  if (!C.Has(4)) return Incomplete();
  C.Take(2);
  const std::string DCS = C.Take(2);
  if (DCS != "00" && DCS != "10" && DCS != "11" && DCS != "F0" && DCS != "F1") {
    Detail::Refuse(ErrCodingScheme);
    return false;
  }
  Flash = DCS == "10" || DCS == "F0";
  return true;
}

inline bool DecodeUserData(TCursor& C, std::string& UD) {
  if (!C.Has(2)) return Incomplete();
  const int N = Octet(C.Take(2));
  UD = N == 0 ? std::string() : UnpackSeptets(N, C.Rest());
  return true;
}

}  // namespace Detail

using namespace Detail;

// ---- Encoder ----

inline bool EncodeSubmitPDU(const std::string& SCA, bool SRR, int VPF, bool RD, int MR, const std::string& DA,
                            bool Flash, int VPRelative, TDateTime VPAbsolute, int VPTZ, const std::string& UD,
                            int& PDULength, std::string& PDU) {
  const std::string SCAField = EncodeSCAField(SCA);
  // Formats other than relative, absolute and enhanced mean no validity period.
  const int Format = VPF >= 1 && VPF <= 3 ? VPF : 0;
  const std::string FirstOctet = BinToHex(std::string("00") + (SRR ? '1' : '0') + (Format & 2 ? '1' : '0') +
                                          (Format & 1 ? '1' : '0') + (RD ? '1' : '0') + "01");
  const std::string MessageRef = ByteToHex(MR);
  const std::string DAField = EncodeDAField(DA);
  const std::string PID = BinToHex("00000000");
  const std::string DCS = BinToHex(Flash ? "00010000" : "00000000");

  std::string VP;
  switch (Format) {
    case 1:
      VP = "00000000000000";
      break;  // enhanced format, "no validity period specified"
    case 2:
      VP = ByteToHex(VPRelative);
      break;
    case 3:
      if (!EncodeVPAbsolute(VPAbsolute, VPTZ, VP)) return false;
      break;
    default:
      break;
  }

  // The memo's text usually ends in a line break that the user did not mean to send.
  std::string Text = UD;
  if (Text.size() >= 2 && Text.compare(Text.size() - 2, 2, "\r\n") == 0) Text.resize(Text.size() - 2);
  const std::string GSM = TextToGSM(Text);
  if (GSM.size() > 255) {  // the user data length is one octet
    Detail::Refuse(ErrTextTooLong);
    return false;
  }
  const std::string UDL = ByteToHex(static_cast<int>(GSM.size()));
  const std::string UserData = GSM.empty() ? std::string() : PackSeptets(GSM);

  const std::string TPDU = FirstOctet + MessageRef + DAField + PID + DCS + VP + UDL + UserData;
  PDULength = static_cast<int>(TPDU.size() / 2);
  PDU = SCAField + TPDU;
  return true;
}

// ---- Decoders ----

inline bool DecodeDeliverPDU(const std::string& PDU, std::string& SCA, std::string& OA, bool& Flash, TDateTime& SCTS,
                             std::string& UD) {
  TCursor C(PDU);
  SCA.clear();
  TSCAField Field;
  if (!DecodeSCAField(C, Field, SCA)) return false;

  if (!C.Has(2)) return Incomplete();
  if (!CheckFirstOctet(Octet(C.Take(2)))) return false;

  OA.clear();
  if (!DecodeAddressField(C, OA)) return false;
  if (!DecodePIDAndDCS(C, Flash)) return false;

  if (!C.Has(14)) return Incomplete();
  int Zone;  // the arrival time is shown without its zone
  SCTS = DecodeTimeStamp(C, Zone);

  return DecodeUserData(C, UD);
}

inline bool DecodeSubmitPDU(const std::string& PDU, std::string& SCA, bool& SRR, int& VPF, bool& RD, int& MR,
                            std::string& DA, bool& Flash, int& VPRelative, TDateTime& VPAbsolute, int& VPTZ,
                            std::string& UD) {
  TCursor C(PDU);
  TSCAField Field;
  std::string Address;
  if (!DecodeSCAField(C, Field, Address)) return false;
  SCA = Field == TSCAField::Present ? Address : "<Not present>";

  if (!C.Has(2)) return Incomplete();
  const int FirstOctet = Octet(C.Take(2));
  if (FirstOctet & 0x40) return CheckFirstOctet(FirstOctet);
  SRR = FirstOctet & 0x20;
  VPF = (FirstOctet >> 3) & 3;
  RD = FirstOctet & 0x04;
  if (!CheckFirstOctet(FirstOctet)) return false;

  if (!C.Has(2)) return Incomplete();
  MR = Octet(C.Take(2));

  DA.clear();
  if (!DecodeAddressField(C, DA)) return false;
  if (!DecodePIDAndDCS(C, Flash)) return false;

  switch (VPF) {
    case 1:  // enhanced format: seven octets we do not interpret
      if (!C.Has(14)) return Incomplete();
      C.Take(14);
      break;
    case 2:
      if (!C.Has(2)) return Incomplete();
      VPRelative = Octet(C.Take(2));
      break;
    case 3: {
      if (!C.Has(14)) return Incomplete();
      int Zone;
      VPAbsolute = DecodeTimeStamp(C, Zone);
      VPTZ = Zone > 48 ? 128 - Zone : Zone;
      break;
    }
    default:
      break;
  }

  return DecodeUserData(C, UD);
}

// ---- The full reading of a listed PDU ----
// What the save of every message reads, which the decoders above refuse: the user data header
// skipped and its concatenation read, UCS2 and 8-bit text, any data coding group, any time zone.
// The same bit-string pipeline: octets as strings of '0' and '1', septets cut from the reversed
// stream. It reports nothing: a PDU it cannot read says so in Readable.
namespace Full {

struct TReading {
  bool Readable = false;  // a DELIVER or SUBMIT up to and with its user data length
  bool Deliver = false, Submit = false;
  std::u32string SCA, Address, Text;
  std::string UserDataHex;  // the user data after its header
  int DCS = 0;
  bool Compressed = false, Complete = false;
  bool Concat = false, Wide = false;  // 16-bit reference
  int Reference = 0, Count = 0, Number = 0;
  bool HasTimeStamp = false;
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Zone = 0;
};

// The default alphabet in table order (23.038 6.2.1); the escape at 1B shows as a space.
inline const std::u32string& Alphabet() {
  static const std::u32string Table =
      U"@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\u0020ÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
      U"¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà";
  return Table;
}

// The extension table: code after the escape, then its character.
inline const std::vector<std::pair<int, char32_t>>& ExtensionTable() {
  static const std::vector<std::pair<int, char32_t>> Table = {
      {10, U'\f'}, {20, U'^'}, {40, U'{'}, {41, U'}'}, {47, U'\\'},
      {60, U'['},  {61, U'~'}, {62, U']'}, {64, U'|'}, {101, U'€'},
  };
  return Table;
}

// Code page 1252 from 80 to 9F; the rest of the bytes are their own code point.
inline char32_t Windows1252(int Byte) {
  static const std::u32string High = U"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ";
  return Byte >= 0x80 && Byte < 0xA0 ? High[static_cast<std::size_t>(Byte - 0x80)] : static_cast<char32_t>(Byte);
}

inline int BitsValue(const std::string& Bits) {
  int V = 0;
  for (const char B : Bits) V = 2 * V + (B == '1');
  return V;
}

// GSM string (one septet per character) to text.
inline std::u32string GSMToUnicode(const std::string& GSM) {
  std::u32string Out;
  bool Escaped = false;
  for (const char Ch : GSM) {
    const int Code = static_cast<unsigned char>(Ch);
    if (!Escaped && Code == 27) {
      Escaped = true;
      continue;
    }
    char32_t C = Alphabet()[static_cast<std::size_t>(Code)];
    if (Escaped)
      for (const auto& [Key, Value] : ExtensionTable())
        if (Key == Code) C = Value;
    Escaped = false;
    Out += C;
  }
  return Out;
}

// Septets First up to (not including) End of a stream of octets in bits; only whole septets.
inline std::string CutSeptets(const std::string& OctetBits, std::size_t First, std::size_t End) {
  std::string Stream = ReverseBlocks(OctetBits, 8);  // the least significant bit of each octet first
  if (Stream.size() > 7 * End) Stream.resize(7 * End);
  Stream = 7 * First < Stream.size() ? Stream.substr(7 * First) : std::string();
  return BinToSeptets(ReverseBlocks(Stream, 7));
}

// Address digits in swapped semi-octets as hex text: F is the filler, A to E the signs * # a b c.
inline std::u32string DigitsOf(const std::string& Hex, std::size_t SemiOctets) {
  const std::string Swapped = ReverseBlocks(Hex, 2).substr(0, SemiOctets);
  std::u32string Out;
  for (const char Ch : Swapped) {
    const std::string Signs = "0123456789*#abc";
    const std::string Hexes = "0123456789ABCDE";
    const auto P = Hexes.find(Ch);
    if (P != std::string::npos) Out += static_cast<char32_t>(Signs[P]);
  }
  return Out;
}

inline std::u32string AddressOf(const std::string& TypeBits, const std::string& Bits, std::size_t SemiOctets) {
  const std::string Kind = TypeBits.substr(1, 3);  // type of number
  if (Kind == "101") return GSMToUnicode(CutSeptets(Bits, 0, SemiOctets * 4 / 7));
  std::u32string Digits = DigitsOf(BinToHex(Bits), SemiOctets);
  if (Kind == "001" && !Digits.empty()) Digits = U"+" + Digits;
  return Digits;
}

// The octets of the PDU as bits, up to the first pair that is not two hex digits.
inline std::string BitsOfHex(const std::string& PDU) {
  std::string Hex;
  for (std::size_t I = 0; I + 2 <= PDU.size(); I += 2) {
    std::string Pair = PDU.substr(I, 2);
    for (char& Ch : Pair)
      if (Ch >= 'a' && Ch <= 'f') Ch = static_cast<char>(Ch - 'a' + 'A');
    if (Pair.find_first_not_of("0123456789ABCDEF") != std::string::npos) break;
    Hex += Pair;
  }
  return HexToBin(Hex);
}

// Reads the bits octet by octet.
struct TOctetCursor {
  const std::string& Bits;
  std::size_t Octet = 0;
  bool Has(std::size_t N) const { return Bits.size() / 8 >= Octet + N; }
  std::string Take(std::size_t N) {
    std::string S = Bits.substr(8 * Octet, 8 * N);
    Octet += N;
    return S;
  }
  std::string Rest() const { return Bits.substr(8 * Octet); }
};

// The seven octets of a time stamp: swapped decimal digits, the zone's sign in its tens digit.
inline void ReadTimeStamp(const std::string& Bits, TReading& R) {
  const std::string S = ReverseBlocks(BinToHex(Bits), 2);  // YYMMDDhhmmssZZ
  if (S.substr(0, 12).find_first_not_of("0123456789") != std::string::npos) return;
  if (S[13] < '0' || S[13] > '9') return;
  const int ZoneTens = BitsValue(Bits.substr(53, 3));  // the last octet's low semi-octet, sign bit aside
  R.Zone = (Bits[52] == '1' ? -1 : 1) * (10 * ZoneTens + (S[13] - '0'));
  R.Year = FullYear(std::stoi(S.substr(0, 2)));
  R.Month = std::stoi(S.substr(2, 2));
  R.Day = std::stoi(S.substr(4, 2));
  R.Hour = std::stoi(S.substr(6, 2));
  R.Minute = std::stoi(S.substr(8, 2));
  R.Second = std::stoi(S.substr(10, 2));
  int Days = 31;
  if (R.Month == 4 || R.Month == 6 || R.Month == 9 || R.Month == 11) Days = 30;
  if (R.Month == 2) Days = R.Year % 400 == 0 || (R.Year % 100 != 0 && R.Year % 4 == 0) ? 29 : 28;
  R.HasTimeStamp =
      R.Month >= 1 && R.Month <= 12 && R.Day >= 1 && R.Day <= Days && R.Hour <= 23 && R.Minute <= 59 && R.Second <= 59;
  if (!R.HasTimeStamp) R.Year = R.Month = R.Day = R.Hour = R.Minute = R.Second = R.Zone = 0;
}

// The information elements of a header (its length octet left off), as bits.
inline void ReadHeaderElements(std::string Bits, TReading& R) {
  while (Bits.size() >= 16) {
    const int Id = BitsValue(Bits.substr(0, 8));
    const std::size_t Length = static_cast<std::size_t>(BitsValue(Bits.substr(8, 8)));
    if (Bits.size() < 16 + 8 * Length) return;
    const std::string Data = Bits.substr(16, 8 * Length);
    if ((Id == 0 && Length == 3) || (Id == 8 && Length == 4)) {
      R.Concat = true;
      R.Wide = Id == 8;
      R.Reference = BitsValue(Data.substr(0, Data.size() - 16));
      R.Count = BitsValue(Data.substr(Data.size() - 16, 8));
      R.Number = BitsValue(Data.substr(Data.size() - 8, 8));
    }
    Bits = Bits.substr(16 + 8 * Length);
  }
}

inline std::u32string UCS2Text(const std::string& Bits) {
  std::vector<char32_t> Units;
  for (std::size_t I = 0; I + 16 <= Bits.size(); I += 16)
    Units.push_back(static_cast<char32_t>(BitsValue(Bits.substr(I, 16))));
  std::u32string Out;
  for (std::size_t I = 0; I < Units.size(); ++I) {
    const char32_t U = Units[I];
    const bool High = U >= 0xD800 && U <= 0xDBFF;
    const bool NextLow = I + 1 < Units.size() && Units[I + 1] >= 0xDC00 && Units[I + 1] <= 0xDFFF;
    if (High && NextLow) {
      Out += 0x10000 + (U - 0xD800) * 0x400 + (Units[I + 1] - 0xDC00);
      ++I;
    } else if (U >= 0xD800 && U <= 0xDFFF) {
      Out += U'\uFFFD';
    } else {
      Out += U;
    }
  }
  return Out;
}

inline TReading Read(const std::string& PDU) {
  TReading R;
  const std::string Bits = BitsOfHex(PDU);
  TOctetCursor C{Bits};
  if (!C.Has(1)) return R;
  const std::size_t SCAOctets = static_cast<std::size_t>(BitsValue(C.Take(1)));
  if (SCAOctets > 0) {
    if (!C.Has(SCAOctets)) return R;
    const std::string Type = C.Take(1);
    R.SCA = AddressOf(Type, C.Take(SCAOctets - 1), 2 * (SCAOctets - 1));
  }
  if (!C.Has(1)) return R;
  const std::string First = C.Take(1);  // bit 7 first: RP UDHI SRI/SRR VPF VPF MMS/RD MTI MTI
  const std::string Type = First.substr(6, 2);
  R.Deliver = Type == "00";
  R.Submit = Type == "01";
  if (!R.Deliver && !R.Submit) return R;
  if (R.Submit) {
    if (!C.Has(1)) return R;
    C.Take(1);
  }
  if (!C.Has(2)) return R;
  const std::size_t SemiOctets = static_cast<std::size_t>(BitsValue(C.Take(1)));
  const std::string AddressType = C.Take(1);
  if (!C.Has((SemiOctets + 1) / 2)) return R;
  R.Address = AddressOf(AddressType, C.Take((SemiOctets + 1) / 2), SemiOctets);
  if (!C.Has(2)) return R;
  C.Take(1);
  const std::string DCS = C.Take(1);
  R.DCS = BitsValue(DCS);
  enum { Septets, Octets, Wide } Coding = Octets;
  const std::string Group = DCS.substr(0, 4);
  if (DCS[0] == '0') {
    R.Compressed = DCS[2] == '1';
    const std::string Set = DCS.substr(4, 2);
    Coding = Set == "00" ? Septets : Set == "10" ? Wide : Octets;
  } else if (Group == "1100" || Group == "1101") {
    Coding = Septets;
  } else if (Group == "1110") {
    Coding = Wide;
  } else if (Group == "1111") {
    Coding = DCS[5] == '1' ? Octets : Septets;
  }
  if (R.Deliver) {
    if (!C.Has(7)) return R;
    ReadTimeStamp(C.Take(7), R);
  } else {
    const std::string Format = First.substr(3, 2);
    const std::size_t Validity = Format == "00" ? 0 : Format == "10" ? 1 : 7;
    if (!C.Has(Validity)) return R;
    C.Take(Validity);
  }
  if (!C.Has(1)) return R;
  R.Readable = true;
  const std::size_t Length = static_cast<std::size_t>(BitsValue(C.Take(1)));
  std::string Data = C.Rest();
  const std::size_t DataBits = Coding == Septets ? 7 * Length : 8 * Length;
  const std::size_t WholeOctetBits = (DataBits + 7) / 8 * 8;
  R.Complete = Data.size() >= WholeOctetBits;
  if (Data.size() > WholeOctetBits) Data.resize(WholeOctetBits);
  std::size_t HeaderOctets = 0;
  if (First[1] == '1' && Length > 0 && Data.size() >= 8) {
    HeaderOctets = 1 + static_cast<std::size_t>(BitsValue(Data.substr(0, 8)));
    if (8 * HeaderOctets > Data.size()) {
      R.Complete = false;
      return R;
    }
    ReadHeaderElements(Data.substr(8, 8 * HeaderOctets - 8), R);
  }
  R.UserDataHex = BinToHex(Data.substr(8 * HeaderOctets));
  if (R.Compressed) return R;
  if (Coding == Septets) {
    // The text starts at the first septet boundary after the header: the fill bits lie between.
    const std::size_t Start = (8 * HeaderOctets + 6) / 7;
    const std::string GSM = CutSeptets(Data, Start, Length);
    if (Start < Length && GSM.size() < Length - Start) R.Complete = false;
    R.Text = GSMToUnicode(GSM);
  } else if (Coding == Wide) {
    R.Text = UCS2Text(Data.substr(8 * HeaderOctets));
  } else {
    for (std::size_t I = 8 * HeaderOctets; I + 8 <= Data.size(); I += 8)
      R.Text += Windows1252(BitsValue(Data.substr(I, 8)));
  }
  return R;
}

}  // namespace Full

}  // namespace ReferenceCodec
