// The operating-system layer of the channel: every system call of the channel goes through
// these functions, so that another system needs only another KoOS implementation. Each
// function returning bool or a handle reports failure with KoOSLastError() set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/KoClasses.h"
#include "link/KoTypes.h"

// Error code of the last failed call of this layer on this thread.
int KoOSLastError();
// The code a missing device gives.
bool KoOSIsNotFound(int Code);
// The code a device that has gone away (hung up, unplugged) gives.
bool KoOSIsGone(int Code);
// The system's message text for an error code (trailing blanks and full stops may follow).
std::string KoOSErrorText(int Code);

// The device that a port name ("COM4", as DeviceName formats it) stands for.
std::string KoOSDeviceForName(const std::string& Name);
// The serial ports the program offers, in the order shown. A port number given here resolves
// through KoOSDeviceForName("COMn") for as long as the program runs.
std::vector<TKoPortEntry> KoOSListPorts();

// Opens a serial device for reading and writing, exclusively, without blocking.
TKoHandle KoOSOpenDevice(const std::string& Path);
void KoOSCloseDevice(TKoHandle Device);
// Applies line settings (speed, framing, flow control, special characters, DTR and RTS).
bool KoOSSetLineSettings(TKoHandle Device, const TKoLineSettings& Settings);
// Sizes the driver's queues where the system allows it.
bool KoOSSetupQueues(TKoHandle Device, int InSize, int OutSize);
// Makes a read return at once with the bytes that have arrived; writes get no time-out.
bool KoOSSetTimeouts(TKoHandle Device);
// Gives and clears the line errors that came since the device was opened or last asked, and
// gives the queue counts.
bool KoOSClearCommError(TKoHandle Device, TKoCommStatus& Status);
// The bytes that have arrived and wait to be read, or -1 on failure. Line errors are kept for
// the next KoOSClearCommError.
int KoOSBytesWaiting(TKoHandle Device);
// The receive queue that the system keeps for a device whose queues were set up with ReadSize.
int KoOSReceiveQueue(int ReadSize);
// Reads or writes what can be moved at once: the byte count, 0 when nothing could be moved
// now (KoOSLastError() is then 0), or -1 on failure.
int KoOSRead(TKoHandle Device, void* Buffer, int Count);
int KoOSWrite(TKoHandle Device, const void* Data, int Count);

// Signals: manual-reset, initially clear.
TKoHandle KoOSCreateSignal(bool InitialState);
void KoOSCloseSignal(TKoHandle Signal);
bool KoOSSetSignal(TKoHandle Signal);
bool KoOSResetSignal(TKoHandle Signal);
// Waits for one of Count signals (and, when Device is valid, for the device being writable,
// reported as Index == Count).
TKoWaitResult KoOSWaitFor(const TKoHandle* Signals, int Count, TKoHandle WritableDevice, std::uint32_t Timeout,
                          int& Index);

// Line-event watching: a watch over a device for the line events of Mask (KO_EV_ bits) and a
// stop signal. KoOSWaitCommEvent waits up to Timeout milliseconds (KO_INFINITE: no limit) for the
// next line events or the signal; Events receives event bits (KO_EV_RXCHAR when new bytes
// arrived, KO_EV_ERR when the device hung up or failed, and the other events of Mask that the
// system reports); Hangup tells that the device has gone. Returns wrSignaled for events,
// wrAbandoned when the stop signal was set, wrTimeout when nothing came in time (the watch goes on
// with the next call), wrError on failure.
TKoHandle KoOSCreateWatch(TKoHandle Device, std::uint32_t Mask, TKoHandle StopSignal);
void KoOSCloseWatch(TKoHandle Watch);
TKoWaitResult KoOSWaitCommEvent(TKoHandle Watch, std::uint32_t Timeout, std::uint32_t& Events, bool& Hangup);

// Thread priorities: the calling thread's system id, and applying a priority to a thread.
long KoOSCurrentThreadId();
bool KoOSSetThreadPriority(long ThreadId, TKoThreadPriority Priority);

std::uint32_t KoOSTickCount();
