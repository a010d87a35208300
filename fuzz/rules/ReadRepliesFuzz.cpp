// The parsers of the phone's replies on any text: each gives its value or refuses with a conversion
// error, never reads past the text, and the listing cutter always moves on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/SMSEngine.h"
#include "rules/ComposeText.h"
#include "rules/Phonebook.h"
#include "rules/ReadReplies.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

template <typename F>
void Refusable(F&& Parse) {
  try {
    Parse();
  } catch (const SMSEngine::EConvertError&) {}
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);

  HasS40TypeCode(text);
  Refusable([&] { ReplyToInt(text); });
  Refusable([&] {
    const TMemoryStatus status = ParseMemoryStatus(text);
    Check(status.Used >= 0 && status.Total >= 0);
  });
  Refusable([&] { ParseListingHeader(text); });

  std::string_view rest = text;
  TListedMessage message;
  while (true) {
    const std::size_t before = rest.size();
    if (!CutListedMessage(rest, message)) break;
    Check(rest.size() < before);
    Refusable([&] { ParseListingHeader(message.Header); });
  }

  Refusable([&] {
    const TPhonebookStorage storage = ParsePhonebookStorage(text);
    Check(storage.Used >= 0 && storage.Total >= 0);
    Check(PhonebookLastLocation(storage) > 0);
  });
  const TPhonebookReply entry = CutPhonebookEntry(text);
  Check(UCS2HexToText(entry.NameHex).size() <= entry.NameHex.size() / 4 + 1);
  HexQuadToInt(text);

  Check(ServiceCentreOfReply(text).size() <= text.size());
  for (const char* prefix : {"+CMGS:", "+CMGW:"})
    if (const auto number = ReplyNumber(text, prefix)) Check(*number >= 0 && *number <= 9999);
  CleanAddress(text);
  DestinationNumber(text);
  return 0;
}
