// The codec's byte-level packing and field reading against the bit-string pipeline that defines
// them (tests/engine/ReferenceCodec.h): worked examples, real phones' PDUs, every prefix and
// every one-character change of them, and generated PDUs and encoder inputs.
#include "engine/SMSEngine.h"
#include "tests/engine/Differential.h"
#include "tests/engine/Variations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace SMSEngine;
using Differential::CompareDecoders;
using Differential::CompareEncoders;

namespace {

TDateTime FixedNow = 0;

class Differential : public ::testing::Test {
 protected:
  void SetUp() override {
    FixedNow = EncodeDate(2026, 1, 15) + EncodeTime(12, 0, 0, 0);
    SetClock([] { return FixedNow; });
    SetErrorReporter(::Differential::Record);
  }
  void TearDown() override {
    SetClock(nullptr);
    SetErrorReporter(nullptr);
  }
};

const std::vector<std::string> WorkedExamples = {
    "06919421436587010005812143F500000AE8329BFD4697D9EC37",           "0011000A9194214365870000AD05C8329BFD06",
    "069194214365873D070A81103254769800100330514103004802C834",       "11000A9194214365870000AD05C8329BFD06",
    "0791534850020200040C9153486507895500006090608164138004D4F29C0E",
};

// The PDUs of real phones kept in data/pdus.tsv (id, kind, PDU).
std::vector<std::string> RealPDUs() {
  std::ifstream File(PELMO_ENGINE_TEST_DATA "/pdus.tsv");
  std::vector<std::string> PDUs;
  for (std::string Line; std::getline(File, Line);) {
    if (Line.empty() || Line[0] == '#') continue;
    std::istringstream Row(Line);
    std::string Id, Kind, PDU;
    std::getline(Row, Id, '\t');
    std::getline(Row, Kind, '\t');
    std::getline(Row, PDU, '\t');
    PDUs.push_back(PDU);
  }
  return PDUs;
}

TEST_F(Differential, RealAndWorkedPDUsWithEveryPrefixAndChange) {
  std::vector<std::string> PDUs = RealPDUs();
  ASSERT_GT(PDUs.size(), 200u) << "data/pdus.tsv not read";
  PDUs.insert(PDUs.end(), WorkedExamples.begin(), WorkedExamples.end());
  std::string Differences;
  ForEachVariation(PDUs, [&Differences](const std::string& PDU) {
    if (Differences.size() < 4000) Differences += CompareDecoders(PDU);  // enough to see the fault
  });
  EXPECT_TRUE(Differences.empty()) << Differences;
}

// A PDU of random fields, mostly well formed, so that the decoders get past each field often.
std::string RandomPDU(std::mt19937& Random) {
  auto Pick = [&Random](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
  auto HexOf = [&](int Chars, const char* Alphabet = "0123456789ABCDEF") {
    std::string S;
    const int Size = static_cast<int>(std::char_traits<char>::length(Alphabet));
    for (int I = 0; I < Chars; ++I) S += Alphabet[Pick(Size)];
    return S;
  };
  auto Octet = [](int V) {
    const char* D = "0123456789ABCDEF";
    return std::string{D[(V >> 4) & 15], D[V & 15]};
  };
  std::string PDU;
  switch (Pick(4)) {  // SCA field
    case 0:
      PDU += "00";
      break;
    case 1:
      break;
    default: {
      const int N = Pick(8);
      PDU += Octet(N) + (Pick(2) ? "91" : "81") + HexOf(2 * N - 2 > 0 ? 2 * N - 2 : 0, "0123456789F");
    }
  }
  const int FirstOctets[] = {0x00, 0x01, 0x04, 0x11, 0x19, 0x09, 0x31, 0x3D, 0x24, 0x40, 0x02, 0x03};
  const int FirstOctet = Pick(5) ? FirstOctets[Pick(12)] : Pick(256);
  PDU += Octet(FirstOctet);
  if (FirstOctet & 1) PDU += HexOf(2);  // message reference
  const int Digits = Pick(22);
  const std::string Types[] = {"81", "91", "D0", "A1", "50", "5G"};
  PDU += Octet(Digits) + Types[Pick(6)] + HexOf(Digits + Digits % 2, Pick(3) ? "0123456789F" : "0123456789ABCDEF");
  const std::string Schemes[] = {"00", "10", "11", "F0", "F1", "08", "04", "F2"};
  PDU += HexOf(2) + Schemes[Pick(8)];
  // A time stamp: digits in swapped order, now and then a character that is no digit.
  std::string Stamp;
  for (int I = 0; I < 7; ++I) {
    const int Limits[] = {100, 13, 32, 24, 60, 60, 100};
    const int V = Pick(6) ? Pick(Limits[I] + 1) : Pick(100);
    Stamp += static_cast<char>('0' + V % 10);
    Stamp += static_cast<char>('0' + V / 10 % 10);
  }
  if (Pick(8) == 0) Stamp[static_cast<std::size_t>(Pick(14))] = "+-A "[Pick(4)];
  if (!(FirstOctet & 1) || ((FirstOctet >> 3) & 3) != 0) PDU += ((FirstOctet >> 3) & 3) == 2 ? HexOf(2) : Stamp;
  const int Septets = Pick(4) ? Pick(161) : Pick(256);
  PDU += Octet(Septets);
  int Chars = (7 * Septets + 7) / 8 * 2;
  if (Pick(3) == 0) Chars += Pick(9) - 4;  // short or long user data, odd digit counts
  PDU += HexOf(Chars > 0 ? Chars : 0, Pick(10) ? "0123456789ABCDEF" : "0123456789ABCDEFabc\r\n ");
  if (Pick(6) == 0) PDU.resize(static_cast<std::size_t>(Pick(static_cast<int>(PDU.size()) + 1)));
  return PDU;
}

TEST_F(Differential, GeneratedPDUs) {
  std::mt19937 Random(20261210);
  std::string Differences;
  for (int I = 0; I < 10000 && Differences.size() < 4000; ++I) Differences += CompareDecoders(RandomPDU(Random));
  EXPECT_TRUE(Differences.empty()) << Differences;
}

TEST_F(Differential, EncoderWorkedExamplesAndGeneratedInput) {
  std::vector<SMSEngine::TSubmitFields> Inputs = {
      {"+4912345678", false, 0, false, 0, "12345", false, 0, 0, 0, "hellohello"},
      {"", false, 2, false, 0, "+4912345678", false, 173, 0, 0, "Hello"},
      {"+4912345678", true, 3, true, 7, "0123456789", true, 0, EncodeDate(2030, 3, 15) + EncodeTime(14, 30, 0, 0), -4,
       "Hi\r\n"},
      {"+", false, 1, false, -1, "+", false, 0, 0, 0, ""},
      {"+49", false, 3, false, 256, "", false, 0, FixedNow - 1, 0, "too late"},
      {"+49", false, 3, false, 0, "1", false, 0, std::numeric_limits<double>::quiet_NaN(), 0, "no date"},
      {"+49", false, 2, false, 0, "1", false, 0, 0, 0, std::string(256, 'x')},
      {"+49", false, 2, false, 0, "1", false, 0, 0, 0, std::string(128, '[')},
  };
  std::mt19937 Random(1210);
  auto Pick = [&Random](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
  auto Any = [&](int Size, bool Digits) {
    std::string S;
    for (int I = 0; I < Size; ++I)
      S += Digits && Pick(8) ? static_cast<char>('0' + Pick(10)) : static_cast<char>(Pick(256));
    return S;
  };
  for (int I = 0; I < 5000; ++I) {
    SMSEngine::TSubmitFields M;
    M.SCA = (Pick(2) ? "+" : "") + Any(Pick(14), true);
    M.DA = (Pick(2) ? "+" : "") + Any(Pick(24), true);
    M.SRR = Pick(2);
    M.RD = Pick(2);
    M.Flash = Pick(2);
    M.VPF = Pick(7) - 1;
    M.MR = Pick(3) ? Pick(256) : static_cast<int>(Random());
    M.VPRelative = Pick(3) ? Pick(256) : static_cast<int>(Random());
    M.VPTZ = Pick(3) ? Pick(97) - 48 : static_cast<int>(Random());
    M.VPAbsolute = FixedNow + (Pick(4) ? Pick(4000) : -Pick(40000)) + Pick(86400) / 86400.0;
    M.UD = Any(Pick(4) ? Pick(170) : Pick(300), false) + (Pick(3) ? "" : "\r\n");
    Inputs.push_back(M);
  }
  std::string Differences;
  for (const SMSEngine::TSubmitFields& M : Inputs) {
    Differences += CompareEncoders(M);
    if (Differences.size() > 4000) break;
  }
  EXPECT_TRUE(Differences.empty()) << Differences;
}

// The reading of the codec must not depend on whether the PDU text is shared with an output.
TEST_F(Differential, EncoderWritesIntoItsOwnInput) {
  int Length = 0, ReferenceLength = 0;
  std::string Text = "Hello", Expected;
  ReferenceCodec::EncodeSubmitPDU("+49", false, 0, false, 0, "123", false, 0, 0, 0, "Hello", ReferenceLength, Expected);
  ASSERT_TRUE(EncodeSubmitPDU("+49", false, 0, false, 0, "123", false, 0, 0, 0, Text, Length, Text));
  EXPECT_EQ(Text, Expected);
  EXPECT_EQ(Length, ReferenceLength);
}

}  // namespace
