// Helpers of the channel: error texts, the millisecond tick counter, device names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/KoTypes.h"

// The system's message text for an error code, without trailing blanks or full stops.
std::string KoSysErrorText(int Code);
// Fills the first %d of Format with Code and the following %s with its system text.
std::string KoFormatError(const std::string& Format, int Code);
// Replaces the first %s of Format with Text.
std::string KoFormatText(const std::string& Format, const std::string& Text);
// Replaces the first %d of Format with Value.
std::string KoFormatInt(const std::string& Format, int Value);

// A millisecond counter that wraps around, and the time since an earlier reading of it, which
// stays right across the wrap.
std::uint32_t KoTickCount();
inline std::uint32_t KoTicksSince(std::uint32_t Start, std::uint32_t Now) { return Now - Start; }

// The device that a port name stands for, as the system names it (see the link README).
std::string KoResolveDevice(const std::string& Name);
// The serial ports the program offers, in the order shown; each one's PortNum opens it.
std::vector<TKoPortEntry> KoListPorts();

// The event mask of a set of line events; without DirectWrite the transmit-empty bit is left
// out, because the write worker reports that event itself.
std::uint32_t KoBuildEventMask(TKoCommEvents Events, bool DirectWrite);
