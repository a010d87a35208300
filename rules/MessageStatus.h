// A message status in words, the same in the grid, the viewers and a saved message.
#pragma once

#include <string>

// "received unread", "received read", "stored unsent" or "stored sent"; empty for any other status.
const char* StatusName(int Status);

// A message the phone received (unread or read), as against one stored for sending.
bool IsReceived(int Status);

// The status number with its meaning, "0 (received unread)"; the bare number for a status without one.
std::string StatusText(int Status);

// The status of a listed entry whose header could not be read that far.
constexpr int UnreadStatus = -1;

// One of the four statuses a phone gives a stored message.
bool KnownStatus(int Status);
