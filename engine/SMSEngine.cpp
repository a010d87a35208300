#include "engine/SMSEngine.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <iostream>
#include <mutex>
#include <string_view>
#include <utility>

namespace SMSEngine {

namespace {

constexpr std::string_view HexDigits = "0123456789ABCDEF";

const char* const ErrValidityPast = "ERROR: Validity ends in the past.";
const char* const ErrTextTooLong = "ERROR: Message text too long.";
const char* const ErrUserDataHeader = "ERROR: Messages with user data header not supported.";
const char* const ErrMessageType = "ERROR: Message type not supported.";
const char* const ErrCodingScheme = "ERROR: Message data coding scheme not supported.";
const char* const ErrIncomplete = "ERROR: Message is incomplete.";
const char* const ErrDateEncode = "Invalid argument to date encode";
const char* const ErrTimeEncode = "Invalid argument to time encode";

// Code page 1252 to the GSM default alphabet. The nine extension characters ([ \ ] ^ { | } ~ and
// the euro sign) are turned into ESC pairs before this table is consulted; their cells hold 20.
constexpr unsigned char TextToGSMTable[256] = {
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x0A, 0x20, 0x20, 0x0D, 0x20, 0x20,  // 0x
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x1B, 0x20, 0x20, 0x20, 0x20,  // 1x
    0x20, 0x21, 0x22, 0x23, 0x02, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,  // 2x
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,  // 3x
    0x00, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,  // 4x
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x20, 0x20, 0x20, 0x20, 0x11,  // 5x
    0x20, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,  // 6x
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x20, 0x20, 0x20, 0x20, 0x20,  // 7x
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,  // 8x
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,  // 9x
    0x20, 0x40, 0x20, 0x01, 0x24, 0x03, 0x20, 0x5F, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,  // Ax
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x60,  // Bx
    0x41, 0x41, 0x41, 0x41, 0x5B, 0x0E, 0x1C, 0x09, 0x45, 0x1F, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49,  // Cx
    0x20, 0x5D, 0x4F, 0x4F, 0x4F, 0x4F, 0x5C, 0x20, 0x0B, 0x55, 0x55, 0x55, 0x5E, 0x59, 0x20, 0x1E,  // Dx
    0x7F, 0x61, 0x61, 0x61, 0x7B, 0x0F, 0x1D, 0x09, 0x04, 0x05, 0x65, 0x65, 0x07, 0x69, 0x69, 0x69,  // Ex
    0x20, 0x7D, 0x08, 0x6F, 0x6F, 0x6F, 0x7C, 0x20, 0x0C, 0x06, 0x75, 0x75, 0x7E, 0x79, 0x20, 0x79,  // Fx
};

// The GSM default alphabet in code page 1252. LF (0A) and ESC (1B) are handled before the lookup.
// The Greek capitals, which the code page lacks, become spaces.
constexpr unsigned char GSMToTextTable[128] = {
    0x40, 0xA3, 0x24, 0xA5, 0xE8, 0xE9, 0xF9, 0xEC, 0xF2, 0xC7, 0x0A, 0xD8, 0xF8, 0x0D, 0xC5, 0xE5,  // 0x
    0x20, 0x5F, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x1B, 0xC6, 0xE6, 0xDF, 0xC9,  // 1x
    0x20, 0x21, 0x22, 0x23, 0xA4, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,  // 2x
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,  // 3x
    0xA1, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,  // 4x
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0xC4, 0xD6, 0xD1, 0xDC, 0xA7,  // 5x
    0xBF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,  // 6x
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0xE4, 0xF6, 0xF1, 0xFC, 0xE0,  // 7x
};

constexpr char ESC = 0x1B;

// The extension characters: text character and its code after ESC.
constexpr std::pair<unsigned char, unsigned char> ExtensionTable[] = {
    {0x5E, 0x14}, {0x7B, 0x28}, {0x7D, 0x29}, {0x5C, 0x2F}, {0x5B, 0x3C},
    {0x7E, 0x3D}, {0x5D, 0x3E}, {0x7C, 0x40}, {0x80, 0x65},
};

// The extension code of each text character, 0 for the characters that are not among the nine.
constexpr auto ExtensionCodeTable = [] {
  std::array<unsigned char, 256> T{};
  for (const auto& [Text, Code] : ExtensionTable) T[Text] = Code;
  return T;
}();

// The extension code of a text character, or 0 if it is not one of the nine.
unsigned char ExtensionCode(unsigned char Ch) { return ExtensionCodeTable[Ch]; }

// Days from 1 January 1970 to a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t Y, unsigned M, unsigned D) {
  Y -= M <= 2;
  const std::int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const unsigned YoE = static_cast<unsigned>(Y - Era * 400);
  const unsigned DoY = (153 * (M > 2 ? M - 3 : M + 9) + 2) / 5 + D - 1;
  const unsigned DoE = YoE * 365 + YoE / 4 - YoE / 100 + DoY;
  return Era * 146097 + static_cast<std::int64_t>(DoE) - 719468;
}

void CivilFromDays(std::int64_t Z, int& Y, int& M, int& D) {
  Z += 719468;
  const std::int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const unsigned DoE = static_cast<unsigned>(Z - Era * 146097);
  const unsigned YoE = (DoE - DoE / 1460 + DoE / 36524 - DoE / 146096) / 365;
  const unsigned DoY = DoE - (365 * YoE + YoE / 4 - YoE / 100);
  const unsigned MP = (5 * DoY + 2) / 153;
  D = static_cast<int>(DoY - (153 * MP + 2) / 5 + 1);
  M = static_cast<int>(MP < 10 ? MP + 3 : MP - 9);
  Y = static_cast<int>(YoE + Era * 400 + (M <= 2));
}

constexpr double MSecsPerDay = 86400000.0;

bool IsLeapYear(int Y) { return (Y % 4 == 0 && Y % 100 != 0) || Y % 400 == 0; }

int DaysInMonth(int Y, int M) {
  static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return M == 2 && IsLeapYear(Y) ? 29 : Days[M - 1];
}

TDateTime SystemClock() {
  using namespace std::chrono;
  const auto Current = system_clock::now();
  const std::time_t Seconds = system_clock::to_time_t(Current);
  auto MSec = duration_cast<milliseconds>(Current.time_since_epoch()).count() % 1000;
  if (MSec < 0) MSec += 1000;
  std::tm Local{};
#ifdef _WIN32
  localtime_s(&Local, &Seconds);
#else
  // The reentrant conversion uses the zone rules loaded once instead of looking at the zone file
  // on every call (the decoders ask for the time once per message); a changed zone is picked up
  // within a minute.
  static std::atomic<std::time_t> ZoneLoaded{0};
  if (const std::time_t Loaded = ZoneLoaded.load(std::memory_order_relaxed);
      Seconds - Loaded >= 60 || Seconds < Loaded) {
    tzset();
    ZoneLoaded.store(Seconds, std::memory_order_relaxed);
  }
  localtime_r(&Seconds, &Local);
#endif
  const int Sec = Local.tm_sec > 59 ? 59 : Local.tm_sec;  // a leap second shows as :59
  return EncodeDate(Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday) +
         EncodeTime(Local.tm_hour, Local.tm_min, Sec, static_cast<int>(MSec));
}

void StderrReporter(const std::string& Text) { std::cerr << Text << std::endl; }

std::mutex HooksLock;
std::function<void(const std::string&)> ErrorReporter = StderrReporter;
std::function<TDateTime()> Clock = SystemClock;

void ReportError(const std::string& Text) {
  std::function<void(const std::string&)> Reporter;
  {
    std::lock_guard<std::mutex> Guard(HooksLock);
    Reporter = ErrorReporter;
  }
  Reporter(Text);
}

// ---- Hex digits and septets on bytes ----
// The bit-string functions below define the packing; these do the same on octets and septets directly.

// The value of an uppercase hex digit, -1 for any other character.
constexpr auto HexValueTable = [] {
  std::array<signed char, 256> T{};
  for (auto& V : T) V = -1;
  for (int I = 0; I < 16; ++I) T[static_cast<unsigned char>(HexDigits[I])] = static_cast<signed char>(I);
  return T;
}();

int HexValue(char Ch) { return HexValueTable[static_cast<unsigned char>(Ch)]; }

// HexToByte on the first two characters of a view (a missing or unknown character counts as -1).
int HexPair(std::string_view S) {
  const int High = S.size() > 0 ? HexValue(S[0]) : -1;
  const int Low = S.size() > 1 ? HexValue(S[1]) : -1;
  return High * 16 + Low;
}

void AppendHexByte(std::string& Out, int Value) {
  const int V = Value & 0xFF;
  Out += HexDigits[V >> 4];
  Out += HexDigits[V & 15];
}

// The septets of a text: two for each extension character.
int SeptetCount(std::string_view Text) {
  int Count = 0;
  for (const char Ch : Text) Count += ExtensionCode(static_cast<unsigned char>(Ch)) ? 2 : 1;
  return Count;
}

std::string TwoDigits(int Value) {
  std::string S = std::to_string(Value);
  return S.size() < 2 ? "0" + S : S;
}

// Appends the text of GSM codes (bit 7 ignored) to Text.
void AppendGSMText(std::string& Text, const unsigned char* GSM, std::size_t Size) {
  // A default-alphabet code as text.
  auto Append = [&Text](unsigned char Code) {
    if (Code == 0x0A)
      // Our own line breaks travel as the septets CR LF; only a lone LF needs a CR.
      Text += Text.empty() || Text.back() != '\r' ? "\r\n" : "\n";
    else if (Code == 0x1B)
      Text += ' ';  // ESC ESC: a second extension table we do not have
    else
      Text += static_cast<char>(GSMToTextTable[Code]);
  };
  for (std::size_t I = 0; I < Size; ++I) {
    const unsigned char Code = GSM[I] & 0x7F;
    if (Code != 0x1B) {
      Append(Code);
      continue;
    }
    if (++I == Size) break;  // an ESC at the end gives nothing
    const unsigned char Ext = GSM[I] & 0x7F;
    bool Known = false;
    for (const auto& [TextChar, ExtCode] : ExtensionTable)
      if (ExtCode == Ext) {
        Text += static_cast<char>(TextChar);
        Known = true;
        break;
      }
    // An unknown extension shows as the default-alphabet character of its code.
    if (!Known) Append(Ext);
  }
}

// Appends the packed user data of Text (code page 1252, at most 255 septets) as hex: the septets
// least significant bit first, filled with zero bits to whole octets.
void AppendPackedText(std::string& Out, std::string_view Text) {
  std::uint32_t Bits = 0;
  int Count = 0;
  auto Put = [&](unsigned char Septet) {
    Bits |= static_cast<std::uint32_t>(Septet & 0x7F) << Count;
    Count += 7;
    if (Count >= 8) {
      AppendHexByte(Out, static_cast<int>(Bits & 0xFF));
      Bits >>= 8;
      Count -= 8;
    }
  };
  for (const char Ch : Text) {
    const auto Code = static_cast<unsigned char>(Ch);
    if (const unsigned char Ext = ExtensionCode(Code)) {
      Put(static_cast<unsigned char>(ESC));
      Put(Ext);
    } else {
      Put(TextToGSMTable[Code]);
    }
  }
  if (Count > 0) AppendHexByte(Out, static_cast<int>(Bits & 0xFF));
}

// N septets (N at most 255, one octet's worth) of packed user data in hex text H, as text into
// Text. Characters that are not uppercase hex digits are skipped, an odd last digit and fill bits
// are dropped, and user data shorter than N septets gives the septets that are there.
void UnpackSeptets(int N, std::string_view H, std::string& Text) {
  Text.clear();
  if (N <= 0) return;
  const auto Wanted = static_cast<std::size_t>(N < 255 ? N : 255);
  unsigned char Septets[255];
  std::size_t Size = 0;
  std::uint32_t Bits = 0;
  int Count = 0, High = -1;
  for (std::size_t I = 0; I < H.size() && Size < Wanted; ++I) {
    const int V = HexValue(H[I]);
    if (V < 0) continue;
    if (High < 0) {
      High = V;
      continue;
    }
    Bits |= static_cast<std::uint32_t>(High * 16 + V) << Count;
    High = -1;
    for (Count += 8; Count >= 7 && Size < Wanted; Count -= 7) {
      Septets[Size++] = static_cast<unsigned char>(Bits & 0x7F);
      Bits >>= 7;
    }
  }
  Text.reserve(Size + Size / 8);
  AppendGSMText(Text, Septets, Size);
}

// ---- Encoder fields ----

// Appends the address digits of Digits, pairs swapped, an odd last digit padded with F.
void AppendSwappedDigits(std::string& Out, std::string_view Digits) {
  std::size_t I = 0;
  for (; I + 2 <= Digits.size(); I += 2) {
    Out += Digits[I + 1];
    Out += Digits[I];
  }
  if (I < Digits.size()) {
    Out += 'F';
    Out += Digits[I];
  }
}

void AppendSCAField(std::string& Out, std::string_view SCA) {
  if (SCA.empty() || SCA == "+") {
    Out += "00";
    return;
  }
  int Type = TypeOfAddressUnknown;
  std::string_view Digits = SCA;
  if (Digits[0] == '+') {
    Type = TypeOfAddressInternational;
    Digits.remove_prefix(1);
  }
  AppendHexByte(Out, static_cast<int>((Digits.size() + Digits.size() % 2 + 2) / 2));
  AppendHexByte(Out, Type);
  AppendSwappedDigits(Out, Digits);
}

void AppendDAField(std::string& Out, std::string_view DA) {
  int Type = TypeOfAddressUnknown;
  std::string_view Digits = DA;
  if (!Digits.empty() && Digits[0] == '+') {
    Type = TypeOfAddressInternational;
    Digits.remove_prefix(1);
  }
  AppendHexByte(Out, static_cast<int>(Digits.size()));
  AppendHexByte(Out, Type);
  AppendSwappedDigits(Out, Digits);
}

void PutTwoDigits(char* P, int Value) {  // 0 to 99
  P[0] = static_cast<char>('0' + Value / 10);
  P[1] = static_cast<char>('0' + Value % 10);
}

// The absolute validity period: seven octets, or false when the end lies in the past. The zone octet
// holds the magnitude in plain binary, 128 added for a negative zone.
bool EncodeVPAbsolute(TDateTime VPAbsolute, int VPTZ, char (&Field)[14]) {
  const unsigned ZoneOctet = (VPTZ >= 0 ? static_cast<unsigned>(VPTZ) : 128u - static_cast<unsigned>(VPTZ)) & 0xFF;
  int Year, Month, Day, Hour, Min, Sec, MSec;
  DecodeDateTime(VPAbsolute, Year, Month, Day, Hour, Min, Sec, MSec);
  char S[14];  // YYMMDDhhmmssZZ
  PutTwoDigits(S, Year % 100);
  PutTwoDigits(S + 2, Month);
  PutTwoDigits(S + 4, Day);
  PutTwoDigits(S + 6, Hour);
  PutTwoDigits(S + 8, Min);
  PutTwoDigits(S + 10, Sec);
  S[12] = HexDigits[ZoneOctet >> 4];
  S[13] = HexDigits[ZoneOctet & 15];
  if (Now() > VPAbsolute) {
    ReportError(ErrValidityPast);
    return false;
  }
  for (int I = 0; I < 14; I += 2) {
    Field[I] = S[I + 1];
    Field[I + 1] = S[I];
  }
  return true;
}

// ---- Decoder fields ----

// Reads the PDU text from a position (0-based) on; refuses to read past its end.
class TCursor {
 public:
  explicit TCursor(std::string_view PDU) : Text(PDU) {}
  std::size_t Pos = 0;
  bool Has(std::size_t N) const { return Pos <= Text.size() && Text.size() - Pos >= N; }
  std::string_view Take(std::size_t N) {
    const std::string_view S = Text.substr(Pos, N);
    Pos += N;
    return S;
  }
  std::string_view Rest() const { return Pos < Text.size() ? Text.substr(Pos) : std::string_view(); }
  std::string_view Text;
};

// An octet as a number; a pair that is not two hex digits reads as HexToByte gives it, and a
// negative result counts as 0.
int Octet(std::string_view S) {
  const int V = HexPair(S);
  return V < 0 ? 0 : V;
}

bool Incomplete() {
  ReportError(ErrIncomplete);
  return false;
}

enum class TSCAField { Absent, Present };

// Address digits as the phone sends them (pairs swapped), the first F (the filler) left out.
void AppendAddressDigits(std::string& Out, std::string_view Swapped) {
  bool FillerSeen = false;
  for (std::size_t I = 0; I + 2 <= Swapped.size(); I += 2)
    for (const char Ch : {Swapped[I + 1], Swapped[I]}) {
      if (Ch == 'F' && !FillerSeen) {
        FillerSeen = true;
        continue;
      }
      Out += Ch;
    }
}

// The service centre address in front of the TPDU. "00" is an SCA field holding no address; an
// address is recognised by its type (unknown or international) in characters 3 and 4; anything
// else starts with the TPDU. Returns false (after the report) when the PDU ends inside the field.
bool DecodeSCAField(TCursor& C, TSCAField& Field, std::string& SCA) {
  const std::string_view PDU = C.Text;
  Field = TSCAField::Absent;
  if (PDU.substr(0, 2) == "00") {
    C.Pos = 2;
    return true;
  }
  if (PDU.size() < 4) return true;
  const int Type = HexPair(PDU.substr(2, 2));
  if (Type != TypeOfAddressUnknown && Type != TypeOfAddressInternational) return true;
  // The length counts the type octet too, so it is at least 1.
  int N = HexPair(PDU);
  if (N < 1) N = 1;
  const std::size_t FieldChars = 2 + 2 * static_cast<std::size_t>(N);
  if (PDU.size() < FieldChars) return Incomplete();
  SCA.clear();
  if (Type == TypeOfAddressInternational) SCA += '+';
  AppendAddressDigits(SCA, PDU.substr(4, FieldChars - 4));
  Field = TSCAField::Present;
  C.Pos = FieldChars;
  return true;
}

// GSM 7-bit text in the address digits, whatever the numbering plan.
bool IsAlphanumeric(int Type) { return Type >= 0 && (Type & TypeOfNumberMask) == TypeOfNumberAlphanumeric; }

// OA or DA: length in semi-octets, type of address, the semi-octets.
bool DecodeAddressField(TCursor& C, std::string& Address) {
  if (!C.Has(4)) return Incomplete();
  const int N = Octet(C.Take(2));
  const int Type = HexPair(C.Take(2));
  const std::size_t Chars = static_cast<std::size_t>(N + N % 2);
  if (!C.Has(Chars)) return Incomplete();
  const std::string_view Raw = C.Take(Chars);
  if (N == 0) {
    Address.clear();
  } else if (IsAlphanumeric(Type)) {
    UnpackSeptets(4 * N / 7, Raw, Address);
  } else {
    Address.clear();
    if (Type == TypeOfAddressInternational) Address += '+';
    AppendAddressDigits(Address, Raw);
  }
  return true;
}

// StrToInt of two characters; two decimal digits without building a string.
int TwoCharInt(const char* P) {
  if (P[0] >= '0' && P[0] <= '9' && P[1] >= '0' && P[1] <= '9') return (P[0] - '0') * 10 + (P[1] - '0');
  return StrToInt(std::string(P, 2));
}

// A 7-octet time stamp at the cursor (the caller has checked that it is there): the local
// date-time; Zone gets the zone octet's value.
TDateTime DecodeTimeStamp(TCursor& C, int& Zone) {
  const std::string_view Swapped = C.Take(14);
  char S[14];  // YYMMDDhhmmssZZ
  for (int I = 0; I < 14; I += 2) {
    S[I] = Swapped[I + 1];
    S[I + 1] = Swapped[I];
  }
  const int Hour = TwoCharInt(S + 6);
  const int Min = TwoCharInt(S + 8);
  const int Sec = TwoCharInt(S + 10);
  const TDateTime Time = EncodeTime(Hour, Min, Sec, 0);
  const int YY = TwoCharInt(S);
  if (YY < 0 || YY > 99) throw EConvertError(ErrDateEncode);
  const int Year = FullYear(YY);
  const int Month = TwoCharInt(S + 2);
  const int Day = TwoCharInt(S + 4);
  Zone = Octet(std::string_view(S + 12, 2));
  return EncodeDate(Year, Month, Day) + Time;
}

// First octet: user data header, then message type; the kinds accepted are 00 and 01.
bool CheckFirstOctet(int FirstOctet) {
  if (FirstOctet & 0x40) {
    ReportError(ErrUserDataHeader);
    return false;
  }
  if ((FirstOctet & 0x03) >= 2) {
    ReportError(ErrMessageType);
    return false;
  }
  return true;
}

// Protocol identifier (skipped) and data coding scheme: default alphabet, no class or class 0 or 1.
bool DecodePIDAndDCS(TCursor& C, bool& Flash) {
  if (!C.Has(4)) return Incomplete();
  C.Take(2);
  const std::string_view DCS = C.Take(2);
  if (DCS != "00" && DCS != "10" && DCS != "11" && DCS != "F0" && DCS != "F1") {
    ReportError(ErrCodingScheme);
    return false;
  }
  Flash = DCS == "10" || DCS == "F0";
  return true;
}

bool DecodeUserData(TCursor& C, std::string& UD) {
  if (!C.Has(2)) return Incomplete();
  const int N = Octet(C.Take(2));
  if (N == 0)
    UD.clear();
  else
    UnpackSeptets(N, C.Rest(), UD);
  return true;
}
}  // namespace

// ---- Alphabet ----

std::string TextToGSM(const std::string& Text) {
  std::string GSM;
  GSM.reserve(Text.size());
  for (const char Ch : Text) {
    const auto Code = static_cast<unsigned char>(Ch);
    if (const unsigned char Ext = ExtensionCode(Code)) {
      GSM += ESC;
      GSM += static_cast<char>(Ext);
    } else {
      GSM += static_cast<char>(TextToGSMTable[Code]);
    }
  }
  return GSM;
}

std::string GSMToText(const std::string& GSM) {
  std::string Text;
  Text.reserve(GSM.size() + GSM.size() / 8);
  AppendGSMText(Text, reinterpret_cast<const unsigned char*>(GSM.data()), GSM.size());
  return Text;
}

int CountSeptets(const std::string& Text) { return SeptetCount(Text); }

// ---- Hex and bit strings ----

std::string ByteToHex(int Value) {
  // Defined for 0 to 255; anything else is taken modulo 256.
  const int V = Value & 0xFF;
  return {HexDigits[V / 16], HexDigits[V % 16]};
}

int HexToByte(const std::string& S) {
  // Position of a character, 1-based, 0 when it is not an uppercase hex digit (or missing).
  auto Position = [&S](std::size_t I) -> int {
    if (I >= S.size()) return 0;
    const auto P = HexDigits.find(S[I]);
    return P == std::string_view::npos ? 0 : static_cast<int>(P) + 1;
  };
  return (Position(0) - 1) * 16 + (Position(1) - 1);
}

std::string HexToBin(const std::string& Hex) {
  std::string Bin;
  Bin.reserve(Hex.size() * 4);
  for (const char Ch : Hex) {
    const auto P = HexDigits.find(Ch);
    if (P == std::string_view::npos) continue;  // not an uppercase hex digit: skipped
    for (int Bit = 3; Bit >= 0; --Bit) Bin += (P >> Bit) & 1 ? '1' : '0';
  }
  return Bin;
}

std::string BinToHex(const std::string& Bin) {
  std::string Hex;
  Hex.reserve(Bin.size() / 4);
  for (std::size_t I = 0; I + 4 <= Bin.size(); I += 4) {
    int V = 0;
    for (std::size_t J = 0; J < 4; ++J) V = V * 2 + (Bin[I + J] == '1');
    Hex += HexDigits[V];
  }
  return Hex;
}

std::string SeptetsToBin(const std::string& GSM) {
  std::string Bin;
  Bin.reserve(GSM.size() * 7);
  for (const char Ch : GSM) {
    const auto Code = static_cast<unsigned char>(Ch);
    for (int Bit = 6; Bit >= 0; --Bit) Bin += (Code >> Bit) & 1 ? '1' : '0';
  }
  return Bin;
}

std::string BinToSeptets(const std::string& Bin) {
  std::string GSM;
  GSM.reserve(Bin.size() / 7);
  for (std::size_t I = 0; I + 7 <= Bin.size(); I += 7) {
    int V = 0;
    for (std::size_t J = 0; J < 7; ++J) V = V * 2 + (Bin[I + J] == '1');
    GSM += static_cast<char>(V);
  }
  return GSM;
}

std::string ReverseBlocks(const std::string& S, int N) {
  if (N < 1) return S;
  const auto Block = static_cast<std::size_t>(N);
  std::string Result;
  Result.reserve(S.size());
  for (std::size_t I = 0; I + Block <= S.size(); I += Block)
    for (std::size_t J = Block; J > 0; --J) Result += S[I + J - 1];
  return Result;  // an incomplete trailing block is dropped
}

// ---- Encoder ----

bool EncodeSubmitPDU(const std::string& SCA, bool SRR, int VPF, bool RD, int MR, const std::string& DA, bool Flash,
                     int VPRelative, TDateTime VPAbsolute, int VPTZ, const std::string& UD, int& PDULength,
                     std::string& PDU) {
  // Formats other than relative, absolute and enhanced mean no validity period.
  const int Format = VPF >= VPFEnhanced && VPF <= VPFAbsolute ? VPF : VPFNone;
  char AbsoluteVP[14];
  if (Format == VPFAbsolute && !EncodeVPAbsolute(VPAbsolute, VPTZ, AbsoluteVP)) return false;

  // The memo's text usually ends in a line break that the user did not mean to send.
  std::string_view Text = UD;
  if (Text.size() >= 2 && Text.substr(Text.size() - 2) == "\r\n") Text.remove_suffix(2);
  const int Septets = SeptetCount(Text);
  if (Septets > 255) {  // the user data length is one octet
    ReportError(ErrTextTooLong);
    return false;
  }

  // Nothing can fail from here on: the PDU is written in place, unless it is one of the inputs.
  if (&PDU == &SCA || &PDU == &DA || &PDU == &UD) {
    std::string Copy;
    const bool Encoded =
        EncodeSubmitPDU(SCA, SRR, VPF, RD, MR, DA, Flash, VPRelative, VPAbsolute, VPTZ, UD, PDULength, Copy);
    PDU = std::move(Copy);
    return Encoded;
  }
  PDU.clear();
  PDU.reserve(2 * (SCA.size() + DA.size()) + 48 + (7 * static_cast<std::size_t>(Septets) + 7) / 8 * 2);
  AppendSCAField(PDU, SCA);
  const std::size_t TPDUStart = PDU.size();
  AppendHexByte(PDU, (SRR ? 0x20 : 0) | (Format << 3) | (RD ? 0x04 : 0) | 0x01);
  AppendHexByte(PDU, MR);
  AppendDAField(PDU, DA);
  PDU += "00";                 // protocol identifier
  PDU += Flash ? "10" : "00";  // data coding scheme: default alphabet, class 0 for a flash message
  switch (Format) {
    case VPFEnhanced:
      PDU += "00000000000000";
      break;  // "no validity period specified"
    case VPFRelative:
      AppendHexByte(PDU, VPRelative);
      break;
    case VPFAbsolute:
      PDU.append(AbsoluteVP, sizeof AbsoluteVP);
      break;
    default:
      break;
  }
  AppendHexByte(PDU, Septets);
  AppendPackedText(PDU, Text);
  PDULength = static_cast<int>((PDU.size() - TPDUStart) / 2);
  return true;
}

bool EncodeSubmitPDU(const TSubmitFields& F, int& PDULength, std::string& PDU) {
  return EncodeSubmitPDU(F.SCA, F.SRR, F.VPF, F.RD, F.MR, F.DA, F.Flash, F.VPRelative, F.VPAbsolute, F.VPTZ, F.UD,
                         PDULength, PDU);
}

// ---- Decoders ----

bool DecodeDeliverPDU(const std::string& PDU, std::string& SCA, std::string& OA, bool& Flash, TDateTime& SCTS,
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

bool DecodeSubmitPDU(const std::string& PDU, std::string& SCA, bool& SRR, int& VPF, bool& RD, int& MR, std::string& DA,
                     bool& Flash, int& VPRelative, TDateTime& VPAbsolute, int& VPTZ, std::string& UD) {
  TCursor C(PDU);
  TSCAField Field;
  if (!DecodeSCAField(C, Field, SCA)) return false;
  if (Field == TSCAField::Absent) SCA = "<Not present>";

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
    case VPFEnhanced:  // seven octets we do not interpret
      if (!C.Has(14)) return Incomplete();
      C.Take(14);
      break;
    case VPFRelative:
      if (!C.Has(2)) return Incomplete();
      VPRelative = Octet(C.Take(2));
      break;
    case VPFAbsolute: {
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

std::string VPRelativeToText(int VP) {
  if (VP < 0) VP = 0;
  if (VP > 255) VP = 255;
  auto HoursMinutes = [](int Minutes) {
    return TwoDigits(Minutes / 60) + " hours " + TwoDigits(Minutes % 60) + " minutes";
  };
  if (VP <= 143) return HoursMinutes((VP + 1) * 5);
  if (VP <= 167) return HoursMinutes((VP - 143) * 30 + 720);
  if (VP <= 196) return TwoDigits(VP - 166) + " days";
  return TwoDigits(VP - 192) + " weeks";
}

// ---- Hooks ----

void SetErrorReporter(std::function<void(const std::string& Text)> Reporter) {
  std::lock_guard<std::mutex> Guard(HooksLock);
  ErrorReporter = Reporter ? std::move(Reporter) : StderrReporter;
}

void SetClock(std::function<TDateTime()> NewClock) {
  std::lock_guard<std::mutex> Guard(HooksLock);
  Clock = NewClock ? std::move(NewClock) : SystemClock;
}

// ---- Date-time ----

TDateTime Now() {
  std::function<TDateTime()> Current;
  {
    std::lock_guard<std::mutex> Guard(HooksLock);
    Current = Clock;
  }
  return Current();
}

TDateTime EncodeDate(int Year, int Month, int Day) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month))
    throw EConvertError(ErrDateEncode);
  return static_cast<TDateTime>(DaysFromCivil(Year, static_cast<unsigned>(Month), static_cast<unsigned>(Day)) +
                                UnixEpochDay);
}

TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec) {
  if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999)
    throw EConvertError(ErrTimeEncode);
  return (((Hour * 60.0 + Min) * 60.0 + Sec) * 1000.0 + MSec) / MSecsPerDay;
}

void DecodeDateTime(TDateTime DateTime, int& Year, int& Month, int& Day, int& Hour, int& Min, int& Sec, int& MSec) {
  // 1 January 0001 to the end of 31 December 9999.
  if (!std::isfinite(DateTime) || DateTime < -693593.0 || DateTime >= 2958466.0) throw EConvertError(ErrDateEncode);
  // The day is the integer part and the time of day the fraction, also before 1899.
  const double Whole = std::trunc(DateTime);
  auto Days = static_cast<std::int64_t>(Whole);
  auto Time = static_cast<std::int64_t>(std::nearbyint(std::fabs(DateTime - Whole) * MSecsPerDay));
  if (Time >= 86400000) {  // rounds up to midnight
    Time -= 86400000;
    ++Days;
  }
  CivilFromDays(Days - UnixEpochDay, Year, Month, Day);
  Hour = static_cast<int>(Time / 3600000);
  Min = static_cast<int>(Time / 60000 % 60);
  Sec = static_cast<int>(Time / 1000 % 60);
  MSec = static_cast<int>(Time % 1000);
}

// Up to 2049 the window gives 1900 + YY or 2000 + YY; later it moves on, so that a message of
// this year is not placed a century back.
int FullYear(int YY) {
  int CurYear, M, D, H, N, S, MS;
  DecodeDateTime(Now(), CurYear, M, D, H, N, S, MS);
  const int Base = CurYear - 50;
  int Year = Base / 100 * 100 + YY;
  if (Year < Base) Year += 100;
  return Year;
}

int StrToInt(const std::string& S) {
  // The error text is built only when it is needed.
  auto Fail = [&S]() -> int { throw EConvertError("'" + S + "' is not a valid integer value"); };
  std::size_t I = 0;
  bool Negative = false;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) Negative = S[I++] == '-';
  if (I == S.size()) return Fail();
  long long V = 0;
  for (; I < S.size(); ++I) {
    if (S[I] < '0' || S[I] > '9') return Fail();
    V = V * 10 + (S[I] - '0');
    if (V > 2147483648LL) return Fail();
  }
  if (Negative) V = -V;
  if (V > 2147483647LL) return Fail();
  return static_cast<int>(V);
}

}  // namespace SMSEngine
