// The reply recogniser fed the same text in one arrival and split at points the input chooses:
// what the exchange learns (complete, failed, listing headers, boxes, the reply text left behind)
// must not depend on where the line broke the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rules/Reply.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

struct TFed {
  std::string Buffer;
  bool Complete = false;
  bool Failed = false;
  bool TooLong = false;
  int Headers = 0;
  std::vector<std::string> Boxes;
  bool operator==(const TFed&) const = default;
};

TFed Feed(const std::vector<std::string>& Arrivals) {
  TFed fed;
  TReplyScan scan;
  for (const auto& arrival : Arrivals) {
    const auto out = RecogniseArrival(fed.Buffer, scan, arrival);
    fed.Complete = fed.Complete || out.Complete;
    fed.Failed = fed.Failed || out.Failed;
    fed.TooLong = fed.TooLong || out.TooLong;
    fed.Headers += out.Headers;
    fed.Boxes.insert(fed.Boxes.end(), out.Boxes.begin(), out.Boxes.end());
    Check(out.Headers >= 0);
  }
  return fed;
}

}  // namespace

// The first byte seeds the split points; the rest is the text from the phone.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  std::uint32_t seed = Data[0] | 1u;
  const std::string text(reinterpret_cast<const char*>(Data) + 1, Size - 1);

  const TFed whole = Feed({text});
  Check(whole.Buffer.size() <= text.size());

  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size();) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t length = 1 + (seed >> 16) % 7;
    pieces.push_back(text.substr(at, length));
    at += length;
  }
  Check(Feed(pieces) == whole);

  std::vector<std::string> bytes;
  for (char c : text) bytes.emplace_back(1, c);
  Check(Feed(bytes) == whole);
  return 0;
}
