// Text work of composing, sending and storing a message, apart from any window: the number behind a
// destination text, the check of a typed address, the numbers in the phone's replies and the place
// of a stored message in the list.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SMSEngine.h"

// The number of a destination text. A phone book item "Anna (+4930)" gives what stands between the
// last "(" and the last character: "+4930". A text without "(" is taken whole.
std::string DestinationNumber(const std::string& Text);

// A typed address as the encoder may take it: blanks and hyphens are dropped, and what remains must
// be an optional leading "+" and 1 to 20 digits. Nothing when it is not.
std::optional<std::string> CleanAddress(const std::string& Text);

// The service centre address of a "+CSCA: "<address>",<type>" reply: the text between its first and
// second double quote. An international type of number (type octet 1001xxxx, such as 145) with an
// address that has no "+" gets its "+", so that it is encoded as international again. An address
// that a phone in UCS2 wrote as hex ("002B0034...") is read as the number it spells. Empty when
// the reply holds no two double quotes.
std::string ServiceCentreOfReply(const std::string& Reply);

// The number of the first result code Prefix ("+CMGS:" or "+CMGW:") in a reply: the run of at most
// four decimal digits after the prefix and the blanks behind it. Whatever comes before the result
// code (the echo of the PDU, the prompt) is passed over. Nothing when no digit follows the prefix.
std::optional<int> ReplyNumber(const std::string& Reply, const std::string& Prefix);

// The location of a list entry that stands for no message: the status reports' place that the phone
// counted but did not list. Location 0 is a location like any other.
constexpr int NoLocation = -1;

// The list position (0-based) where a message stored at memory location Location belongs: before
// the first entry with a greater location, or before the first entry without a location
// (NoLocation), or at the end. The list stays ordered by location whichever free location the
// phone chose.
std::size_t StoredListPosition(const std::vector<SMSEngine::TMessageList>& Messages, int Location);

// What a text typed in the compose dialog becomes. It is taken into code page 1252 one UTF-16 unit
// at a time, a line break as CR LF: a character the code page lacks goes as "?", one beyond the
// Basic Multilingual Plane as two. The alphabet then puts a blank or a like letter for what it
// lacks.
struct TTypedText {
  int Septets = 0;      // what the counter shows: the septets of the text in the code page
  std::string Carried;  // the text as the phone keeps it, as a reading shows it (code page 1252)
  // What the label beside the counter says, grouped by what the characters become, in the order
  // each first stands in the text: "Sent as ?: П р 😀 (2 ?)  Sent as blank: “ ½  Sent as A: À".
  // Empty when every character goes as typed.
  std::u32string Label;
};
TTypedText TypedText(std::u32string_view Typed);

// The grid's one-line copy of a message text: each CR and each LF becomes a blank.
std::string OneLineText(std::string Text);
