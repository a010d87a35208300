#include "SMSEngine.h"

namespace SMSEngine {
std::string TextToGSM(const std::string&) { return {}; }
std::string GSMToText(const std::string&) { return {}; }
int CountSeptets(const std::string&) { return 0; }
std::string ByteToHex(int) { return "00"; }
int HexToByte(const std::string&) { return 0; }
std::string HexToBin(const std::string&) { return {}; }
std::string BinToHex(const std::string&) { return {}; }
std::string SeptetsToBin(const std::string&) { return {}; }
std::string BinToSeptets(const std::string&) { return {}; }
std::string ReverseBlocks(const std::string& S, int) { return S; }
bool EncodeSubmitPDU(const std::string&, bool, int, bool, int, const std::string&, bool, int, TDateTime, int,
                     const std::string&, int&, std::string&) { return false; }
bool DecodeDeliverPDU(const std::string&, std::string&, std::string&, bool&, TDateTime&, std::string&) { return false; }
bool DecodeSubmitPDU(const std::string&, std::string&, bool&, int&, bool&, int&, std::string&, bool&, int&,
                     TDateTime&, int&, std::string&) { return false; }
std::string VPRelativeToText(int) { return {}; }
void SetErrorReporter(std::function<void(const std::string&)>) {}
void SetClock(std::function<TDateTime()>) {}
TDateTime Now() { return 0; }
TDateTime EncodeDate(int, int, int) { return 0; }
TDateTime EncodeTime(int, int, int, int) { return 0; }
void DecodeDateTime(TDateTime, int&, int&, int&, int&, int&, int&, int&) {}
int StrToInt(const std::string&) { return 0; }
}  // namespace SMSEngine
