// The messages as an Android SMS backup file: UTF-8 XML, <smses count="N"> with one <sms/> per
// message, the parts of a long message joined (rules/FullMessage.h).
#pragma once

#include "engine/SMSEngine.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The whole file for the list in grid order. A message without a time stamp is dated BackupTimeMs
// (milliseconds since 1970 UTC), shown in the zone BackupZoneMinutes east of UTC, its date_sent 0.
// A long message takes its fields from its lowest part present and is unread while any part is;
// an entry of unknown status is received for a DELIVER and unsent for a SUBMIT; a PDU that cannot
// be read keeps its place, with the address null and a body that says so and holds the PDU.
std::string AndroidBackupXml(const std::vector<SMSEngine::TMessageList>& Messages, std::int64_t BackupTimeMs,
                             int BackupZoneMinutes);

// "Dec 11, 2026 2:03:07 PM" of the local time LocalMs (milliseconds since 1970, the zone applied).
std::string ReadableDate(std::int64_t LocalMs);

// Text as an XML attribute value: & < > " ' as entities, CR LF TAB as character references, any
// other character that XML 1.0 cannot hold as U+FFFD.
std::string XmlAttribute(std::u32string_view Text);
