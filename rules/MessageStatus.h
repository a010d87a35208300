// A message status in words, the same in the grid, the viewers and a saved message.
#pragma once

#include <string>

// "received unread", "received read", "stored unsent" or "stored sent"; empty for any other status.
const char* StatusName(int Status);

// The status number with its meaning, "0 (received unread)"; the bare number for a status without one.
std::string StatusText(int Status);
