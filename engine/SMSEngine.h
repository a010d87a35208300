// SMSEngine: the SMS PDU codec. Text to and from the GSM 7-bit default alphabet, septet packing,
// addresses, time stamps and validity periods, the SMS-SUBMIT encoder and the SMS-DELIVER and
// SMS-SUBMIT decoders. Standard library only.
//
// Strings are 8-bit code page 1252 text, GSM strings (one septet per character), hex text (uppercase
// digits, two per octet, as the phone exchanges PDUs) or bit strings of '0' and '1'.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace SMSEngine {

using TDateTime = double;  // days since 30 December 1899, time of day as the fraction, local time
// TDateTime 0 is 30 December 1899; 1 January 1970 is day 25569.
constexpr int UnixEpochDay = 25569;

// Message status, as the phone lists and stores a message (TMessageList::Status).
constexpr int StatusReceivedUnread = 0;
constexpr int StatusReceivedRead = 1;
constexpr int StatusStoredUnsent = 2;
constexpr int StatusStoredSent = 3;

// Validity period format of an SMS-SUBMIT (TMessageList::VPF), bits 4 and 3 of its first octet.
constexpr int VPFNone = 0;
constexpr int VPFEnhanced = 1;
constexpr int VPFRelative = 2;
constexpr int VPFAbsolute = 3;

// Type of address octets: a number of unknown type (as dialled, 129), an international number
// (written with "+", 145), GSM 7-bit text in the address digits. The type of number is bits 6 to 4.
constexpr int TypeOfAddressUnknown = 0x81;
constexpr int TypeOfAddressInternational = 0x91;
constexpr int TypeOfAddressAlphanumeric = 0xD0;
constexpr int TypeOfNumberMask = 0x70;
constexpr int TypeOfNumberInternational = TypeOfAddressInternational & TypeOfNumberMask;
constexpr int TypeOfNumberAlphanumeric = TypeOfAddressAlphanumeric & TypeOfNumberMask;

struct TMessageList {  // every field starts zero or empty
  int Index = 0;
  int Status = 0;
  std::string Alpha;
  int PDULength = 0;
  std::string PDU;
  std::string SCA;
  bool SRR = false;
  int VPF = 0;
  bool RD = false;
  int MR = 0;
  std::string DA;
  std::string OA;
  bool Flash = false;
  int VPRelative = 0;
  TDateTime VPAbsolute = 0;
  int VPTZ = 0;
  TDateTime SCTS = 0;
  std::string UD;
  std::string Name;
  // Not of the message but of the list that holds it: the PDU was decoded into the fields above.
  // A list shows an entry without it as refused.
  bool Decoded = false;
};

std::string TextToGSM(const std::string& Text);
std::string GSMToText(const std::string& GSM);
int CountSeptets(const std::string& Text);
std::string ByteToHex(int Value);
int HexToByte(const std::string& S);
std::string HexToBin(const std::string& Hex);
std::string BinToHex(const std::string& Bin);
std::string SeptetsToBin(const std::string& GSM);
std::string BinToSeptets(const std::string& Bin);
std::string ReverseBlocks(const std::string& S, int N);

bool EncodeSubmitPDU(const std::string& SCA, bool SRR, int VPF, bool RD, int MR, const std::string& DA, bool Flash,
                     int VPRelative, TDateTime VPAbsolute, int VPTZ, const std::string& UD, int& PDULength,
                     std::string& PDU);
// The arguments of EncodeSubmitPDU as one record, in the order it takes them.
struct TSubmitFields {
  std::string SCA;
  bool SRR = false;
  int VPF = 0;
  bool RD = false;
  int MR = 0;
  std::string DA;
  bool Flash = false;
  int VPRelative = 0;
  TDateTime VPAbsolute = 0;
  int VPTZ = 0;
  std::string UD;
};
bool EncodeSubmitPDU(const TSubmitFields& Fields, int& PDULength, std::string& PDU);
bool DecodeDeliverPDU(const std::string& PDU, std::string& SCA, std::string& OA, bool& Flash, TDateTime& SCTS,
                      std::string& UD);
bool DecodeSubmitPDU(const std::string& PDU, std::string& SCA, bool& SRR, int& VPF, bool& RD, int& MR, std::string& DA,
                     bool& Flash, int& VPRelative, TDateTime& VPAbsolute, int& VPTZ, std::string& UD);
std::string VPRelativeToText(int VP);

// The codec's refusals ("ERROR: ..." texts) go to this reporter; the program installs one that shows
// its modal error box. Default: write the text to standard error.
void SetErrorReporter(std::function<void(const std::string& Text)> Reporter);
// The current local date-time (the past-validity check, the century of a two-digit year). Default: system clock.
void SetClock(std::function<TDateTime()> Clock);

// Conversion errors: "'%s' is not a valid integer value", "Invalid argument to date encode",
// "Invalid argument to time encode".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---- Date-time helpers, also for the program's own use ----

// The current local date-time from the installed clock.
TDateTime Now();
// Year 1..9999, Month 1..12, Day within the month; otherwise EConvertError "Invalid argument to date encode".
TDateTime EncodeDate(int Year, int Month, int Day);
// Hour 0..23, Min 0..59, Sec 0..59, MSec 0..999; otherwise EConvertError "Invalid argument to time encode".
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec);
// The calendar date and the time of day (rounded to the millisecond) of a date-time value. A value
// that is not finite or lies outside the years 1 to 9999 raises "Invalid argument to date encode".
void DecodeDateTime(TDateTime DateTime, int& Year, int& Month, int& Day, int& Hour, int& Min, int& Sec, int& MSec);
// The year of a two-digit year (a time stamp's): the one within 50 years before and 49 after the
// current year of the installed clock. The clock's date-time raises as DecodeDateTime does.
int FullYear(int YY);
// A decimal integer with an optional sign; otherwise EConvertError "'S' is not a valid integer value".
int StrToInt(const std::string& S);

}  // namespace SMSEngine
