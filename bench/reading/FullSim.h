// A full SIM for the reading benchmarks: messages of 160 characters of plain GSM text, different
// for every message, in every status.
#pragma once

#include <string>

#include "emulator/SimPhone.h"
#include "tests/support/PackedText.h"

inline std::string Text160(int N) {
  std::string Text = "Message " + std::to_string(N) + ": ";
  static const std::string Filler = "the quick brown fox jumps over the lazy dog 0123456789 ";
  while (Text.size() < 160) Text += Filler[Text.size() % Filler.size()];
  return Text.substr(0, 160);
}

// Received messages (status 0 and 1) are SMS-DELIVER, stored ones (2 and 3) SMS-SUBMIT.
inline std::string FullSimPDU(int Status, int N) {
  const std::string SCA = "0791947101670000";
  const std::string UD = "A0" + PackSeptets(Text160(N));
  if (Status < 2) return SCA + "040C91947111325476" + "0000" + "42305141035040" + UD;
  return SCA + "1100" + "0C91947111325476" + "0000" + "AD" + UD;
}

// Count messages in locations 1 to Count of a memory of 255, the status going round 1, 2, 3, 0.
inline TSimCard FullSim(int Count) {
  TSimCard Sim;
  Sim.MemoryTotal = 255;
  for (int N = 1; N <= Count; ++N) {
    TSimMessage Message;
    Message.Status = N % 4;
    Message.PDU = FullSimPDU(Message.Status, N);
    Sim.Messages[N] = Message;
  }
  return Sim;
}
