// Feeds the reply recogniser a series of arrivals, as the window does, and sums up what they
// meant: for the recogniser's tests and its fuzzer.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "rules/Reply.h"

struct TFed {
  std::string Buffer;
  bool Complete = false;
  bool Failed = false;
  int Headers = 0;
  std::vector<std::string> Boxes;
  bool TooLong = false;
  bool operator==(const TFed&) const = default;
};

inline std::ostream& operator<<(std::ostream& Out, const TFed& F) {
  Out << "{buffer \"";
  for (char c : F.Buffer) Out << (c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c));
  Out << "\", complete " << F.Complete << ", failed " << F.Failed << ", headers " << F.Headers << ", boxes [";
  for (const auto& b : F.Boxes) Out << "\"" << b << "\" ";
  return Out << "], too long " << F.TooLong << "}";
}

inline TFed Feed(const std::vector<std::string>& Arrivals) {
  TFed fed;
  TReplyScan scan;
  for (const auto& arrival : Arrivals) {
    const auto out = RecogniseArrival(fed.Buffer, scan, arrival);
    fed.Complete = fed.Complete || out.Complete;
    fed.Failed = fed.Failed || out.Failed;
    fed.TooLong = fed.TooLong || out.TooLong;
    fed.Headers += out.Headers;
    fed.Boxes.insert(fed.Boxes.end(), out.Boxes.begin(), out.Boxes.end());
  }
  return fed;
}
