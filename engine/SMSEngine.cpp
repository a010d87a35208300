#include "SMSEngine.h"

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

// The extension code of a text character, or 0 if it is not one of the nine.
unsigned char ExtensionCode(unsigned char Ch) {
    for (const auto& [Text, Code] : ExtensionTable)
        if (Text == Ch) return Code;
    return 0;
}

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

// TDateTime 0 is 30 December 1899; 1 January 1970 is day 25569.
constexpr std::int64_t UnixEpochDay = 25569;
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
    {
        // std::localtime shares one buffer between callers.
        static std::mutex LocalTimeLock;
        std::lock_guard<std::mutex> Guard(LocalTimeLock);
        if (const std::tm* P = std::localtime(&Seconds)) Local = *P;
    }
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

std::string TwoDigits(int Value) {
    std::string S = std::to_string(Value);
    return S.size() < 2 ? "0" + S : S;
}

// ---- Septet packing and unpacking ----

// GSM string (n >= 1 septets) to packed user data in hex text, ceil(7n / 8) octets.
std::string PackSeptets(const std::string& GSM) {
    std::string B = ReverseBlocks(SeptetsToBin(GSM), 7);  // each septet least significant bit first
    if (B.size() % 8 != 0) B.append(8 - B.size() % 8, '0');
    return BinToHex(ReverseBlocks(B, 8));
}

// N septets of packed user data in hex text H to text. Fill bits and whatever follows the user data
// are dropped; user data shorter than N septets gives the septets that are there.
std::string UnpackSeptets(int N, const std::string& H) {
    if (N <= 0) return {};
    std::string B = ReverseBlocks(HexToBin(H), 8);  // each octet least significant bit first
    // Measured on the bits actually there, so that an odd digit or a skipped character cannot
    // make us cut into the user data.
    const std::size_t Wanted = 7 * static_cast<std::size_t>(N);
    if (B.size() > Wanted) B.resize(Wanted);
    return GSMToText(BinToSeptets(ReverseBlocks(B, 7)));
}

// ---- Encoder fields ----

std::string EncodeSCAField(const std::string& SCA) {
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

std::string EncodeDAField(const std::string& DA) {
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
bool EncodeVPAbsolute(TDateTime VPAbsolute, int VPTZ, std::string& Field) {
    const int ZoneOctet = VPTZ >= 0 ? VPTZ : -VPTZ + 128;
    int Year, Month, Day, Hour, Min, Sec, MSec;
    DecodeDateTime(VPAbsolute, Year, Month, Day, Hour, Min, Sec, MSec);
    const std::string S = TwoDigits(Year % 100) + TwoDigits(Month) + TwoDigits(Day) + TwoDigits(Hour) +
                          TwoDigits(Min) + TwoDigits(Sec) + ByteToHex(ZoneOctet);
    if (Now() > VPAbsolute) {
        ReportError(ErrValidityPast);
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
int Octet(const std::string& S) {
    const int V = HexToByte(S);
    return V < 0 ? 0 : V;
}

bool Incomplete() {
    ReportError(ErrIncomplete);
    return false;
}

enum class TSCAField { Absent, Present };

// The service centre address in front of the TPDU. "00" is an SCA field holding no address; an
// address is recognised by its type "81" or "91" in characters 3 and 4; anything else starts with
// the TPDU. Returns false (after the report) when the PDU ends inside the field.
bool DecodeSCAField(TCursor& C, TSCAField& Field, std::string& SCA) {
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
bool IsAlphanumeric(const std::string& Type) {
    const int V = HexToByte(Type);
    return V >= 0 && ((V >> 4) & 7) == 5;
}

// OA or DA: length in semi-octets, type of address, the semi-octets.
bool DecodeAddressField(TCursor& C, std::string& Address) {
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
int FullYear(int YY) {
    int CurYear, M, D, H, N, S, MS;
    DecodeDateTime(Now(), CurYear, M, D, H, N, S, MS);
    const int Base = CurYear - 50;
    int Year = Base / 100 * 100 + YY;
    if (Year < Base) Year += 100;
    return Year;
}

// A 7-octet time stamp at the cursor (the caller has checked that it is there): the local
// date-time; Zone gets the zone octet's value.
TDateTime DecodeTimeStamp(TCursor& C, int& Zone) {
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
    const std::string DCS = C.Take(2);
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
    UD = N == 0 ? std::string() : UnpackSeptets(N, C.Rest());
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
    // A default-alphabet code (bit 7 ignored) as text.
    auto Append = [&Text](unsigned char Code) {
        if (Code == 0x0A)
            // Our own line breaks travel as the septets CR LF; only a lone LF needs a CR.
            Text += Text.empty() || Text.back() != '\r' ? "\r\n" : "\n";
        else if (Code == 0x1B)
            Text += ' ';  // ESC ESC: a second extension table we do not have
        else
            Text += static_cast<char>(GSMToTextTable[Code]);
    };
    for (std::size_t I = 0; I < GSM.size(); ++I) {
        const unsigned char Code = static_cast<unsigned char>(GSM[I]) & 0x7F;
        if (Code != 0x1B) {
            Append(Code);
            continue;
        }
        if (++I == GSM.size()) break;  // an ESC at the end gives nothing
        const unsigned char Ext = static_cast<unsigned char>(GSM[I]) & 0x7F;
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
    return Text;
}

int CountSeptets(const std::string& Text) {
    int Count = 0;
    for (const char Ch : Text) Count += ExtensionCode(static_cast<unsigned char>(Ch)) ? 2 : 1;
    return Count;
}

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

bool EncodeSubmitPDU(const std::string& SCA, bool SRR, int VPF, bool RD, int MR, const std::string& DA,
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
        case 1: VP = "00000000000000"; break;  // enhanced format, "no validity period specified"
        case 2: VP = ByteToHex(VPRelative); break;
        case 3:
            if (!EncodeVPAbsolute(VPAbsolute, VPTZ, VP)) return false;
            break;
        default: break;
    }

    // The memo's text usually ends in a line break that the user did not mean to send.
    std::string Text = UD;
    if (Text.size() >= 2 && Text.compare(Text.size() - 2, 2, "\r\n") == 0) Text.resize(Text.size() - 2);
    const std::string GSM = TextToGSM(Text);
    if (GSM.size() > 255) {  // the user data length is one octet
        ReportError(ErrTextTooLong);
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

bool DecodeDeliverPDU(const std::string& PDU, std::string& SCA, std::string& OA, bool& Flash,
                      TDateTime& SCTS, std::string& UD) {
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

bool DecodeSubmitPDU(const std::string& PDU, std::string& SCA, bool& SRR, int& VPF, bool& RD, int& MR,
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
        default: break;
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

void DecodeDateTime(TDateTime DateTime, int& Year, int& Month, int& Day, int& Hour, int& Min, int& Sec,
                    int& MSec) {
    // 1 January 0001 to the end of 31 December 9999.
    if (!std::isfinite(DateTime) || DateTime < -693593.0 || DateTime >= 2958466.0)
        throw EConvertError(ErrDateEncode);
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

int StrToInt(const std::string& S) {
    const EConvertError Error("'" + S + "' is not a valid integer value");
    std::size_t I = 0;
    bool Negative = false;
    if (I < S.size() && (S[I] == '+' || S[I] == '-')) Negative = S[I++] == '-';
    if (I == S.size()) throw Error;
    long long V = 0;
    for (; I < S.size(); ++I) {
        if (S[I] < '0' || S[I] > '9') throw Error;
        V = V * 10 + (S[I] - '0');
        if (V > 2147483648LL) throw Error;
    }
    if (Negative) V = -V;
    if (V > 2147483647LL) throw Error;
    return static_cast<int>(V);
}

}  // namespace SMSEngine
