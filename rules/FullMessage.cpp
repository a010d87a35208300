#include "rules/FullMessage.h"

TFullMessage DecodeFullMessage(std::string_view) noexcept { return {}; }
std::int64_t TimeStampMs(const TFullTimeStamp&) noexcept { return 0; }
std::string ToUtf8(std::u32string_view) { return {}; }
std::vector<TJoinedMessage> JoinMessages(const std::vector<SMSEngine::TMessageList>&) { return {}; }
std::u32string BodyText(const TFullMessage&, std::string_view) { return {}; }
