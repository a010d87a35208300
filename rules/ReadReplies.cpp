#include "rules/ReadReplies.h"

#include "rules/Reply.h"

#include <algorithm>

namespace {

constexpr std::string_view ListingPrefix = "+CMGL:";
constexpr std::string_view LineEnd = "\r\n";

// The next line without its CR LF; a last line without CR LF counts as well.
std::string_view TakeLine(std::string_view& Rest) {
  const auto Pos = Rest.find(LineEnd);
  const auto Line = Rest.substr(0, Pos);
  Rest = Pos == std::string_view::npos ? std::string_view() : Rest.substr(Pos + LineEnd.size());
  return Line;
}

bool IsHeaderLine(std::string_view Line) { return Line.starts_with(ListingPrefix); }

bool IsHexLine(std::string_view Line) {
  if (Line.empty()) return false;
  for (const char C : Line) {
    const bool Hex = (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f');
    if (!Hex) return false;
  }
  return true;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return C - 'a' + 10;
}

// Hex characters a whole PDU takes: the SCA field (its length octet first) and the TPDU the header counts.
// 0 when the header gives no usable length.
std::size_t ExpectedPDUChars(std::string_view Header, std::string_view FirstLine) {
  const auto Comma = Header.rfind(',');
  if (Comma == std::string_view::npos || FirstLine.size() < 2) return 0;
  int TPDUOctets = 0;
  try {
    TPDUOctets = ReplyToInt(Header.substr(Comma + 1));
  } catch (const SMSEngine::EConvertError&) {
    return 0;
  }
  if (TPDUOctets <= 0) return 0;
  const int SCAOctets = HexDigit(FirstLine[0]) * 16 + HexDigit(FirstLine[1]);
  return 2 * (1 + static_cast<std::size_t>(SCAOctets) + static_cast<std::size_t>(TPDUOctets));
}

// A count cannot be negative; the list is sized by it.
int ReplyCount(std::string_view Text) {
  const int Count = ReplyToInt(Text);
  if (Count < 0) throw SMSEngine::EConvertError("'" + PhoneText(Text) + "' is not a valid integer value");
  return Count;
}

}  // namespace

std::string_view TakeUntil(std::string_view& Rest, char Separator) {
  const auto Pos = Rest.find(Separator);
  const auto Field = Rest.substr(0, Pos);
  Rest = Pos == std::string_view::npos ? std::string_view() : Rest.substr(Pos + 1);
  return Field;
}

int ReplyToInt(std::string_view Text) {
  // Phones pad numbers on the left; the rest is the codec's own conversion. The error names the
  // text as the reply gave it, as much of it as a box shows and with its control characters visible.
  const std::string Digits(Text.substr(std::min(Text.find_first_not_of(' '), Text.size())));
  try {
    return SMSEngine::StrToInt(Digits);
  } catch (const SMSEngine::EConvertError&) {
    throw SMSEngine::EConvertError("'" + PhoneText(Text) + "' is not a valid integer value");
  }
}

bool HasS40TypeCode(std::string_view SerialReply) { return SerialReply.find("35007780") != std::string_view::npos; }

TMemoryStatus ParseMemoryStatus(std::string_view Reply) {
  // The "+CPMS:" line, should an unsolicited line stand before it; else the first line. A reply
  // holding a single storage has no comma after its total.
  std::string_view Lines = Reply;
  std::string_view Rest = TakeLine(Lines);
  for (std::string_view Search = Reply; !Search.empty();) {
    const std::string_view Line = TakeLine(Search);
    if (Line.starts_with("+CPMS:")) {
      Rest = Line;
      break;
    }
  }
  TakeUntil(Rest, ',');  // "+CPMS: <mem>"
  TMemoryStatus Status;
  Status.Used = ReplyCount(TakeUntil(Rest, ','));
  Status.Total = ReplyCount(TakeUntil(Rest, ','));
  return Status;
}

TListingHeader ParseListingHeader(std::string_view Header) {
  std::string_view Rest = Header;
  if (Rest.starts_with(ListingPrefix)) {
    Rest.remove_prefix(ListingPrefix.size());
    while (!Rest.empty() && Rest.front() == ' ') Rest.remove_prefix(1);
  }
  TListingHeader Fields;
  Fields.Index = ReplyToInt(TakeUntil(Rest, ','));
  // The status is one digit followed by its comma.
  Fields.Status = ReplyToInt(Rest.substr(0, 1));
  Rest.remove_prefix(Rest.size() < 2 ? Rest.size() : 2);
  // A quoted alpha may hold commas of its own; the length is always the last field.
  const auto LastComma = Rest.rfind(',');
  if (LastComma != std::string_view::npos) {
    Fields.Alpha = std::string(Rest.substr(0, LastComma));
    Rest.remove_prefix(LastComma + 1);
  }
  Fields.PDULength = ReplyToInt(Rest);
  return Fields;
}

bool CutListedMessage(std::string_view& Rest, TListedMessage& Message) {
  std::string_view Line;
  do {
    if (Rest.empty()) return false;
    Line = TakeLine(Rest);
  } while (!IsHeaderLine(Line));
  Message.Header = std::string(Line);
  Message.PDU.clear();

  std::size_t Expected = 0;
  while (!Rest.empty()) {
    const std::string_view LineStart = Rest;
    std::string_view Next = Rest;
    Line = TakeLine(Next);
    if (IsHeaderLine(Line)) break;  // the next message; it stays in Rest
    Rest = Next;
    // An unsolicited code goes with the lines it carries (the PDU of a message delivered meanwhile).
    if (const int Lines = UnsolicitedLines(LineStart); Lines > 0) {
      for (int I = 1; I < Lines; ++I) TakeLine(Rest);
      continue;
    }
    if (!IsHexLine(Line)) continue;
    if (Message.PDU.empty()) {
      Message.PDU = std::string(Line);
      Expected = ExpectedPDUChars(Message.Header, Line);
    } else if (Message.PDU.size() < Expected) {
      Message.PDU += Line;  // the rest of a PDU that an unsolicited line broke in two
    }
  }
  return true;
}
