#include "rules/AndroidBackup.h"

#include "rules/Cp1252.h"
#include "rules/FullMessage.h"

#include <cstdio>

namespace {

// The backup's message types.
constexpr int TypeReceived = 1;
constexpr int TypeSent = 2;
constexpr int TypeUnsent = 3;

int MessageType(int Status, TFullKind Kind) {
  switch (Status) {
    case SMSEngine::StatusReceivedUnread:
    case SMSEngine::StatusReceivedRead:
      return TypeReceived;
    case SMSEngine::StatusStoredSent:
      return TypeSent;
    case SMSEngine::StatusStoredUnsent:
      return TypeUnsent;
    default:  // the header was not read: what the PDU is says it, and a SUBMIT is not known to be sent
      return Kind == TFullKind::Submit ? TypeUnsent : TypeReceived;
  }
}

bool XmlCharacter(char32_t Code) {
  return Code == 0x9 || Code == 0xA || Code == 0xD || (Code >= 0x20 && Code < 0xD800) ||
         (Code >= 0xE000 && Code <= 0xFFFD) || (Code >= 0x10000 && Code <= 0x10FFFF);
}

std::string Attribute(const char* Name, const std::string& Value) { return std::string(Name) + "=\"" + Value + "\" "; }

}  // namespace

std::string XmlAttribute(std::u32string_view Text) {
  std::u32string Out;
  for (const char32_t Code : Text) {
    switch (Code) {
      case U'&':
        Out += U"&amp;";
        break;
      case U'<':
        Out += U"&lt;";
        break;
      case U'>':
        Out += U"&gt;";
        break;
      case U'"':
        Out += U"&quot;";
        break;
      case U'\'':
        Out += U"&apos;";
        break;
      // Kept as references: a parser turns a raw line break or tab in an attribute into a space.
      case U'\r':
        Out += U"&#13;";
        break;
      case U'\n':
        Out += U"&#10;";
        break;
      case U'\t':
        Out += U"&#9;";
        break;
      default:
        Out += XmlCharacter(Code) ? Code : U'\uFFFD';
    }
  }
  return ToUtf8(Out);
}

std::string ReadableDate(std::int64_t LocalMs) {
  static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int Year, Month, Day, Hour, Min, Sec, MSec;
  SMSEngine::DecodeDateTime(SMSEngine::UnixEpochDay + static_cast<double>(LocalMs) / 86400000.0, Year, Month, Day, Hour,
                            Min, Sec, MSec);
  char Buffer[64];
  std::snprintf(Buffer, sizeof Buffer, "%s %d, %d %d:%02d:%02d %s", Months[Month - 1], Day, Year,
                Hour % 12 == 0 ? 12 : Hour % 12, Min, Sec, Hour < 12 ? "AM" : "PM");
  return Buffer;
}

std::string AndroidBackupXml(const std::vector<SMSEngine::TMessageList>& Messages, std::int64_t BackupTimeMs,
                             int BackupZoneMinutes) {
  const std::vector<TJoinedMessage> Joined = JoinMessages(Messages);
  std::string Out = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n";
  Out += "<smses count=\"" + std::to_string(Joined.size()) + "\">\n";
  for (const TJoinedMessage& J : Joined) {
    const SMSEngine::TMessageList& Entry = Messages[J.First];
    const TFullMessage& M = J.Message;
    // A stored message has no time stamp: it is dated by the backup, its sending time unknown (0).
    const std::int64_t Date = M.HasTimeStamp ? TimeStampMs(M.TimeStamp) : BackupTimeMs;
    const std::int64_t DateSent = M.HasTimeStamp ? Date : 0;
    const std::int64_t LocalMs = M.HasTimeStamp ? Date + std::int64_t{M.TimeStamp.ZoneQuarters} * 15 * 60000
                                                : BackupTimeMs + std::int64_t{BackupZoneMinutes} * 60000;
    Out += "  <sms ";
    Out += Attribute("protocol", "0");
    Out += Attribute("address", M.Address.empty() ? "null" : XmlAttribute(M.Address));
    Out += Attribute("date", std::to_string(Date));
    Out += Attribute("type", std::to_string(MessageType(Entry.Status, M.Kind)));
    Out += Attribute("subject", "null");
    Out += Attribute("body", XmlAttribute(J.Body));
    Out += Attribute("toa", "null");
    Out += Attribute("sc_toa", "null");
    Out += Attribute("service_center", M.SCA.empty() ? "null" : XmlAttribute(M.SCA));
    // A long message is unread while any of its parts is.
    bool Unread = false;
    for (const std::size_t Part : J.Parts) Unread = Unread || Messages[Part].Status == SMSEngine::StatusReceivedUnread;
    Out += Attribute("read", Unread ? "0" : "1");
    Out += Attribute("status", "-1");
    Out += Attribute("locked", "0");
    Out += Attribute("date_sent", std::to_string(DateSent));
    Out += Attribute("readable_date", ReadableDate(LocalMs));
    Out += Attribute("contact_name", Entry.Name.empty() ? "(Unknown)" : XmlAttribute(Cp1252::ToUnicode(Entry.Name)));
    Out += "/>\n";
  }
  Out += "</smses>\n";
  return Out;
}
