#include "rules/ComposeText.h"

#include <algorithm>

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
  return Reply.substr(First + 1, Second - First - 1);
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
    return Entry.Index > Location || Entry.Index <= 0;
  });
  return static_cast<std::size_t>(It - Messages.begin());
}

std::string OneLineText(std::string Text) {
  std::replace(Text.begin(), Text.end(), '\r', ' ');
  std::replace(Text.begin(), Text.end(), '\n', ' ');
  return Text;
}
