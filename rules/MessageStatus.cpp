#include "rules/MessageStatus.h"

const char* StatusName(int Status) {
  static const char* const Names[] = {"received unread", "received read", "stored unsent", "stored sent"};
  return Status >= 0 && Status < 4 ? Names[Status] : "";
}

std::string StatusText(int Status) {
  const std::string Name = StatusName(Status);
  return Name.empty() ? std::to_string(Status) : std::to_string(Status) + " (" + Name + ")";
}
