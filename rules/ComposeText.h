// Text work of composing, sending and storing a message, apart from any window: the number behind a
// destination text, the check of a typed address, the numbers in the phone's replies and the place
// of a stored message in the list.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/SMSEngine.h"

// The number of a destination text. A phone book item "Anna (+4930)" gives what stands between the
// last "(" and the last character: "+4930". A text without "(" is taken whole.
std::string DestinationNumber(const std::string& Text);

// A typed address as the encoder may take it: blanks and hyphens are dropped, and what remains must
// be an optional leading "+" and 1 to 20 digits. Nothing when it is not.
std::optional<std::string> CleanAddress(const std::string& Text);

// The service centre address of a "+CSCA: "<address>",<type>" reply: the text between its first and
// second double quote. Empty when the reply holds no two double quotes.
std::string ServiceCentreOfReply(const std::string& Reply);

// The number of the first result code Prefix ("+CMGS:" or "+CMGW:") in a reply: the run of at most
// four decimal digits after the prefix and the blanks behind it. Whatever comes before the result
// code (the echo of the PDU, the prompt) is passed over. Nothing when no digit follows the prefix.
std::optional<int> ReplyNumber(const std::string& Reply, const std::string& Prefix);

// The list position (0-based) where a message stored at memory location Location belongs: before
// the first entry with a greater location, or before the first entry the phone did not list (a
// status report's place, location 0), or at the end. The list stays ordered by location whichever
// free location the phone chose.
std::size_t StoredListPosition(const std::vector<SMSEngine::TMessageList>& Messages, int Location);

// The grid's one-line copy of a message text: each CR and each LF becomes a blank.
std::string OneLineText(std::string Text);
