// The phone book as the phone sends it, taken apart: the storage reply, one entry of a read reply,
// the names in hexadecimal UCS2, and the matching of names to the numbers of the message list.
// Pure text work; no window, no channel.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/SMSEngine.h"

// One phone book entry: a number and its decoded name.
struct TPhonebookList {
  std::string Number;
  std::string Name;
};

// The value of the first four characters of Text read as upper-case hexadecimal digits; -1 when
// Text is shorter than four characters or one of them is no such digit.
int HexQuadToInt(std::string_view Text);

// A name sent as hexadecimal UCS2, four digits a character, as 8-bit text (code page 1252). The
// phone sends a sharp s as 03B2 (the Greek small beta); a character the code page lacks becomes '?'.
// A group that is not four upper-case hex digits (a short last group, a foreign character) is left out.
std::string UCS2HexToText(std::string_view Hex);

// The storage reply "+CPBS: <storage>,<used>,<total>". Used raises SMSEngine::EConvertError when it is
// not a decimal number or is negative; Total is 0 when the reply gives none that is a positive number.
struct TPhonebookStorage {
  int Used = 0;
  int Total = 0;
};
TPhonebookStorage ParsePhonebookStorage(std::string_view Reply);

// The last location that a reading of the phone book asks for: the phone book's total, or 1000 for
// a phone that does not say it, so that a phone answering every location with OK cannot hold a
// reading for ever.
constexpr int UnknownPhonebookLastLocation = 1000;
int PhonebookLastLocation(const TPhonebookStorage& Storage);

// The number and the name text (still hex) of the "+CPBR: <location>,"<number>",<type>,"<name>"" entry
// of a read reply, cut by its quotes: a line end inside a quoted field belongs to the field. Both are
// empty for a reply without such an entry (an empty location).
struct TPhonebookReply {
  std::string Number;
  std::string NameHex;
};
TPhonebookReply CutPhonebookEntry(std::string_view Reply);

// The last eight characters of a number, or the whole number when it is shorter.
std::string_view NumberTail(std::string_view Number);

// The number without the blanks and hyphens that people write into it.
std::string DialledDigits(std::string_view Number);

// Two numbers that dial the same: equal once blanks and hyphens are dropped, or one international
// ("+49 30 123456") and the other national with the same rest ("030 123456"). Empty matches nothing.
bool SameNumber(std::string_view A, std::string_view B);

// Gives every message without a name the name of a phone book entry: the first whose number is the
// message's number (SameNumber, destination or originating number), else the first whose number ends
// like its destination or, else, its originating number (the last eight characters, compared
// exactly). A message that has a name keeps it; an empty number matches nothing.
void MatchNames(std::vector<SMSEngine::TMessageList>& Messages, const std::vector<TPhonebookList>& Phonebook);
