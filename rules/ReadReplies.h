// The phone's replies to the reading commands ("AT+CGSN", "AT+CPMS?", "AT+CMGL=4"), taken apart.
// Pure text work on the reply text the command exchange leaves behind (echo and final OK removed);
// no window, no channel.
#pragma once

#include "engine/SMSEngine.h"

#include <string>
#include <string_view>

// The text before the first Separator, or all of it; Rest becomes what follows the separator.
std::string_view TakeUntil(std::string_view& Rest, char Separator);

// A decimal integer as the phone writes it: leading blanks and a sign allowed, nothing after the digits.
// Anything else, or a value outside 32 bits, raises SMSEngine::EConvertError "'<text>' is not a valid integer value".
int ReplyToInt(std::string_view Text);

// The model check: the serial number reply names the S40's type code "35007780".
bool HasS40TypeCode(std::string_view SerialReply);

// The memory status reply "+CPMS: <mem>,<used>,<total>,..."; only the first used and total count are
// read. A count that is not a decimal number, or is negative, raises SMSEngine::EConvertError.
struct TMemoryStatus {
  int Used = 0;
  int Total = 0;
};
TMemoryStatus ParseMemoryStatus(std::string_view Reply);

// The fields of one listing header line "+CMGL: <index>,<stat>,<alpha>,<length>".
struct TListingHeader {
  int Index = 0;
  int Status = 0;
  std::string Alpha;
  int PDULength = 0;
};

// Takes one header line apart. The "+CMGL:" prefix and the blanks after it may be present or not.
// Raises SMSEngine::EConvertError for a number that does not parse.
TListingHeader ParseListingHeader(std::string_view Header);

// One listed message as cut from the listing: its header line and its PDU in hex.
struct TListedMessage {
  std::string Header;
  std::string PDU;
};

// Cuts the next listed message from the front of Rest and advances Rest past it. False when no header is left.
// Lines that are neither a listing header nor hex digits (blank lines, unsolicited result codes) are passed over;
// a PDU that such a line broke in two is joined again up to the length its header announces. A header followed
// directly by the next header gives an empty PDU.
bool CutListedMessage(std::string_view& Rest, TListedMessage& Message);
