#include "rules/AndroidBackup.h"

std::string AndroidBackupXml(const std::vector<SMSEngine::TMessageList>&, std::int64_t, int) {
  return "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"0\">\n</smses>\n";
}
std::string ReadableDate(std::int64_t) { return {}; }
std::string XmlAttribute(std::u32string_view) { return {}; }
