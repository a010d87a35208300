// The reply recogniser fed the same text in one arrival and split at points the input chooses:
// what the exchange learns (complete, failed, listing headers, boxes, the reply text left behind)
// must not depend on where the line broke the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rules/Reply.h"
#include "tests/rules/ReplyFeed.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

std::vector<std::string> Pieces(const std::string& Text, std::uint32_t Seed) {
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < Text.size();) {
    Seed = Seed * 1103515245u + 12345u;
    const std::size_t length = 1 + (Seed >> 16) % 7;
    pieces.push_back(Text.substr(at, length));
    at += length;
  }
  return pieces;
}

std::vector<std::string> Bytes(const std::string& Text) {
  std::vector<std::string> bytes;
  for (char c : Text) bytes.emplace_back(1, c);
  return bytes;
}

// The text up to the byte that ends the exchange when it arrives byte by byte: a phone sends
// nothing after its final result, and a text with two final results in one arrival shows the
// boxes of both, which no split of the line can repeat.
std::string UpToTheEnd(const std::string& Text) {
  std::string buffer;
  TReplyScan scan;
  for (std::size_t at = 0; at < Text.size(); ++at)
    if (RecogniseArrival(buffer, scan, Text.substr(at, 1)).Complete) return Text.substr(0, at + 1);
  return Text;
}

}  // namespace

// The first byte seeds the split points; the rest is the text from the phone.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  const std::string arrived(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  Check(Feed({arrived}).Buffer.size() <= arrived.size());

  const std::string text = UpToTheEnd(arrived);
  const TFed whole = Feed({text});
  Check(whole.Headers >= 0);
  Check(Feed(Pieces(text, Data[0] | 1u)) == whole);
  Check(Feed(Bytes(text)) == whole);
  return 0;
}
