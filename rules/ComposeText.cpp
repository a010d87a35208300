#include "rules/ComposeText.h"

#include <algorithm>

#include "rules/Cp1252.h"
#include "rules/Phonebook.h"

std::string DestinationNumber(const std::string& Text) {
  if (Text.find('(') == std::string::npos) return Text;
  // Backwards from the second-to-last character (the last is the closing parenthesis) to the "(".
  std::size_t Start = Text.size() >= 1 ? Text.size() - 1 : 0;
  while (Start > 0 && Text[Start - 1] != '(') --Start;
  return Text.substr(Start, Text.size() - 1 - Start);
}

std::optional<std::string> CleanAddress(const std::string& Text) {
  std::string Address;
  for (char C : Text)
    if (C != ' ' && C != '-') Address += C;
  const std::size_t First = !Address.empty() && Address[0] == '+' ? 1 : 0;
  const std::size_t Digits = Address.size() - First;
  if (Digits < 1 || Digits > 20) return std::nullopt;
  for (std::size_t i = First; i < Address.size(); ++i)
    if (Address[i] < '0' || Address[i] > '9') return std::nullopt;
  return Address;
}

std::string ServiceCentreOfReply(const std::string& Reply) {
  const auto First = Reply.find('"');
  if (First == std::string::npos) return {};
  const auto Second = Reply.find('"', First + 1);
  if (Second == std::string::npos) return {};
  std::string Address = Reply.substr(First + 1, Second - First - 1);
  // A phone left in UCS2 writes the address as hex, four digits a character ("002B0034..."); no
  // number is that long, so such a text is read as what it spells.
  if (Address.size() > 20 && Address.size() % 4 == 0) {
    std::string Spelt;
    for (std::size_t At = 0; At < Address.size(); At += 4) {
      const int Code = HexQuadToInt(std::string_view(Address).substr(At, 4));
      if (Code != '+' && (Code < '0' || Code > '9')) break;
      Spelt += static_cast<char>(Code);
    }
    if (Spelt.size() * 4 == Address.size()) Address = Spelt;
  }
  // ,<type>: the type of number is bits 6 to 4 of the type octet, 001 international.
  std::size_t At = Second + 1;
  while (At < Reply.size() && Reply[At] == ' ') ++At;
  if (At < Reply.size() && Reply[At] == ',') {
    ++At;
    while (At < Reply.size() && Reply[At] == ' ') ++At;
    int Type = 0;
    int Digits = 0;
    for (; At < Reply.size() && Digits < 3 && Reply[At] >= '0' && Reply[At] <= '9'; ++At, ++Digits)
      Type = Type * 10 + (Reply[At] - '0');
    const bool International =
        Digits > 0 && Type <= 255 && (Type & SMSEngine::TypeOfNumberMask) == SMSEngine::TypeOfNumberInternational;
    if (International && !Address.empty() && Address[0] != '+') Address.insert(0, 1, '+');
  }
  return Address;
}

std::optional<int> ReplyNumber(const std::string& Reply, const std::string& Prefix) {
  const auto At = Reply.find(Prefix);
  if (At == std::string::npos) return std::nullopt;
  std::size_t i = At + Prefix.size();
  while (i < Reply.size() && Reply[i] == ' ') ++i;
  int Value = 0;
  int Digits = 0;
  while (i < Reply.size() && Digits < 4 && Reply[i] >= '0' && Reply[i] <= '9') {
    Value = Value * 10 + (Reply[i] - '0');
    ++Digits;
    ++i;
  }
  if (Digits == 0) return std::nullopt;
  return Value;
}

std::size_t StoredListPosition(const std::vector<SMSEngine::TMessageList>& Messages, int Location) {
  const auto It = std::find_if(Messages.begin(), Messages.end(), [Location](const SMSEngine::TMessageList& Entry) {
    return Entry.Index > Location || Entry.Index < 0;
  });
  return static_cast<std::size_t>(It - Messages.begin());
}

TTypedText TypedText(std::u32string_view Typed) {
  TTypedText Result;
  std::string Text;
  for (const char32_t Code : Typed) {
    if (Code == U'\n') {
      Text += "\r\n";
      continue;
    }
    const int Byte = Cp1252::FromUnicode(Code);
    if (Byte >= 0)
      Text += static_cast<char>(Byte);
    else
      Text += Code > 0xFFFF ? "??" : "?";  // one "?" for each UTF-16 unit
  }
  Result.Septets = SMSEngine::CountSeptets(Text);
  Result.Carried = SMSEngine::GSMToText(SMSEngine::TextToGSM(Text));

  // Each character that does not go as typed, once, under what it becomes.
  struct TGroup {
    std::u32string Becomes;
    std::u32string Shown;
  };
  std::vector<TGroup> Groups;
  std::u32string Seen;
  for (const char32_t Code : Typed) {
    // A line break goes as the alphabet's CR and LF, which a reading gives back as CR LF.
    if (Code == U'\n' || Seen.find(Code) != std::u32string::npos) continue;
    Seen += Code;
    std::u32string Becomes = U"?";
    if (const int Byte = Cp1252::FromUnicode(Code); Byte >= 0) {
      Becomes.clear();
      for (const char Carried : SMSEngine::GSMToText(SMSEngine::TextToGSM(std::string(1, static_cast<char>(Byte)))))
        Becomes += Cp1252::ToUnicode(static_cast<unsigned char>(Carried));
    }
    if (Becomes == std::u32string(1, Code)) continue;  // goes as typed
    if (Becomes == U" ") Becomes = U"blank";
    auto Group = std::find_if(Groups.begin(), Groups.end(), [&](const TGroup& G) { return G.Becomes == Becomes; });
    if (Group == Groups.end()) Group = Groups.insert(Groups.end(), {Becomes, {}});
    if (!Group->Shown.empty()) Group->Shown += U' ';
    Group->Shown += Code == U'\t' ? std::u32string(U"Tab") : std::u32string(1, Code);
    if (Code > 0xFFFF) Group->Shown += U" (2 ?)";
  }
  for (const TGroup& Group : Groups) {
    if (!Result.Label.empty()) Result.Label += U"  ";
    Result.Label += U"Sent as " + Group.Becomes + U": " + Group.Shown;
  }
  return Result;
}

std::string OneLineText(std::string Text) {
  std::replace(Text.begin(), Text.end(), '\r', ' ');
  std::replace(Text.begin(), Text.end(), '\n', ' ');
  return Text;
}
