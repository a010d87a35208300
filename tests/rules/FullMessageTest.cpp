// The fuller reading of a listed PDU, the joining of long messages and the Android backup file, as
// tables at the pure functions.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/SMSEngine.h"
#include "rules/AndroidBackup.h"
#include "rules/FullMessage.h"

namespace {

using SMSEngine::TMessageList;

const std::string SCA = "07919471016700F0";       // +49171076000
const std::string Sender = "0D91947116325476F8";  // +4917612345678
// 2026-12-11 14:03:07 at -3.75 h (the zone octet 59: sign bit, 1 ten, 5 units).
const std::string Stamp = "62211141307059";
constexpr std::int64_t StampMs = 1797011287000;  // 2026-12-11 17:48:07 UTC

// A DELIVER from Sender with the given data coding scheme and user data (length octet first).
std::string Deliver(const std::string& DCS, const std::string& UserData, bool Header = false) {
  return SCA + (Header ? "44" : "04") + Sender + "00" + DCS + Stamp + UserData;
}

// Parts 1 and 3 of three, GSM 7-bit behind an 8-bit reference A7 (one fill bit after the header);
// parts 1 and 2 of three in UCS2 behind the 16-bit reference 1234.
const std::string Part8Of3_1 = Deliver("00", "14050003A703018AF239BD2C0751CB69360B04", true);
const std::string Part8Of3_3 = Deliver("00", "14050003A70303C8F2349D5E9683A8E534DB05", true);
const std::string Part16Of3_1 = Deliver("08", "1506080412340301041F0435044004320430044F0020", true);
const std::string Part16Of3_2 = Deliver("08", "130608041234030204320442043E04400430044F", true);
// UCS2 with a character beyond the Basic Multilingual Plane: the viewer's codec refuses it.
const std::string UCS2Message = Deliver("08", "12041F044004380432043504420020D83DDC4D");
// A stored SUBMIT of the demo SIM: relative validity, no time stamp.
const std::string StoredSubmit =
    "0791947101670000112A0D91947116325476F80000AD1B4B7658CE02A5C76890589E769FCBA069981DA683DA697A08";
// An SMS-STATUS-REPORT: no message to read.
const std::string StatusReport = "07911614786007F006060B911634092142F4019071011000040190710110450400060000";

struct TDecodeRow {
  const char* Name;
  std::string PDU;
  bool Readable;
  TFullKind Kind;
  const char* Address;
  const char* Text;  // UTF-8
  bool Complete;
  TFullConcat Concat;
};

TEST(FullMessage, DecodesEveryCodingAndHeader) {
  const TDecodeRow Rows[] = {
      {"UCS2 with a surrogate pair",
       UCS2Message,
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F44D",
       true,
       {}},
      {"8-bit as code page 1252",
       Deliver("04", "08436166E920802035"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Caf\u00E9 \u20AC 5",
       true,
       {}},
      {"alphanumeric sender, extension table, XML's own characters",
       SCA + "0409D0D032BBFD060000" + Stamp + "10269E4F74026D501BDEA6BCF16D52",
       true,
       TFullKind::Deliver,
       "Pelmo",
       "&<>\"' {[\u20AC]}",
       true,
       {}},
      {"escape before a code without extension, twice, and at the end",
       Deliver("00", "069BE06613DC00"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "A A",
       true,
       {}},
      {"8-bit reference, fill bit after the header",
       Part8Of3_3,
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "dritter Teil.",
       true,
       {true, false, 0xA7, 3, 3}},
      {"16-bit reference, UCS2",
       Part16Of3_2,
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "\u0432\u0442\u043E\u0440\u0430\u044F",
       true,
       {true, true, 0x1234, 3, 2}},
      {"repeated concatenation element: the last counts",
       Deliver("04", "0C0A0003010201000302020241", true),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "A",
       true,
       {true, false, 2, 2, 2}},
      {"elements of another length are no concatenation",
       Deliver("04", "0D0B000401020304080301020341", true),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "A",
       true,
       {}},
      {"element running past the header is skipped",
       Deliver("04", "050200054142", true),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "AB",
       true,
       {}},
      {"header longer than the user data",
       Deliver("04", "0309004142", true),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "",
       false,
       {}},
      {"message waiting, discard (7-bit)",
       Deliver("C0", "04D4F29C0E"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Test",
       true,
       {}},
      {"message waiting, store (7-bit)",
       Deliver("D1", "04D4F29C0E"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Test",
       true,
       {}},
      {"message waiting, store (UCS2)",
       Deliver("E0", "0400540065"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Te",
       true,
       {}},
      {"class group, bit 2 set: 8-bit",
       Deliver("F4", "025465"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Te",
       true,
       {}},
      {"class group, bit 2 clear: 7-bit",
       Deliver("F1", "04D4F29C0E"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Test",
       true,
       {}},
      {"reserved group as 8-bit", Deliver("90", "025465"), true, TFullKind::Deliver, "+4917612345678", "Te", true, {}},
      {"reserved alphabet as 8-bit",
       Deliver("0C", "025465"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Te",
       true,
       {}},
      {"automatic deletion group, UCS2",
       Deliver("48", "0400540065"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Te",
       true,
       {}},
      {"UCS2: odd trailing octet ignored, lone surrogate replaced",
       Deliver("08", "050054D83D00"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "T\uFFFD",
       true,
       {}},
      {"user data shorter than announced",
       Deliver("00", "0AD4F29C"),
       true,
       TFullKind::Deliver,
       "+4917612345678",
       "Tes",
       false,
       {}},
      {"stored SUBMIT, relative validity",
       StoredSubmit,
       true,
       TFullKind::Submit,
       "+4917612345678",
       "Klar, ich bringe Salat mit!",
       true,
       {}},
      {"status report", StatusReport, false, TFullKind::None, "", "", false, {}},
      {"PDU ending in the address", SCA + "040D919471", false, TFullKind::Deliver, "", "", false, {}},
  };
  for (const TDecodeRow& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    const TFullMessage M = DecodeFullMessage(Row.PDU);
    EXPECT_EQ(M.Readable, Row.Readable);
    EXPECT_EQ(M.Kind, Row.Kind);
    EXPECT_EQ(ToUtf8(M.Address), Row.Address);
    EXPECT_EQ(ToUtf8(M.Text), Row.Text);
    EXPECT_EQ(M.Complete, Row.Complete);
    EXPECT_EQ(M.Concat.Present, Row.Concat.Present);
    EXPECT_EQ(M.Concat.SixteenBit, Row.Concat.SixteenBit);
    EXPECT_EQ(M.Concat.Reference, Row.Concat.Reference);
    EXPECT_EQ(M.Concat.Count, Row.Concat.Count);
    EXPECT_EQ(M.Concat.Number, Row.Concat.Number);
    if (Row.Readable) {
      EXPECT_EQ(ToUtf8(M.SCA), Row.PDU.starts_with(SCA) ? "+49171076000" : "+491710760000");
    }
  }
}

TEST(FullMessage, CompressedTextIsKeptAsHex) {
  const TFullMessage M = DecodeFullMessage(Deliver("24", "025465"));
  EXPECT_TRUE(M.Readable);
  EXPECT_TRUE(M.Compressed);
  EXPECT_TRUE(M.Text.empty());
  EXPECT_EQ(M.UserDataHex, "5465");
  EXPECT_EQ(ToUtf8(BodyText(M, "")), "(The text of this message is compressed and cannot be read.) User data: 5465");
}

struct TStampRow {
  std::string Stamp;
  bool Valid;
  TFullTimeStamp Expected;
  std::int64_t Ms;
};

TEST(FullMessage, TimeStampWithItsZone) {
  SMSEngine::SetClock([] { return SMSEngine::EncodeDate(2026, 12, 11); });
  const TStampRow Rows[] = {
      {Stamp, true, {2026, 12, 11, 14, 3, 7, -15}, StampMs},
      {"62211141307061", true, {2026, 12, 11, 14, 3, 7, 16}, 1796983387000},  // +4 h
      {"99211332959500", true, {1999, 12, 31, 23, 59, 59, 0}, 946684799000},
      {"40209290000000", true, {2004, 2, 29, 9, 0, 0, 0}, 1078045200000},  // a leap day
      {"50209290000000", false, {}, 0},                                    // 2005 has none
      {"62311141307000", false, {}, 0},                                    // month 13
      {"62211141307A00", false, {}, 0},                                    // no decimal digit
  };
  for (const TStampRow& Row : Rows) {
    SCOPED_TRACE(Row.Stamp);
    const TFullMessage M = DecodeFullMessage(SCA + "04" + Sender + "0000" + Row.Stamp + "00");
    EXPECT_TRUE(M.Readable);
    EXPECT_EQ(M.HasTimeStamp, Row.Valid);
    if (!Row.Valid) continue;
    const TFullTimeStamp& T = M.TimeStamp;
    EXPECT_EQ(std::vector<int>({T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second, T.ZoneQuarters}),
              std::vector<int>({Row.Expected.Year, Row.Expected.Month, Row.Expected.Day, Row.Expected.Hour,
                                Row.Expected.Minute, Row.Expected.Second, Row.Expected.ZoneQuarters}));
    EXPECT_EQ(TimeStampMs(T), Row.Ms);
  }
  SMSEngine::SetClock(nullptr);
}

// Broken input is read as far as it goes, never throws and never reports through the codec.
TEST(FullMessage, MalformedInputIsReadSafely) {
  std::vector<std::string> Reports;
  SMSEngine::SetErrorReporter([&](const std::string& Text) { Reports.push_back(Text); });
  std::vector<std::string> Inputs = {
      "",         "0",   "00",    "FF",       "0004",
      "00040DFF", "XYZ", "00 04", "0004FFD0", "0044" + Sender + "0000" + Stamp + "FFFF0102"};
  for (const std::string& PDU : {UCS2Message, Part8Of3_1, Part16Of3_2, StoredSubmit, StatusReport}) {
    for (std::size_t Size = 0; Size <= PDU.size(); ++Size) Inputs.push_back(PDU.substr(0, Size));
    std::string Lower = PDU;
    for (char& Ch : Lower) Ch = static_cast<char>(std::tolower(static_cast<unsigned char>(Ch)));
    EXPECT_EQ(DecodeFullMessage(Lower).Text, DecodeFullMessage(PDU).Text);
  }
  std::mt19937 Random(1211);
  for (int I = 0; I < 3000; ++I) {
    std::string S(Random() % 120, ' ');
    for (char& Ch : S) Ch = I % 3 ? "0123456789ABCDEF"[Random() % 16] : static_cast<char>(Random());
    Inputs.push_back(S);
  }
  std::vector<TMessageList> List;
  for (const std::string& PDU : Inputs) {
    const TFullMessage M = DecodeFullMessage(PDU);
    if (!M.Readable) {
      EXPECT_TRUE(M.Text.empty()) << PDU;
    }
    TMessageList Entry;
    Entry.PDU = PDU;
    Entry.Status = static_cast<int>(List.size() % 6) - 1;
    List.push_back(Entry);
  }
  const std::string Xml = AndroidBackupXml(List, 0, 0);
  for (const char Ch : Xml) EXPECT_TRUE(static_cast<unsigned char>(Ch) >= 0x20 || Ch == '\n');
  EXPECT_TRUE(Reports.empty());
  SMSEngine::SetErrorReporter(nullptr);
}

class Joining : public ::testing::Test {
 protected:
  void Add(const std::string& PDU, int Status = SMSEngine::StatusReceivedRead) {
    TMessageList Entry;
    Entry.Index = static_cast<int>(List.size()) + 1;
    Entry.Status = Status;
    Entry.PDU = PDU;
    List.push_back(Entry);
  }
  std::vector<std::string> Bodies() const {
    std::vector<std::string> Out;
    for (const TJoinedMessage& J : JoinMessages(List)) Out.push_back(ToUtf8(J.Body));
    return Out;
  }
  std::vector<TMessageList> List;
};

TEST_F(Joining, ThreePartsWithOneMissingAtTheLowestPartPresent) {
  const std::string Other = Deliver("04", "025465");
  Add(Part8Of3_3);
  Add(Other);
  Add("");  // the status reports' row
  Add(Part8Of3_1);
  Add(Part16Of3_2);
  Add(Part16Of3_1);
  const std::vector<TJoinedMessage> Joined = JoinMessages(List);
  ASSERT_EQ(Joined.size(), 3u);
  EXPECT_EQ(ToUtf8(Joined[0].Body), "Te");
  EXPECT_EQ(ToUtf8(Joined[1].Body), "Erster Teil, [\u2026]dritter Teil.");
  EXPECT_EQ(Joined[1].First, 3u);
  EXPECT_EQ(Joined[1].Parts, std::vector<std::size_t>({3, 0}));
  EXPECT_EQ(Joined[1].MissingParts, 1);
  EXPECT_EQ(ToUtf8(Joined[2].Body),
            "\u041F\u0435\u0440\u0432\u0430\u044F \u0432\u0442\u043E\u0440\u0430\u044F[\u2026]");
  EXPECT_EQ(Joined[2].First, 5u);
}

TEST_F(Joining, UnrelatedPartsAreNotMerged) {
  // The same reference from another sender, and as a SUBMIT.
  Add(Part8Of3_1);
  std::string OtherSender = Part8Of3_3;
  OtherSender.replace(SCA.size() + 2, Sender.size(), "0B919471123456F7");
  Add(OtherSender);
  std::string Sent = SCA + "51000D91947116325476F80000AD" + Part8Of3_3.substr(SCA.size() + 2 + Sender.size() + 18);
  Add(Sent, SMSEngine::StatusStoredSent);
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"Erster Teil, [\u2026][\u2026]", "[\u2026][\u2026]dritter Teil.",
                                                "[\u2026][\u2026]dritter Teil."}));
}

TEST_F(Joining, PartsOutOfRangeOrTwiceStayMessagesOfTheirOwn) {
  auto Part = [](int Number, int Count, const char* Letter) {
    return Deliver("04", "07050003070" + std::to_string(Count) + "0" + std::to_string(Number) + Letter, true);
  };
  Add(Part(1, 2, "41"));
  Add(Part(0, 2, "42"));
  Add(Part(3, 2, "43"));
  Add(Part(1, 2, "44"));
  Add(Part(2, 2, "45"));
  Add("0004");  // not readable: kept with its PDU
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"AE", "B", "C", "D", "(This message could not be read.) PDU: 0004"}));
}

// The backup file: each row is one list entry, alone in its file.
TEST(AndroidBackup, OneLinePerMessage) {
  SMSEngine::SetClock([] { return SMSEngine::EncodeDate(2026, 12, 11); });
  constexpr std::int64_t BackupMs = 1796994187000;  // 2026-12-11 13:03:07 UTC
  {                                                 // the viewer's codec refuses the UCS2 message that the backup holds
    SMSEngine::SetErrorReporter([](const std::string&) {});
    std::string Centre, Address, Text;
    bool Flash = false;
    SMSEngine::TDateTime Time = 0;
    EXPECT_FALSE(SMSEngine::DecodeDeliverPDU(UCS2Message, Centre, Address, Flash, Time, Text));
    SMSEngine::SetErrorReporter(nullptr);
  }
  const char* const Received =
      "  <sms protocol=\"0\" address=\"+4917612345678\" date=\"1797011287000\" type=\"1\" subject=\"null\" "
      "body=\"%s\" toa=\"null\" sc_toa=\"null\" service_center=\"+49171076000\" read=\"%s\" status=\"-1\" "
      "locked=\"0\" date_sent=\"1797011287000\" readable_date=\"Dec 11, 2026 2:03:07 PM\" contact_name=\"%s\" />";
  auto Line = [](const char* Format, const char* Body, const char* Read, const char* Name) {
    char Buffer[1024];
    std::snprintf(Buffer, sizeof Buffer, Format, Body, Read, Name);
    return std::string(Buffer);
  };
  // Dated by the backup, shown in its zone (+1 h).
  auto Stored = [](const std::string& Type) {
    return "  <sms protocol=\"0\" address=\"+4917612345678\" date=\"1796994187000\" type=\"" + Type +
           "\" subject=\"null\" body=\"Klar, ich bringe Salat mit!\" toa=\"null\" sc_toa=\"null\" "
           "service_center=\"+491710760000\" read=\"1\" status=\"-1\" locked=\"0\" date_sent=\"0\" "
           "readable_date=\"Dec 11, 2026 2:03:07 PM\" contact_name=\"(Unknown)\" />";
  };
  const std::string Controls = Deliver("08", "0E0041000D000A0009000C00010042");
  const std::string Specials = SCA + "0409D0D032BBFD060000" + Stamp + "10269E4F74026D501BDEA6BCF16D52";
  const struct {
    const char* Name;
    int Status;
    std::string PDU;
    std::string EntryName;
    std::string Expected;
  } Rows[] = {
      {"unread, UCS2 the viewer refuses", 0, UCS2Message, "",
       Line(Received, "\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F44D", "0", "(Unknown)")},
      {"read, name from the phone book", 1, UCS2Message, "J\xFCrgen Wei\xDF",
       Line(Received, "\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F44D", "1", "J\u00FCrgen Wei\u00DF")},
      {"line breaks, tab and control characters", 1, Controls, "",
       Line(Received, "A&#13;&#10;&#9;\uFFFD\uFFFDB", "1", "(Unknown)")},
      {"stored unsent", 2, StoredSubmit, "", Stored("3")},
      {"stored sent", 3, StoredSubmit, "", Stored("2")},
      {"status unknown, a SUBMIT", -1, StoredSubmit, "", Stored("3")},
      {"status unknown, a DELIVER", -1, UCS2Message, "",
       Line(Received, "\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F44D", "1", "(Unknown)")},
      {"not readable", 1, "0004ZZ", "",
       "  <sms protocol=\"0\" address=\"null\" date=\"1796994187000\" type=\"1\" subject=\"null\" "
       "body=\"(This message could not be read.) PDU: 0004ZZ\" toa=\"null\" sc_toa=\"null\" "
       "service_center=\"null\" read=\"1\" status=\"-1\" locked=\"0\" date_sent=\"0\" "
       "readable_date=\"Dec 11, 2026 2:03:07 PM\" contact_name=\"(Unknown)\" />"},
  };
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    TMessageList Entry;
    Entry.Status = Row.Status;
    Entry.PDU = Row.PDU;
    Entry.Name = Row.EntryName;
    EXPECT_EQ(AndroidBackupXml({Entry}, BackupMs, 60),
              "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"1\">\n" + Row.Expected +
                  "\n</smses>\n");
  }
  TMessageList Special;
  Special.PDU = Specials;
  EXPECT_NE(AndroidBackupXml({Special}, BackupMs, 60)
                .find("address=\"Pelmo\" date=\"1797011287000\" type=\"1\" subject=\"null\" "
                      "body=\"&amp;&lt;&gt;&quot;&apos; {[\u20AC]}\""),
            std::string::npos);
  SMSEngine::SetClock(nullptr);
}

TEST(AndroidBackup, LongMessageJoinedAndCounted) {
  std::vector<TMessageList> List(4);
  List[0].PDU = Part8Of3_3;
  List[2].PDU = Part8Of3_1;
  List[3].PDU = StoredSubmit;
  List[3].Status = SMSEngine::StatusStoredSent;
  List[2].Status = SMSEngine::StatusReceivedRead;  // the part that stands for it; the other is unread
  const std::string Xml = AndroidBackupXml(List, 0, 0);
  EXPECT_TRUE(Xml.starts_with("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"2\">\n"));
  EXPECT_NE(Xml.find("body=\"Erster Teil, [\u2026]dritter Teil.\" toa=\"null\" sc_toa=\"null\" "
                     "service_center=\"+49171076000\" read=\"0\""),
            std::string::npos);
  EXPECT_EQ(Xml.find("dritter Teil.\""), Xml.rfind("dritter Teil.\""));
}

TEST(AndroidBackup, ReadableDateIn12HourClock) {
  const std::pair<std::int64_t, const char*> Rows[] = {
      {0, "Jan 1, 1970 12:00:00 AM"},
      {StampMs - 225 * 60000, "Dec 11, 2026 2:03:07 PM"},
      {951782400000 + 12 * 3600000 + 59000, "Feb 29, 2000 12:00:59 PM"},
      {-1000, "Dec 31, 1969 11:59:59 PM"},
  };
  for (const auto& [Ms, Text] : Rows) EXPECT_EQ(ReadableDate(Ms), Text) << Ms;
}

}  // namespace
