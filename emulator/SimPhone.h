// A simulated phone on a pseudo-terminal: it answers AT commands in PDU mode from a SIM held in
// memory, framed exactly as a phone frames its replies on a serial line. Tests run it in-process;
// the program pelmo-phone serves it to other programs.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/SMSEngine.h"

// One stored short message. PDU is upper-case hex exactly as the phone lists it: with its service
// centre field, or (HasSCA false) without it, for the phones that list the bare TPDU.
struct TSimMessage {
  int Status = SMSEngine::StatusReceivedUnread;
  std::string PDU;
  bool HasSCA = true;
  bool Hidden = false;     // a used location that the listing leaves out (a status report)
  int TPDULength() const;  // octets after the service centre field
};

struct TSimPhonebookEntry {
  std::string Number;
  int Type = SMSEngine::TypeOfAddressUnknown;
  std::string Name;  // UTF-8
};

// The SIM card and the phone's identity. Locations count from 1.
struct TSimCard {
  std::string Serial = "350077801234567";
  std::string SCA;  // empty: no service centre address stored
  int SCAType = SMSEngine::TypeOfAddressInternational;
  int MemoryTotal = 30;
  std::map<int, TSimMessage> Messages;
  int PhonebookTotal = 250;
  std::map<int, TSimPhonebookEntry> Phonebook;

  int MessagesUsed() const { return static_cast<int>(Messages.size()); }
  int LowestFreeLocation() const;   // 0 when the memory is full
  int HighestFreeLocation() const;  // 0 when the memory is full
};

// A SIM text that cannot be served; Line() is the 1-based line of the fault (0: the file itself).
class ESimFileError : public std::runtime_error {
 public:
  ESimFileError(int line, const std::string& what);
  int Line() const { return FLine; }

 private:
  int FLine;
};

// The phone could not be started (pty, symbolic link) or was used wrongly.
class ESimPhoneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// SIM text: UTF-8, one entry per line, '#' comments and blank lines ignored:
//   serial 350077801234567 | sca +491710760000 145 | memory 30 | sms LOC STAT PDU [TPDULEN]
//   hidden LOC | pbsize 250 | pb LOC NUMBER TYPE NAME...
TSimCard ParseSimText(const std::string& text);  // throws ESimFileError
TSimCard LoadSimFile(const std::string& path);   // throws ESimFileError
std::string SimToText(const TSimCard& sim);
void SaveSimFile(const TSimCard& sim, const std::string& path);  // throws ESimPhoneError

const std::string& DemoSimText();  // the demo SIM, the same text as emulator/demo.sim
TSimCard DemoSim();

// Behaviour of the phone, one field per option of pelmo-phone.
struct TPhoneOptions {
  bool Echo = true;     // --echo 0|1
  int Cmee = 1;         // --cmee 0|1|2
  int Baud = 0;         // --baud N: pace output at N baud, 8N1 (0: unpaced)
  int Chunk = 0;        // --chunk N: replies in arrivals of N bytes (0: whole)
  int GapMs = 0;        // --gap MS between those arrivals
  int DelayMs = 0;      // --delay MS before each reply
  bool Silent = false;  // --silent: never answers, not even the echo
  // CMD is a prefix, any case, of the command line or of one command on it with "AT" in front.
  std::vector<std::string> Mute;                          // --mute CMD: echo only, no reply
  std::vector<std::pair<std::string, std::string>> Fail;  // --fail CMD=TEXT: TEXT is the result
  long HangupAfter = -1;                                  // --hangup-after N: close after N bytes sent (-1: never)
  // --unsolicited TEXT: each goes into the next reply of two or more information lines, as a line
  // of its own after the first half of them ("\r\n" TEXT "\r\n").
  std::vector<std::string> Unsolicited;
  // --log FILE: a line per read or write, "HH:MM:SS.mmm in |out |--- " and the bytes with
  // \r, \n, \\ and \xHH escapes ("---": the line hung up, or a PDU was sent).
  std::string LogFile;
  std::string LinkPath;       // --link PATH: symbolic link to the device (empty: none)
  bool StoreHighest = false;  // --store-highest: AT+CMGW fills the highest free location
  bool NoNumbers = false;     // --no-numbers: "+CMGS:" and "+CMGW:" without the number

  // Phone book quirks.
  int PhonebookUsed = -1;   // --pb-used N: the used count AT+CPBS? tells (-1: the entries held)
  int PhonebookTotal = -1;  // --pb-total N: the total AT+CPBS? tells (0: none; -1: the SIM's)
  int PhonebookFailAt = 0;  // --pb-fail-at N: AT+CPBR=N answers +CME ERROR: 100 (0: none)

  // A phone that misbehaves on purpose.
  long ClaimUsed = -1;      // --claim-used N: the memory status claims N used messages
                            // (-1: as many as the SIM holds)
  std::string Flood;        // --flood LINE: sends "\r\n" LINE "\r\n" every FloodMs while a
  int FloodMs = 10;         // client has the line open (--flood-ms MS), between replies
  std::string Stream;       // --stream CMD: answers commands starting with CMD with StreamBytes
  long StreamBytes = 0;     // characters of text (--stream-bytes N), a line break after every
  int StreamLine = 0;       // StreamLine of them (--stream-line N, 0: none), then the final
  std::string StreamFinal;  // result StreamFinal (--stream-final TEXT, empty: none)
};

// The longest PDU (service centre field included) a SIM file entry holds; the phone stores none
// longer.
constexpr int MaxStoredPduOctets = 176;

class TPhoneCore;

class TSimPhone {
 public:
  explicit TSimPhone(TSimCard sim = DemoSim(), TPhoneOptions options = {});
  ~TSimPhone();  // stops the phone
  TSimPhone(const TSimPhone&) = delete;
  TSimPhone& operator=(const TSimPhone&) = delete;

  // Creates the pty (raw mode, already open on the phone's side), the link if asked, and starts
  // answering on a thread of its own. Throws ESimPhoneError.
  void Start();
  // Stops answering, closes the pty and removes the link. Safe to call twice.
  void Stop();
  bool Running() const;

  std::string DevicePath() const;  // /dev/pts/N, valid after Start
  TSimCard Sim() const;            // a snapshot of the SIM as it is now
  void SetSim(TSimCard sim);
  TPhoneOptions Options() const;
  void SetOptions(const TPhoneOptions& options);   // takes effect from the next command
  void QueueUnsolicited(const std::string& line);  // into the next long reply
  std::vector<std::string> Outbox() const;         // PDUs sent with AT+CMGS, in order
  std::size_t BytesSent() const;                   // echo and replies, since Start
  bool HungUp() const;                             // --hangup-after closed the line

 private:
  void Run();
  bool WriteOut(const std::string& bytes, bool isReply);
  bool WaitMs(int ms);  // false when stopping
  // Takes the device's open and close events; true while no client has the device open. Output
  // sent while nobody had it open is thrown away.
  bool NoClient();
  void WriteStream(const TPhoneOptions& options);
  void LogBytes(const char* direction, const std::string& bytes);
  void CloseDescriptors();

  mutable std::mutex FLock;  // guards everything in FCore: SIM, options, outbox
  std::unique_ptr<TPhoneCore> FCore;
  std::string FDevicePath;
  int FMaster = -1;
  int FSlave = -1;  // held open so that the client may close and reopen the device
  int FWake[2] = {-1, -1};
  int FNotify = -1;  // inotify on the device: tells when a client opens or closes it
  int FClients = 0;  // clients that have the device open (the phone's own descriptor not counted)
  // The last wait ended with every opening and closing of the device counted: a slice that follows
  // need not ask again.
  bool FClientsKnown = false;
  std::thread FThread;
  std::atomic<bool> FStopping{false};
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FHungUp{false};
  std::atomic<std::size_t> FBytesSent{0};
  std::string FLinkPath;
  int FLogFd = -1;
};
