// The phone's command interpreter without the line: bytes in, echo and replies out. TSimPhone
// feeds it from the pty and paces what it returns.
#pragma once

#include <string>
#include <vector>

#include "emulator/SimPhone.h"

struct TPhoneOutput {
  std::string Bytes;
  bool IsReply = false;  // false: the echo of received bytes
};

class TPhoneCore {
 public:
  TPhoneCore(TSimCard sim, TPhoneOptions options);

  // Feeds received bytes; returns what the phone sends back, in order.
  std::vector<TPhoneOutput> Feed(const std::string& bytes);

  TSimCard Sim;
  TPhoneOptions Options;
  std::vector<std::string> Outbox;
  std::vector<std::string> PendingUnsolicited;
  std::vector<std::string> Notes;  // events worth a line in the log (a sent PDU)
  bool StreamDue = false;          // a command asked for the stream of --stream; the line sends it

  // Forgets a half-received command line or PDU: the client that sent it has gone.
  void DropPartialInput();

  bool EchoOn() const { return FEcho; }
  int Cmee() const { return FCmee; }
  std::string Charset() const { return FCharset; }
  void SetOptions(const TPhoneOptions& options);

 private:
  enum class TResult { Ok, Error, Cme, Cms, Prompt, Custom, None };
  struct TOutcome {
    TResult Result = TResult::Ok;
    int Code = 0;
    std::string Text;  // Custom: the final result as given
  };

  bool LineDone(std::string& reply);  // false: the line gets no answer
  std::string PduDone();
  std::string FinalText(const TOutcome& outcome) const;
  std::string Assemble(std::vector<std::vector<std::string>>& info, const TOutcome& outcome);
  TOutcome Execute(const std::string& cmd, std::vector<std::string>& info);
  TOutcome ExecuteBasic(const std::string& cmd, std::vector<std::string>& info);
  TOutcome ExecuteExtended(const std::string& name, const std::string& suffix, std::vector<std::string>& info);
  TOutcome Messages(const std::string& name, const std::string& suffix, std::vector<std::string>& info);
  TOutcome Phonebook(const std::string& name, const std::string& suffix, std::vector<std::string>& info);
  std::string EncodeName(const std::string& utf8) const;
  void ResetProfile();

  std::string FLine;
  bool FInPdu = false;
  bool FPduIsSend = false;
  int FPduLength = 0;
  int FPduStatus = 2;
  std::string FPdu;
  bool FEcho = true;
  int FCmee = 1;
  int FCreg = 0;
  int FCfun = 1;
  std::string FCharset = "GSM";
  int FReference = 0;
};

// Helpers shared with the SIM file reader.
bool IsHexText(const std::string& s);
std::string UpperCase(std::string s);
// Octets after the service centre field of a PDU that starts with one; -1 when it cannot.
int TPDULengthOf(const std::string& pduHex);
// Whether a PDU (service centre field first) holds a whole SMS-SUBMIT or SMS-DELIVER and nothing
// after it, with user data a message can carry: at most 160 septets, or 140 octets of 8-bit data
// or UCS2. Other message types are taken as they are.
bool TPDUIsWhole(const std::string& pduHex);
std::vector<char32_t> DecodeUtf8(const std::string& s, bool* ok = nullptr);
