#include "engine/SMSEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace SMSEngine;

namespace {

// "48656C" -> the bytes 48 65 6C; lets tables write GSM strings and code page 1252 text as hex.
std::string Bytes(const std::string& Hex) {
  std::string Out;
  for (std::size_t I = 0; I + 1 < Hex.size(); I += 2)
    Out += static_cast<char>(std::stoi(Hex.substr(I, 2), nullptr, 16));
  return Out;
}

std::string AsHex(const std::string& S) {
  static const char* const Digits = "0123456789ABCDEF";
  std::string Out;
  for (const unsigned char Ch : S) {
    Out += Digits[Ch >> 4];
    Out += Digits[Ch & 15];
  }
  return Out;
}

TDateTime At(int Y, int M, int D, int H = 0, int N = 0, int S = 0) {
  return EncodeDate(Y, M, D) + EncodeTime(H, N, S, 0);
}

// Seconds apart, for comparing date-time values built along different roads.
bool SameTime(TDateTime A, TDateTime B) { return std::fabs(A - B) * 86400.0 < 0.001; }

TDateTime FixedNow = 0;
std::vector<std::string> Reported;

// A fixed clock (15 January 2026, noon) and a reporter that records the refusals instead of
// writing them out.
class SMSEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FixedNow = At(2026, 1, 15, 12, 0, 0);
    Reported.clear();
    SetClock([] { return FixedNow; });
    SetErrorReporter([](const std::string& Text) { Reported.push_back(Text); });
  }
  void TearDown() override {
    SetClock(nullptr);
    SetErrorReporter(nullptr);
  }
  std::string LastReport() const { return Reported.empty() ? std::string() : Reported.back(); }
};

using TSubmit = TSubmitFields;

bool DecodeSubmit(const std::string& PDU, TMessageList& M) {
  return DecodeSubmitPDU(PDU, M.SCA, M.SRR, M.VPF, M.RD, M.MR, M.DA, M.Flash, M.VPRelative, M.VPAbsolute, M.VPTZ, M.UD);
}

bool DecodeDeliver(const std::string& PDU, TMessageList& M) {
  return DecodeDeliverPDU(PDU, M.SCA, M.OA, M.Flash, M.SCTS, M.UD);
}

const char* const ErrIncomplete = "ERROR: Message is incomplete.";
const char* const ErrUDH = "ERROR: Messages with user data header not supported.";
const char* const ErrType = "ERROR: Message type not supported.";
const char* const ErrDCS = "ERROR: Message data coding scheme not supported.";

// ---------------------------------------------------------------- alphabet

TEST(Alphabet, TextToGSM) {
  const struct {
    std::string Text, GSM;
  } Exact[] = {
      {"hello", "68656C6C6F"},
      {Bytes("615B6280"), "611B3C621B65"},
      {Bytes("5E7B7D5C5B7E5D7C80"), "1B141B281B291B2F1B3C1B3D1B3E1B401B65"},
      {"@$_", "000211"},
      {Bytes("A1A3A4A5A7BF"), "400124035F60"},
      {Bytes("C4C5C6C7C9D1D6D8DCDF"), "5B0E1C091F5D5C0B5E1E"},
      {Bytes("E0E4E5E6E7E8E9ECF1F2F6F8F9FC"), "7F7B0F1D090405077D087C0C067E"},
      {Bytes("C7E7"), "0909"},
      {Bytes("C0C1C2C3C8CACBCCCDCECFD2D3D4D5D9DADBDD"),
       "4141414145454549494949"
       "4F4F4F4F55555559"},
      {Bytes("E1E2E3EAEBEDEEEFF3F4F5FAFBFDFF"),
       "6161616565696969"
       "6F6F6F75757979"},
      {"\r\n", "0D0A"},
      {"\x1B", "1B"},
      {Bytes("0009607F81A0A2A6A8BED0D7DEF0F7FE"), "20202020202020202020202020202020"},
  };
  for (const auto& C : Exact) EXPECT_EQ(AsHex(TextToGSM(C.Text)), C.GSM) << AsHex(C.Text);
}

TEST(Alphabet, GSMToText) {
  const struct {
    std::string GSM, Text;
  } Cases[] = {
      {"68656C6C6F", "hello"},
      {"611B3C621B65", Bytes("615B6280")},
      {"1B141B281B291B2F1B3C1B3D1B3E1B401B65", Bytes("5E7B7D5C5B7E5D7C80")},
      {"0A", "\r\n"},    // a lone LF becomes a line break
      {"0D0A", "\r\n"},  // a CR LF pair stays one line break
      {"0D0D0A0A", "\r\r\n\r\n"},
      {"09", Bytes("C7")},
      {"10121314151617181920", "          "},  // Greek capitals, seen as spaces
      {"1B41", "A"},                           // an unknown extension shows its default character
      {"1B0A", "\r\n"},
      {"1B1B", " "},
      {"411B", "A"},  // ESC at the very end gives nothing
      {"1B", ""},
      {"C1", "A"},  // bit 7 is not part of a septet
  };
  for (const auto& C : Cases) EXPECT_EQ(AsHex(GSMToText(Bytes(C.GSM))), AsHex(C.Text)) << C.GSM;
}

// Every code of the default alphabet that code page 1252 can show comes back to itself; this
// cross-checks the two tables against each other.
TEST(Alphabet, TablesAgree) {
  for (int Code = 0; Code < 128; ++Code) {
    if (Code == 0x0A || Code == 0x1B || Code == 0x10 || (Code >= 0x12 && Code <= 0x1A)) continue;
    const std::string GSM(1, static_cast<char>(Code));
    EXPECT_EQ(AsHex(TextToGSM(GSMToText(GSM))), AsHex(GSM));
  }
}

TEST(Alphabet, CountSeptetsMatchesConversion) {
  for (int Ch = 0; Ch < 256; ++Ch) {
    const std::string Text(1, static_cast<char>(Ch));
    EXPECT_EQ(CountSeptets(Text), static_cast<int>(TextToGSM(Text).size())) << Ch;
  }
  EXPECT_EQ(CountSeptets(""), 0);
  EXPECT_EQ(CountSeptets(Bytes("615B6280")), 6);
  EXPECT_EQ(CountSeptets("line\r\nbreak"), 11);
}

// ---------------------------------------------------------------- hex and bit strings

TEST(HexAndBits, ByteToHexAndBack) {
  EXPECT_EQ(ByteToHex(0), "00");
  EXPECT_EQ(ByteToHex(173), "AD");
  EXPECT_EQ(ByteToHex(255), "FF");
  EXPECT_EQ(ByteToHex(256 + 5), "05");  // outside 0..255: modulo 256
  EXPECT_EQ(ByteToHex(-1), "FF");
  for (int V = 0; V < 256; ++V) EXPECT_EQ(HexToByte(ByteToHex(V)), V);
}

TEST(HexAndBits, HexToByteCountsUnknownCharactersAsMinusOne) {
  const struct {
    std::string S;
    int Value;
  } Cases[] = {
      {"AD", 173}, {"ADxx", 173}, {"0a", -1}, {"a0", -16}, {"1a", 15}, {"", -17}, {"A", 159},
  };
  for (const auto& C : Cases) EXPECT_EQ(HexToByte(C.S), C.Value) << C.S;
}

TEST(HexAndBits, BitStrings) {
  EXPECT_EQ(HexToBin("A5"), "10100101");
  EXPECT_EQ(HexToBin("A-5\r"), "10100101");  // anything but an uppercase hex digit is skipped
  EXPECT_EQ(HexToBin("a5"), "0101");
  EXPECT_EQ(BinToHex("10100101"), "A5");
  EXPECT_EQ(BinToHex("1010010111"), "A5");  // incomplete group dropped
  EXPECT_EQ(SeptetsToBin("A"), "1000001");
  EXPECT_EQ(SeptetsToBin("\xC1"), "1000001");
  EXPECT_EQ(BinToSeptets("100000110000"), "A");
  EXPECT_EQ(ReverseBlocks("123456", 2), "214365");
  EXPECT_EQ(ReverseBlocks("1234567", 2), "214365");
  EXPECT_EQ(ReverseBlocks("abcdef", 3), "cbafed");
  EXPECT_EQ(ReverseBlocks("abc", 0), "abc");
  EXPECT_EQ(ReverseBlocks("", 7), "");
}

// ---------------------------------------------------------------- date and integer conversion

TEST(DateTime, EncodeAndDecode) {
  const struct {
    int Y, M, D;
    double Value;
  } Dates[] = {
      {1899, 12, 30, 0},    {1900, 1, 1, 2},    {2000, 1, 1, 36526},
      {2024, 2, 29, 45351}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465},
  };
  int Y, M, D, H, N, S, MS;
  for (const auto& C : Dates) {
    EXPECT_EQ(EncodeDate(C.Y, C.M, C.D), C.Value);
    DecodeDateTime(C.Value, Y, M, D, H, N, S, MS);
    EXPECT_EQ(std::vector<int>({Y, M, D, H, N, S, MS}), std::vector<int>({C.Y, C.M, C.D, 0, 0, 0, 0}));
  }
  DecodeDateTime(36526.75 + 1.5 / 86400, Y, M, D, H, N, S, MS);
  EXPECT_EQ(std::vector<int>({Y, M, D, H, N, S, MS}), std::vector<int>({2000, 1, 1, 18, 0, 1, 500}));
  DecodeDateTime(-1.25, Y, M, D, H, N, S, MS);  // before 1899 the fraction still counts forward
  EXPECT_EQ(std::vector<int>({Y, M, D, H}), std::vector<int>({1899, 12, 29, 6}));
  DecodeDateTime(0.9999999999, Y, M, D, H, N, S, MS);  // rounds up into the next day
  EXPECT_EQ(std::vector<int>({Y, M, D, H, N, S, MS}), std::vector<int>({1899, 12, 31, 0, 0, 0, 0}));
  EXPECT_EQ(EncodeTime(14, 30, 0, 0), 14.5 / 24);
}

TEST(DateTime, ConversionErrors) {
  auto Message = [](auto Call) -> std::string {
    try {
      Call();
    } catch (const EConvertError& E) {
      return E.what();
    }
    return "no error";
  };
  const std::string DateError = "Invalid argument to date encode", TimeError = "Invalid argument to time encode";
  EXPECT_EQ(Message([] { EncodeDate(2023, 2, 29); }), DateError);
  EXPECT_EQ(Message([] { EncodeDate(2026, 13, 1); }), DateError);
  EXPECT_EQ(Message([] { EncodeDate(2026, 4, 31); }), DateError);
  EXPECT_EQ(Message([] { EncodeDate(0, 1, 1); }), DateError);
  EXPECT_EQ(Message([] { EncodeDate(2026, 1, 0); }), DateError);
  EXPECT_EQ(Message([] { EncodeTime(24, 0, 0, 0); }), TimeError);
  EXPECT_EQ(Message([] { EncodeTime(0, 60, 0, 0); }), TimeError);
  EXPECT_EQ(Message([] { EncodeTime(0, 0, 60, 0); }), TimeError);
  EXPECT_EQ(Message([] { EncodeTime(0, 0, -1, 0); }), TimeError);
  EXPECT_EQ(Message([] {
              int Y, M, D, H, N, S, MS;
              DecodeDateTime(std::nan(""), Y, M, D, H, N, S, MS);
            }),
            DateError);
  EXPECT_EQ(Message([] { StrToInt("1A"); }), "'1A' is not a valid integer value");
  EXPECT_EQ(Message([] { StrToInt(""); }), "'' is not a valid integer value");
  EXPECT_EQ(Message([] { StrToInt("-"); }), "'-' is not a valid integer value");
  EXPECT_EQ(Message([] { StrToInt("2147483648"); }), "'2147483648' is not a valid integer value");
  EXPECT_EQ(StrToInt("07"), 7);
  EXPECT_EQ(StrToInt("-4"), -4);
  EXPECT_EQ(StrToInt("+4"), 4);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
}

// ---------------------------------------------------------------- encoder

TEST_F(SMSEngineTest, EncoderWorkedExamples) {
  const TDateTime End = At(2030, 3, 15, 14, 30, 0);
  const struct {
    TSubmit In;
    std::string PDU;
    int Length;
  } Cases[] = {
      {{"+4912345678", false, 0, false, 0, "12345", false, 0, 0, 0, "hellohello"},
       "06919421436587010005812143F500000AE8329BFD4697D9EC37",
       19},
      {{"", false, 2, false, 0, "+4912345678", false, 173, 0, 0, "Hello"},
       "0011000A9194214365870000AD05C8329BFD06",
       18},
      {{"+4912345678", true, 3, true, 7, "0123456789", true, 0, End, -4, "Hi\r\n"},
       "069194214365873D070A81103254769800100330514103004802C834",
       21},
      // Zone +12 is written as plain binary 0C, swapped; -48 as 128 + 48 = B0, swapped.
      {{"", false, 3, false, 0, "1", false, 0, End, 12, ""}, "0019000181F10000033051410300C000", 15},
      {{"", false, 3, false, 0, "1", false, 0, End, -48, ""}, "0019000181F100000330514103000B00", 15},
      {{"", false, 0, false, 255, "1", false, 0, 0, 0, ""}, "0001FF0181F1000000", 8},  // empty text
      {{"+", false, 0, false, 0, "", false, 0, 0, 0, "@"},
       "0001000081000001"
       "00",
       8},  // "+" SCA, empty DA
      {{"", false, 0, false, 0, "+", false, 0, 0, 0, ""},
       "00010000910000"
       "00",
       7},
      // Only the last line break goes; one inside the text stays.
      {{"", false, 0, false, 0, "1", false, 0, 0, 0, "a\r\nb\r\n\r\n"}, "0001000181F1000006E18642DC5000", 14},
      {{"", false, 0, false, 0, "1", false, 0, 0, 0, Bytes("615B6280")}, "0001000181F1000006E10D4FBC2903", 14},
      {{"", false, 0, false, 0, "1", false, 0, 0, 0, "1234567"}, "0001000181F100000731D98C56B3DD00", 15},
      {{"", false, 0, false, 0, "1", false, 0, 0, 0, "@"}, "0001000181F100000100", 9},
  };
  for (const auto& C : Cases) {
    int Length = -1;
    std::string PDU;
    ASSERT_TRUE(EncodeSubmitPDU(C.In, Length, PDU)) << C.PDU;
    EXPECT_EQ(PDU, C.PDU);
    EXPECT_EQ(Length, C.Length) << C.PDU;
  }
  EXPECT_TRUE(Reported.empty());
}

TEST_F(SMSEngineTest, EncoderFirstOctet) {
  // Rows: VPF 0, 2, 3; columns: no flag, RD, SRR, both.
  const char* const Expected[3][4] = {{"01", "05", "21", "25"}, {"11", "15", "31", "35"}, {"19", "1D", "39", "3D"}};
  const int Formats[3] = {0, 2, 3};
  for (int F = 0; F < 3; ++F)
    for (int Flags = 0; Flags < 4; ++Flags) {
      TSubmit M{"", (Flags & 2) != 0, Formats[F], (Flags & 1) != 0, 0, "1", false, 0, At(2030, 1, 1), 0, "x"};
      int Length;
      std::string PDU;
      ASSERT_TRUE(EncodeSubmitPDU(M, Length, PDU));
      EXPECT_EQ(PDU.substr(2, 2), Expected[F][Flags]) << F << " " << Flags;
    }
}

TEST_F(SMSEngineTest, EncoderLengthLimit) {
  const struct {
    std::string Text;
    bool Accepted;
  } Cases[] = {
      {std::string(160, 'a'), true},
      {std::string(255, 'a'), true},
      {std::string(255, 'a') + "\r\n", true},  // the trailing line break is not sent
      {std::string(256, 'a'), false},
      {std::string(254, 'a') + "[", false},  // the extension character takes two septets
  };
  for (const auto& C : Cases) {
    Reported.clear();
    int Length = 42;
    std::string PDU = "unchanged";
    TSubmit M{"", false, 0, false, 0, "1", false, 0, 0, 0, C.Text};
    ASSERT_EQ(EncodeSubmitPDU(M, Length, PDU), C.Accepted) << C.Text.size();
    if (C.Accepted) {
      const int Septets = CountSeptets(C.Text.substr(0, 255));
      EXPECT_EQ(PDU.substr(16, 2), ByteToHex(Septets));
      EXPECT_EQ(PDU.size(), 18 + 2 * static_cast<std::size_t>((7 * Septets + 7) / 8));
      EXPECT_TRUE(Reported.empty());
    } else {
      EXPECT_EQ(PDU, "unchanged");
      EXPECT_EQ(Length, 42);
      EXPECT_EQ(Reported, std::vector<std::string>{"ERROR: Message text too long."});
    }
  }
}

TEST_F(SMSEngineTest, EncoderRefusesValidityInThePast) {
  int Length = 42;
  std::string PDU = "unchanged";
  TSubmit M{"", false, 3, false, 0, "1", false, 0, FixedNow - 1.0 / 86400, 0, "x"};
  EXPECT_FALSE(EncodeSubmitPDU(M, Length, PDU));
  EXPECT_EQ(PDU, "unchanged");
  EXPECT_EQ(Length, 42);
  EXPECT_EQ(Reported, std::vector<std::string>{"ERROR: Validity ends in the past."});

  Reported.clear();
  M.VPAbsolute = FixedNow;  // ending right now is still allowed
  EXPECT_TRUE(EncodeSubmitPDU(M, Length, PDU));
  M.VPF = 2;  // the date only matters for the absolute format
  M.VPAbsolute = 0;
  EXPECT_TRUE(EncodeSubmitPDU(M, Length, PDU));
  EXPECT_TRUE(Reported.empty());
}

// ---------------------------------------------------------------- decoders

TEST_F(SMSEngineTest, SubmitWorkedExamples) {
  TMessageList M;
  ASSERT_TRUE(DecodeSubmit("069194214365873D070A81103254769800100330514103004802C834", M));
  EXPECT_EQ(M.SCA, "+4912345678");
  EXPECT_TRUE(M.SRR);
  EXPECT_TRUE(M.RD);
  EXPECT_EQ(M.VPF, 3);
  EXPECT_EQ(M.MR, 7);
  EXPECT_EQ(M.DA, "0123456789");
  EXPECT_TRUE(M.Flash);
  EXPECT_TRUE(SameTime(M.VPAbsolute, At(2030, 3, 15, 14, 30, 0)));
  EXPECT_EQ(M.VPTZ, -4);
  EXPECT_EQ(M.UD, "Hi");

  // Without any SCA field, and with the empty one ("00") that phones list for stored messages.
  for (const std::string PDU : {"11000A9194214365870000AD05C8329BFD06", "0011000A9194214365870000AD05C8329BFD06"}) {
    TMessageList N;
    ASSERT_TRUE(DecodeSubmit(PDU, N)) << PDU;
    EXPECT_EQ(N.SCA, "<Not present>");
    EXPECT_EQ(N.VPF, 2);
    EXPECT_EQ(N.VPRelative, 173);
    EXPECT_EQ(N.DA, "+4912345678");
    EXPECT_EQ(N.UD, "Hello");
  }
  EXPECT_TRUE(Reported.empty());
}

TEST_F(SMSEngineTest, SubmitFromPhones) {
  TMessageList M;
  // An empty SCA field and an absolute validity period.
  ASSERT_TRUE(DecodeSubmit("0019000B914316565811F900000170520251930004E8373B0C", M));
  EXPECT_EQ(M.SCA, "<Not present>");
  EXPECT_EQ(M.DA, "+34616585119");
  EXPECT_EQ(M.VPF, 3);
  EXPECT_TRUE(SameTime(M.VPAbsolute, At(2010, 7, 25, 20, 15, 39)));
  EXPECT_EQ(M.VPTZ, 0);
  EXPECT_EQ(M.UD, "hola");

  // Status report requested, reply path (not read), relative validity.
  M = {};
  ASSERT_TRUE(DecodeSubmit("0791361907001003B17A0C913619397750320000AD11CD701E340FB3C3F23CC81D0689C3BF", M));
  EXPECT_EQ(M.SCA, "+639170000130");
  EXPECT_TRUE(M.SRR);
  EXPECT_FALSE(M.RD);
  EXPECT_EQ(M.MR, 0x7A);
  EXPECT_EQ(M.DA, "+639193770523");
  EXPECT_EQ(M.VPRelative, 0xAD);
  EXPECT_EQ(M.UD.size(), 17u);

  // A destination with no digits at all.
  M = {};
  ASSERT_TRUE(
      DecodeSubmit("07918406010013F0310000810000FF21B19A8E1603C9642F18EE05C38140201008049AEBC7FAF29C9DBEE75D20", M));
  EXPECT_EQ(M.DA, "");
  EXPECT_EQ(M.UD.size(), 33u);

  // Class 1 counts as an ordinary message.
  M = {};
  ASSERT_TRUE(DecodeSubmit("07919761989901F031000B919761084218F200F1FF04D4F29C0E", M));
  EXPECT_FALSE(M.Flash);
  EXPECT_EQ(M.DA, "+79168024812");
  EXPECT_EQ(M.UD, "Test");
  EXPECT_TRUE(Reported.empty());
}

TEST_F(SMSEngineTest, SubmitEnhancedValidityIsSkipped) {
  TMessageList M;
  ASSERT_TRUE(DecodeSubmit("00090005812143F500004200000000000005C8329BFD06", M));
  EXPECT_EQ(M.VPF, 1);
  EXPECT_EQ(M.DA, "12345");
  EXPECT_EQ(M.UD, "Hello");
}

TEST_F(SMSEngineTest, SubmitTimeZones) {
  const struct {
    std::string Zone;
    int VPTZ;
  } Cases[] = {
      {"00", 0}, {"48", -4}, {"03", 48}, {"0B", -48}, {"C0", 12}, {"C8", -12},
  };
  for (const auto& C : Cases) {
    TMessageList M;
    ASSERT_TRUE(DecodeSubmit("0019000181F10000033051410300" + C.Zone + "00", M)) << C.Zone;
    EXPECT_EQ(M.VPTZ, C.VPTZ) << C.Zone;
  }
}

TEST_F(SMSEngineTest, DeliverFromPhones) {
  struct TCase {
    std::string PDU, SCA, OA;
    bool Flash;
    TDateTime SCTS;
    std::string UD;
  };
  const TCase Cases[] = {
      {"0791534850020200040C9153486507895500006090608164138004D4F29C0E", "+358405202000", "+358456709855", false,
       At(2006, 9, 6, 18, 46, 31), "Test"},
      // Odd digit count, a type of address other than 91, a year 99.
      {"07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", "+27381000015", "27838890001", false,
       At(1999, 3, 29, 15, 16, 59), "hellohello"},
      {"0791449737019037040C9144970710112800008010101041240000", "+447973100973", "+447970011182", false,
       At(2008, 1, 1, 1, 14, 42), ""},
      // Senders with names: the address is GSM text.
      {"0791447758100650040DD0F334FC1CA6970100008080312170224008D4F29CDE0EA7D9", "+447785016005", "sipgate", false,
       At(2008, 8, 13, 12, 7, 22), "Testmail"},
      {"07918361050090400406D06DFA1C00001111102083228034CBB73C3D77A7D7A0715A9D06A9CB20B1FCAD06C16CB5DA0C0693D9702"
       "07519047FBBDFF63788FC9ED3EBF0B0DB05",
       "+381650000904", "mts", false, At(2011, 11, 1, 2, 38, 22), ""},
      {"07914487200030230406D04F59040000601191806243009F4F990E947DD741EEF71D840EDBCBA0FCBB2E0751CB783A28E8CED3D"
       "3ED3268068381AA4B10BD8CA7CF412650AC2904BDCD2072981E06D1DFA0FABC0CA2A3D373509B8E7681A4E576B92D2ECB41F4378"
       "8FE86B7EA7010280603BDE5A0F65B5E0689CBE6B7BC0C8ADD6232980D447F83CE653A28FFAECB416679B90C0AB3D9EF7BD83D2E8"
       "3DC653C1DD4A6A301",
       "+447802000332", "O2_", false, At(2006, 11, 19, 8, 26, 34), ""},
      // The same text with and without a service centre address.
      {"040C9153486507895500006090608164138004D4F29C0E", "", "+358456709855", false, At(2006, 9, 6, 18, 46, 31),
       "Test"},
      {"00040C9153486507895500006090608164138004D4F29C0E", "", "+358456709855", false, At(2006, 9, 6, 18, 46, 31),
       "Test"},
  };
  for (const auto& C : Cases) {
    TMessageList M;
    ASSERT_TRUE(DecodeDeliver(C.PDU, M)) << C.PDU;
    EXPECT_EQ(M.SCA, C.SCA) << C.PDU;
    EXPECT_EQ(M.OA, C.OA) << C.PDU;
    EXPECT_EQ(M.Flash, C.Flash) << C.PDU;
    EXPECT_TRUE(SameTime(M.SCTS, C.SCTS)) << C.PDU;
    if (!C.UD.empty()) {
      EXPECT_EQ(M.UD, C.UD) << C.PDU;
    }
  }
  EXPECT_TRUE(Reported.empty());
}

// The first DELIVER capture above with another data coding scheme or first octet.
const std::string DeliverHead = "0791534850020200";
const std::string DeliverOA = "0C91534865078955";
const std::string DeliverTail = "6090608164138004D4F29C0E";

TEST_F(SMSEngineTest, DeliverCodingSchemes) {
  const struct {
    std::string DCS;
    bool Accepted, Flash;
  } Cases[] = {
      {"00", true, false},  {"10", true, true},   {"11", true, false},  {"F0", true, true},   {"F1", true, false},
      {"08", false, false}, {"04", false, false}, {"F4", false, false}, {"01", false, false},
  };
  for (const auto& C : Cases) {
    Reported.clear();
    TMessageList M;
    EXPECT_EQ(DecodeDeliver(DeliverHead + "04" + DeliverOA + "00" + C.DCS + DeliverTail, M), C.Accepted) << C.DCS;
    if (C.Accepted) {
      EXPECT_EQ(M.Flash, C.Flash) << C.DCS;
      EXPECT_EQ(M.UD, "Test");
    } else {
      EXPECT_EQ(Reported, std::vector<std::string>{ErrDCS}) << C.DCS;
    }
  }
}

TEST_F(SMSEngineTest, RefusalsComeInTheirOrder) {
  const struct {
    std::string FirstOctet, DCS, Error;
  } Cases[] = {
      {"44", "00", ErrUDH},  {"44", "08", ErrUDH},   // header first, even with an unsupported coding scheme
      {"46", "08", ErrUDH},  {"06", "08", ErrType},  // then the message type
      {"07", "00", ErrType}, {"01", "08", ErrDCS},   // a SUBMIT read as DELIVER passes the type check
  };
  for (const auto& C : Cases) {
    Reported.clear();
    TMessageList M;
    EXPECT_FALSE(DecodeDeliver(DeliverHead + C.FirstOctet + DeliverOA + "00" + C.DCS + DeliverTail, M));
    EXPECT_EQ(Reported, std::vector<std::string>{C.Error}) << C.FirstOctet << " " << C.DCS;
  }
  const struct {
    std::string PDU, Error;
  } Submits[] = {
      {"0051000181F1000000", ErrUDH},
      {"0002000181F1000000", ErrType},
      {"0001000181F1000800", ErrDCS},
  };
  for (const auto& C : Submits) {
    Reported.clear();
    TMessageList M;
    EXPECT_FALSE(DecodeSubmit(C.PDU, M)) << C.PDU;
    EXPECT_EQ(Reported, std::vector<std::string>{C.Error}) << C.PDU;
  }
}

TEST_F(SMSEngineTest, TwoDigitYears) {
  const struct {
    int CurrentYear;
    std::string YY;
    int Year;
  } Cases[] = {
      {2026, "99", 1999},
      {2026, "05", 2005},
      {2026, "75", 2075},
      {2026, "76", 1976},
      {2026, "00", 2000},
      {1990, "39", 2039},
      {1990, "40", 1940},
      // The window moves on with the clock past the middle of the century.
      {2060, "50", 2050},
      {2060, "10", 2010},
      {2060, "09", 2109},
  };
  for (const auto& C : Cases) {
    FixedNow = At(C.CurrentYear, 6, 1);
    TMessageList M;
    const std::string Stamp = std::string{C.YY[1], C.YY[0]} + "103020121300";
    ASSERT_TRUE(DecodeDeliver("00040381214300F0" + Stamp + "00", M)) << C.YY;
    EXPECT_TRUE(SameTime(M.SCTS, At(C.Year, 1, 3, 2, 21, 31))) << C.CurrentYear << " " << C.YY;
  }
}

TEST_F(SMSEngineTest, BadTimeStampsRaiseConversionErrors) {
  // Stamps written unswapped here (YYMMDDhhmmss + zone) and swapped for the PDU.
  const struct {
    std::string Plain, Error;
  } Stamps[] = {
      {"26011512A000", "'A0' is not a valid integer value"},
      {"2601151200 1", "' 1' is not a valid integer value"},
      {"261301120000", "Invalid argument to date encode"},
      {"260230120000", "Invalid argument to date encode"},
      {"260100120000", "Invalid argument to date encode"},
      {"260115240000", "Invalid argument to time encode"},
      {"260115126000", "Invalid argument to time encode"},
      {"261301240000", "Invalid argument to time encode"},  // the time is read before the date
  };
  for (const auto& C : Stamps) {
    const std::string Swapped = ReverseBlocks(C.Plain + "00", 2);
    TMessageList M;
    try {
      DecodeDeliver("00040381214300F0" + Swapped + "00", M);
      ADD_FAILURE() << C.Plain << ": no error";
    } catch (const EConvertError& E) {
      EXPECT_EQ(E.what(), C.Error) << C.Plain;
    }
    try {
      DecodeSubmit("0019000181F10000" + Swapped + "00", M);
      ADD_FAILURE() << C.Plain << ": no error";
    } catch (const EConvertError& E) {
      EXPECT_EQ(E.what(), C.Error) << C.Plain;
    }
  }
  EXPECT_TRUE(Reported.empty());  // conversion errors are the caller's to show
}

TEST(VPRelative, Texts) {
  const struct {
    int VP;
    const char* Text;
  } Cases[] = {
      {0, "00 hours 05 minutes"},
      {11, "01 hours 00 minutes"},
      {143, "12 hours 00 minutes"},
      {144, "12 hours 30 minutes"},
      {167, "24 hours 00 minutes"},
      {168, "02 days"},
      {173, "07 days"},
      {196, "30 days"},
      {197, "05 weeks"},
      {255, "63 weeks"},
  };
  for (const auto& C : Cases) EXPECT_EQ(VPRelativeToText(C.VP), C.Text) << C.VP;
}

// ---------------------------------------------------------------- round trips

TEST_F(SMSEngineTest, EncoderThroughSubmitDecoder) {
  const TDateTime End = At(2031, 12, 31, 23, 59, 59);
  const std::string Long(160, 'x');
  const TSubmit Cases[] = {
      {"+4912345678", false, 0, false, 0, "12345", false, 0, 0, 0, "hellohello"},
      {"+4912345678", true, 3, true, 7, "0123456789", true, 0, At(2030, 3, 15, 14, 30, 0), -4, "Hi\r\n"},
      {"", false, 2, false, 0, "+4912345678", false, 173, 0, 0, "Hello"},
      {"0049123", true, 2, false, 255, "+123", false, 0, 0, 0, "line one\r\nline two"},
      {"+1", false, 3, true, 128, "1", false, 0, End, 48, Bytes("5E7B7D5C5B7E5D7C80") + " @$_"},
      {"+1", false, 3, false, 1, "9", true, 0, End, -48,
       Bytes("A3A5E8E9F9ECF2C7D8F8C5E5C6E6DFC9A1C4D6D1DCA7BFE4F6F1FCE0")},
      {"+491", false, 3, false, 2, "99", false, 0, End, 0, Long},
      {"+491", false, 0, false, 3, "99", false, 0, 0, 0, std::string(255, 'y')},
      {"+491", false, 0, false, 4, "99", false, 0, 0, 0, ""},
      {"+491", false, 1, false, 5, "99", false, 0, 0, 0, "enhanced"},
  };
  for (const auto& In : Cases) {
    int Length;
    std::string PDU;
    ASSERT_TRUE(EncodeSubmitPDU(In, Length, PDU)) << In.UD;
    TMessageList Out;
    ASSERT_TRUE(DecodeSubmit(PDU, Out)) << PDU;
    EXPECT_EQ(Out.SCA, In.SCA.empty() ? "<Not present>" : In.SCA) << PDU;
    EXPECT_EQ(Out.SRR, In.SRR) << PDU;
    EXPECT_EQ(Out.VPF, In.VPF) << PDU;
    EXPECT_EQ(Out.RD, In.RD) << PDU;
    EXPECT_EQ(Out.MR, In.MR) << PDU;
    EXPECT_EQ(Out.DA, In.DA) << PDU;
    EXPECT_EQ(Out.Flash, In.Flash) << PDU;
    if (In.VPF == 2) {
      EXPECT_EQ(Out.VPRelative, In.VPRelative) << PDU;
    }
    if (In.VPF == 3) {
      EXPECT_TRUE(SameTime(Out.VPAbsolute, In.VPAbsolute)) << PDU;
      EXPECT_EQ(Out.VPTZ, In.VPTZ) << PDU;
    }
    const bool TrailingBreak = In.UD.size() >= 2 && In.UD.substr(In.UD.size() - 2) == "\r\n";
    EXPECT_EQ(AsHex(Out.UD), AsHex(TrailingBreak ? In.UD.substr(0, In.UD.size() - 2) : In.UD)) << PDU;
    EXPECT_EQ(static_cast<std::size_t>(Length) * 2 + (In.SCA.empty() ? 2 : 0),
              PDU.size() - (In.SCA.empty() ? 0 : 2 + 2 * static_cast<std::size_t>(HexToByte(PDU.substr(0, 2)))));
  }
  EXPECT_TRUE(Reported.empty());
}

// Every length of user data, so that each fill-bit count is crossed.
TEST_F(SMSEngineTest, PackingRoundTripsAtEveryLength) {
  std::string Text;
  for (int N = 1; N <= 40; ++N) {
    Text += static_cast<char>('A' + N % 26);
    int Length;
    std::string PDU;
    ASSERT_TRUE(EncodeSubmitPDU({"", false, 0, false, 0, "1", false, 0, 0, 0, Text}, Length, PDU));
    EXPECT_EQ(PDU.size() - 18, 2 * static_cast<std::size_t>((7 * N + 7) / 8));
    TMessageList M;
    ASSERT_TRUE(DecodeSubmit(PDU, M));
    EXPECT_EQ(M.UD, Text);
  }
}

// ---------------------------------------------------------------- malformed input

// Every prefix of valid PDUs: refused as incomplete, refused for another reason, or decoded from
// what is there; never a read past the end (AddressSanitizer watches).
TEST_F(SMSEngineTest, EveryPrefixIsSafe) {
  const std::vector<std::string> Delivers = {
      "0791534850020200040C9153486507895500006090608164138004D4F29C0E",
      "0791447758100650040DD0F334FC1CA6970100008080312170224008D4F29CDE0EA7D9",
      "00040C9153486507895500006090608164138004D4F29C0E",
  };
  const std::vector<std::string> Submits = {
      "069194214365873D070A81103254769800100330514103004802C834",
      "0011000A9194214365870000AD05C8329BFD06",
      "00090005812143F500004200000000000005C8329BFD06",
  };
  auto Check = [this](const std::string& Prefix, bool Decoded) {
    if (!Decoded) {
      ASSERT_FALSE(Reported.empty()) << Prefix;
      const std::string Last = LastReport();
      EXPECT_TRUE(Last == ErrIncomplete || Last == ErrUDH || Last == ErrType || Last == ErrDCS) << Prefix;
    }
  };
  for (const auto& PDU : Delivers)
    for (std::size_t N = 0; N <= PDU.size(); ++N) {
      TMessageList M;
      const std::string Prefix = PDU.substr(0, N);
      try {
        Check(Prefix, DecodeDeliver(Prefix, M));
      } catch (const EConvertError&) {}
    }
  for (const auto& PDU : Submits)
    for (std::size_t N = 0; N <= PDU.size(); ++N) {
      TMessageList M;
      const std::string Prefix = PDU.substr(0, N);
      try {
        Check(Prefix, DecodeSubmit(Prefix, M));
      } catch (const EConvertError&) {}
    }
}

TEST_F(SMSEngineTest, ShortFieldsAreIncompleteShortTextIsDecoded) {
  const std::string Full = "06919421436587010005812143F500000AE8329BFD4697D9EC37";
  const struct {
    std::size_t Cut;
    bool Decoded;
    std::string UD;
  } Cases[] = {
      {10, false, ""},                       // inside the SCA field
      {17, false, ""},                       // inside the destination address
      {30, false, ""},                       // the coding scheme is missing
      {32, false, ""},                       // the user data length is missing
      {34, true, ""},                        // no user data octets at all
      {38, true, "he"},                      // two octets: two whole septets
      {Full.size() - 2, true, "hellohell"},  // eight octets: nine septets
      {Full.size() - 1, true, "hellohell"},  // an odd digit left over
  };
  for (const auto& C : Cases) {
    Reported.clear();
    TMessageList M;
    EXPECT_EQ(DecodeSubmit(Full.substr(0, C.Cut), M), C.Decoded) << C.Cut;
    if (C.Decoded) {
      EXPECT_EQ(M.UD, C.UD) << C.Cut;
      EXPECT_TRUE(Reported.empty());
    } else {
      EXPECT_EQ(Reported, std::vector<std::string>{ErrIncomplete}) << C.Cut;
    }
  }
  // Time stamps are fixed fields too.
  TMessageList M;
  EXPECT_FALSE(DecodeDeliver("00040381214300F0601090", M));
  EXPECT_FALSE(DecodeSubmit("0019000181F100000330514103", M));
  EXPECT_FALSE(DecodeSubmit("0011000181F10000", M));
  EXPECT_EQ(LastReport(), ErrIncomplete);
}

TEST_F(SMSEngineTest, CharactersThatAreNotHexDigits) {
  TMessageList M;
  // A line end left on the PDU text does not disturb the text.
  ASSERT_TRUE(DecodeDeliver("0791534850020200040C9153486507895500006090608164138004D4F29C0E\r", M));
  EXPECT_EQ(M.UD, "Test");
  // Lowercase digits in the user data are skipped, so less text comes out; nothing is invented.
  M = {};
  ASSERT_TRUE(DecodeDeliver("0791534850020200040C9153486507895500006090608164138004d4F29C0E", M));
  EXPECT_LT(M.UD.size(), 4u);
  // A user data length that is no number counts as none.
  M = {};
  ASSERT_TRUE(DecodeSubmit("0001000181F10000zzD4F29C0E", M));
  EXPECT_EQ(M.UD, "");
  // An address length octet of 00 gives an empty address.
  M = {};
  ASSERT_TRUE(
      DecodeDeliver("00040091000060906081641380"
                    "04D4F29C0E",
                    M));
  EXPECT_EQ(M.OA, "");
  EXPECT_EQ(M.UD, "Test");
}

// ---------------------------------------------------------------- hooks

TEST(Hooks, DefaultsReportToStandardErrorAndReadTheSystemClock) {
  SetErrorReporter(nullptr);
  SetClock(nullptr);
  testing::internal::CaptureStderr();
  TMessageList M;
  EXPECT_FALSE(DecodeSubmit("0002000181F1000000", M));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(ErrType) + "\n");
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
  EXPECT_LT(Now(), EncodeDate(2200, 1, 1));
}

}  // namespace
