// Constants of the serial channel: error texts, line-event bits and line-error bits.
#pragma once

#include <cstdint>

// Error texts. %d and %s are completed with the system error code and its text when raised;
// the device name is filled in first where a text names it.
inline constexpr const char* sKoPortOpen = "Can't perform this operation while port is open";
inline constexpr const char* sKoDeviceNotFound = "Specified device not found (%s).";
inline constexpr const char* sKoCantOpenDevice = "Can't open specified device %s";
inline constexpr const char* sKoErrorTail = " (Error %d, %s)";
inline constexpr const char* sKoWriteDCB = "Error writing dcb (%d), %s";
inline constexpr const char* sKoInitBuffers = "Error initializing buffers (%d), %s";
inline constexpr const char* sKoSetTimeouts = "Error setting timeouts (%d), %s";
inline constexpr const char* sKoSetEventMask = " Error setting EventMask (%d), %s";
inline constexpr const char* sKoOutputFull = "Output buffer is full. Please check comm status.";
inline constexpr const char* sKoReadError = "Read error (%d), %s";
inline constexpr const char* sKoWriteError = "Write error (%d), %s";
inline constexpr const char* sKoStatistics = "Error retrieving statistics (%d), %s";

// Line-event bits of the event word, one per TKoCommEvent member.
inline constexpr std::uint32_t KO_EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t KO_EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t KO_EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t KO_EV_CTS = 0x0008;
inline constexpr std::uint32_t KO_EV_DSR = 0x0010;
inline constexpr std::uint32_t KO_EV_RLSD = 0x0020;
inline constexpr std::uint32_t KO_EV_BREAK = 0x0040;
inline constexpr std::uint32_t KO_EV_ERR = 0x0080;
inline constexpr std::uint32_t KO_EV_RING = 0x0100;
inline constexpr std::uint32_t KO_EV_PERR = 0x0200;
inline constexpr std::uint32_t KO_EV_RX80FULL = 0x0400;
inline constexpr std::uint32_t KO_EV_EVENT1 = 0x0800;
inline constexpr std::uint32_t KO_EV_EVENT2 = 0x1000;

// Mask of each TKoCommEvent member, in enumeration order.
inline constexpr std::uint32_t KoCommEventMasks[] = {
    KO_EV_BREAK,   KO_EV_CTS,    KO_EV_DSR,  KO_EV_ERR,      KO_EV_RING,   KO_EV_RLSD,  KO_EV_RXCHAR,
    KO_EV_TXEMPTY, KO_EV_RXFLAG, KO_EV_PERR, KO_EV_RX80FULL, KO_EV_EVENT1, KO_EV_EVENT2};

// Line-error bits of the error word that QueryStatus gives.
inline constexpr int KO_CE_RXOVER = 0x0001;    // input queue overflow
inline constexpr int KO_CE_OVERRUN = 0x0002;   // character lost by the hardware
inline constexpr int KO_CE_RXPARITY = 0x0004;  // parity error
inline constexpr int KO_CE_FRAME = 0x0008;     // framing error
inline constexpr int KO_CE_BREAK = 0x0010;     // break received
inline constexpr int KO_CE_IOE = 0x0400;       // the device failed or went away

// Bits per second of each TKoBaudrate member; brUser takes UserBaudrate instead.
inline constexpr int KoBaudrates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                      14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
