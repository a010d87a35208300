#include "rules/Phonebook.h"

#include <algorithm>

#include "rules/Cp1252.h"
#include "rules/ReadReplies.h"

namespace {

constexpr std::string_view HexDigits = "0123456789ABCDEF";

// Where the first line of Reply that starts with Prefix begins; npos when none does.
std::size_t LineStartOf(std::string_view Reply, std::string_view Prefix) {
  for (std::size_t At = Reply.find(Prefix); At != std::string_view::npos; At = Reply.find(Prefix, At + 1))
    if (At == 0 || Reply[At - 1] == '\n' || Reply[At - 1] == '\r') return At;
  return std::string_view::npos;
}

// The first line of Reply that starts with Prefix, without its line end; empty when there is none.
std::string_view LineStartingWith(std::string_view Reply, std::string_view Prefix) {
  const std::size_t At = LineStartOf(Reply, Prefix);
  if (At == std::string_view::npos) return {};
  std::string_view Line = Reply.substr(At);
  return Line.substr(0, Line.find_first_of("\r\n"));
}

// Code page 1252 for a UCS2 code unit; '?' for one it lacks. The control characters that stand
// for the code page's undefined bytes are no part of a name either.
char Cp1252Char(int Code) {
  if (Code >= 0x80 && Code <= 0x9F) return '?';
  const int Byte = Cp1252::FromUnicode(static_cast<char32_t>(Code));
  return Byte < 0 ? '?' : static_cast<char>(Byte);
}

}  // namespace

int HexQuadToInt(std::string_view Text) {
  if (Text.size() < 4) return -1;
  int Value = 0;
  for (std::size_t I = 0; I < 4; ++I) {
    const auto Digit = HexDigits.find(Text[I]);
    if (Digit == std::string_view::npos) return -1;
    Value = Value * 16 + static_cast<int>(Digit);
  }
  return Value;
}

std::string UCS2HexToText(std::string_view Hex) {
  std::string Text;
  Text.reserve(Hex.size() / 4);
  for (std::size_t Pos = 0; Pos + 4 <= Hex.size(); Pos += 4) {
    const std::string_view Group = Hex.substr(Pos, 4);
    const int Code = Group == "03B2" ? 0x00DF : HexQuadToInt(Group);
    if (Code >= 0) Text += Cp1252Char(Code);
  }
  return Text;
}

TPhonebookStorage ParsePhonebookStorage(std::string_view Reply) {
  // The "+CPBS:" line; a reply without one is read from its start as it stands.
  std::string_view Rest = LineStartingWith(Reply, "+CPBS:");
  if (Rest.empty()) {
    Rest = Reply;
    while (Rest.starts_with("\r\n")) Rest.remove_prefix(2);
    Rest = Rest.substr(0, Rest.find("\r\n"));
  }
  TakeUntil(Rest, ',');  // "+CPBS: <storage>"
  TPhonebookStorage Storage;
  const std::string_view UsedText = TakeUntil(Rest, ',');
  Storage.Used = ReplyToInt(UsedText);
  if (Storage.Used < 0) throw SMSEngine::EConvertError("'" + std::string(UsedText) + "' is not a valid integer value");
  try {
    Storage.Total = std::max(0, ReplyToInt(TakeUntil(Rest, ',')));
  } catch (const SMSEngine::EConvertError&) {
    Storage.Total = 0;  // no total, or none that can be read: the reading takes its own bound
  }
  return Storage;
}

int PhonebookLastLocation(const TPhonebookStorage& Storage) {
  return Storage.Total > 0 ? Storage.Total : UnknownPhonebookLastLocation;
}

TPhonebookReply CutPhonebookEntry(std::string_view Reply) {
  // A quoted field: the text up to the next double quote, which must be there.
  const auto Quoted = [](std::string_view& Rest, std::string& Field) {
    const auto End = Rest.find('"');
    if (End == std::string_view::npos) return false;
    Field = std::string(Rest.substr(0, End));
    Rest.remove_prefix(End + 1);
    return true;
  };
  // The entry runs from its prefix to the closing quote of its name: a quoted field may hold line
  // ends of its own (a phone sends raw control bytes in the number), so lines do not cut it.
  const std::size_t At = LineStartOf(Reply, "+CPBR:");
  std::string_view Rest = At == std::string_view::npos ? std::string_view() : Reply.substr(At);
  TPhonebookReply Entry;
  std::string Skipped;
  // <location>," <number> ",<type>," <name> "
  if (Quoted(Rest, Skipped) && Quoted(Rest, Entry.Number) && Quoted(Rest, Skipped)) Quoted(Rest, Entry.NameHex);
  return Entry;
}

std::string_view NumberTail(std::string_view Number) {
  return Number.size() > 8 ? Number.substr(Number.size() - 8) : Number;
}

std::string DialledDigits(std::string_view Number) {
  std::string Digits;
  for (const char C : Number)
    if (C != ' ' && C != '-') Digits += C;
  return Digits;
}

bool SameNumber(std::string_view A, std::string_view B) {
  const std::string First = DialledDigits(A);
  const std::string Second = DialledDigits(B);
  if (First.empty() || Second.empty()) return false;
  if (First == Second) return true;
  // "+<country><rest>" and the national "0<rest>": a country code has one to three digits.
  const auto International = [](const std::string& Plus, const std::string& National) {
    if (Plus.size() < 3 || Plus[0] != '+' || National.size() < 2 || National[0] != '0' || National[1] == '0')
      return false;
    const std::string_view Rest = std::string_view(National).substr(1);
    for (std::size_t Country = 1; Country <= 3 && 1 + Country < Plus.size(); ++Country) {
      const std::string_view Code = std::string_view(Plus).substr(1, Country);
      if (Code.find_first_not_of("0123456789") != std::string_view::npos || Code[0] == '0') break;
      if (std::string_view(Plus).substr(1 + Country) == Rest) return true;
    }
    return false;
  };
  return International(First, Second) || International(Second, First);
}

void MatchNames(std::vector<SMSEngine::TMessageList>& Messages, const std::vector<TPhonebookList>& Phonebook) {
  const auto Same = [](std::string_view Number, std::string_view EntryTail) {
    return !Number.empty() && NumberTail(Number) == EntryTail;
  };
  for (SMSEngine::TMessageList& Message : Messages) {
    if (!Message.Name.empty()) continue;
    // The number itself wins over one that only ends the same way.
    const auto Exact = std::find_if(Phonebook.begin(), Phonebook.end(), [&Message](const TPhonebookList& Entry) {
      return SameNumber(Message.DA, Entry.Number) || SameNumber(Message.OA, Entry.Number);
    });
    if (Exact != Phonebook.end()) {
      Message.Name = Exact->Name;
      continue;
    }
    for (const TPhonebookList& Entry : Phonebook) {
      if (Entry.Number.empty()) continue;
      const std::string_view Tail = NumberTail(Entry.Number);
      if (Same(Message.DA, Tail) || Same(Message.OA, Tail)) {
        Message.Name = Entry.Name;
        break;
      }
    }
  }
}
