#include "rules/MessageStatus.h"

#include "engine/SMSEngine.h"

const char* StatusName(int Status) {
  static const char* const Names[] = {"received unread", "received read", "stored unsent", "stored sent"};
  return KnownStatus(Status) ? Names[Status] : "";
}

bool KnownStatus(int Status) {
  return Status >= SMSEngine::StatusReceivedUnread && Status <= SMSEngine::StatusStoredSent;
}

bool IsReceived(int Status) {
  return Status == SMSEngine::StatusReceivedUnread || Status == SMSEngine::StatusReceivedRead;
}

std::string StatusText(int Status) {
  const std::string Name = StatusName(Status);
  return Name.empty() ? std::to_string(Status) : std::to_string(Status) + " (" + Name + ")";
}
