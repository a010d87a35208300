// The simulated phone as a client sees it through the pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "emulator/SimPhone.h"
#include "tests/emulator/PtyClient.h"

namespace {

// Two messages (an unread one received, a sent one stored), a status report and two phone book
// entries. The DELIVER PDU is a real phone's ("Test"); the SUBMIT one is from the demo SIM.
const char* const DeliverPdu = "07913366003051F5040B913366304381F900005180719120348004D4F29C0E";
const char* const SubmitPdu =
    "0791947101670000112A0D91947116325476F80000AD1B4B7658CE02A5C76890589E769FCBA069981DA683DA697A08";
const char* const FixtureSim =
    "# fixture\n"
    "serial 350077809876543\n"
    "sca +491710760000 145\n"
    "memory 5\n"
    "sms 1 0 07913366003051F5040B913366304381F900005180719120348004D4F29C0E\n"
    "sms 2 3 0791947101670000112A0D91947116325476F80000AD1B4B7658CE02A5C76890589E769FCBA069981D"
    "A683DA697A08\n"
    "hidden 4\n"
    "pbsize 10\n"
    "pb 1 +4930123456 145 Anna Müller\n"
    "pb 3 030987654 129 Jörg\n";

// A SUBMIT without service centre field in front ("00"), 23 octets after it.
const char* const SendPdu = "0001000B919471563412F000000BC8329BFD06DDDF723619";

std::string Ok(const std::string& echo, const std::string& info = {}) {
  return echo + (info.empty() ? "" : "\r\n" + info + "\r\n") + "\r\nOK\r\n";
}

struct TPhoneFixture {
  explicit TPhoneFixture(TPhoneOptions options = {}, const std::string& sim = FixtureSim)
      : Phone(ParseSimText(sim), std::move(options)) {
    Phone.Start();
    Client = std::make_unique<TPtyClient>(Phone.DevicePath());
  }
  TSimPhone Phone;
  std::unique_ptr<TPtyClient> Client;
};

struct TReplyCase {
  const char* Name;
  int Cmee;
  std::string Command;
  std::string Reply;
};

// Test names and failures show the case's name, not its bytes.
void PrintTo(const TReplyCase& c, std::ostream* os) { *os << c.Name; }

class ReplyTable : public testing::TestWithParam<TReplyCase> {};

TEST_P(ReplyTable, ExactBytes) {
  const TReplyCase& c = GetParam();
  TPhoneOptions options;
  options.Cmee = c.Cmee;
  TPhoneFixture f(options);
  EXPECT_EQ(f.Client->Command(c.Command), c.Reply);
}

const std::string Listing1 = "+CMGL: 1,0,,23\r\n" + std::string(DeliverPdu);
const std::string Listing2 = "+CMGL: 2,3,,39\r\n" + std::string(SubmitPdu);

INSTANTIATE_TEST_SUITE_P(
    Commands, ReplyTable,
    testing::Values(
        TReplyCase{"At", 1, "AT\r\n", Ok("AT\r\n")}, TReplyCase{"AtCrAlone", 1, "AT\r", Ok("AT\r")},
        TReplyCase{"Ati", 1, "ATI\r", Ok("ATI\r", "SIEMENS\r\nS40\r\nREVISION 21")},
        TReplyCase{"Cgmi", 1, "AT+CGMI\r\n", Ok("AT+CGMI\r\n", "SIEMENS")},
        TReplyCase{"Cgmm", 1, "AT+CGMM\r\n", Ok("AT+CGMM\r\n", "S40")},
        TReplyCase{"Cgmr", 1, "AT+CGMR\r\n", Ok("AT+CGMR\r\n", "21")},
        TReplyCase{"Cgsn", 1, "AT+CGSN\r\n", Ok("AT+CGSN\r\n", "350077809876543")},
        TReplyCase{"Cimi", 1, "AT+CIMI\r\n", Ok("AT+CIMI\r\n", "262011234567890")},
        TReplyCase{"Cpin", 1, "AT+CPIN?\r\n", Ok("AT+CPIN?\r\n", "+CPIN: READY")},
        TReplyCase{"Cfun", 1, "AT+CFUN?\r\n", Ok("AT+CFUN?\r\n", "+CFUN: 1")},
        TReplyCase{"CfunSet", 1, "AT+CFUN=1\r\n", Ok("AT+CFUN=1\r\n")},
        TReplyCase{"Creg", 1, "AT+CREG?\r\n", Ok("AT+CREG?\r\n", "+CREG: 0,1")},
        TReplyCase{"CregWithCell", 1, "AT+CREG=2;+CREG?\r\n",
                   Ok("AT+CREG=2;+CREG?\r\n", "+CREG: 2,1,\"0F0B\",\"5C2E\"")},
        TReplyCase{"Csq", 1, "AT+CSQ\r\n", Ok("AT+CSQ\r\n", "+CSQ: 21,99")},
        TReplyCase{"Cbc", 1, "AT+CBC\r\n", Ok("AT+CBC\r\n", "+CBC: 0,80")},
        TReplyCase{"Cmee", 1, "AT+CMEE?\r\n", Ok("AT+CMEE?\r\n", "+CMEE: 1")},
        TReplyCase{"Cnmi", 1, "AT+CNMI=2,1,0,0,0\r\n", Ok("AT+CNMI=2,1,0,0,0\r\n")},
        TReplyCase{"Csms", 1, "AT+CSMS?\r\n", Ok("AT+CSMS?\r\n", "+CSMS: 0,1,1,1")},
        TReplyCase{"CsmsSet", 1, "AT+CSMS=0\r\n", Ok("AT+CSMS=0\r\n", "+CSMS: 1,1,1")},
        TReplyCase{"Cmgf", 1, "AT+CMGF?\r\n", Ok("AT+CMGF?\r\n", "+CMGF: 0")},
        TReplyCase{"CmgfPdu", 1, "AT+CMGF=0\r\n", Ok("AT+CMGF=0\r\n")},
        TReplyCase{"CmgfTextRefused", 1, "AT+CMGF=1\r\n", "AT+CMGF=1\r\n\r\nERROR\r\n"},
        TReplyCase{"Unknown", 1, "AT+FOO\r\n", "AT+FOO\r\n\r\nERROR\r\n"},
        TReplyCase{"UnknownBasic", 1, "ATX9\r\n", "ATX9\r\n\r\nERROR\r\n"},
        TReplyCase{"TwoCommandsOneLine", 1, "AT+CMEE=1;+CREG=2\r\n", Ok("AT+CMEE=1;+CREG=2\r\n")},
        TReplyCase{"TwoInfoCommands", 1, "AT+CGMI;+CGMM\r\n", "AT+CGMI;+CGMM\r\n\r\nSIEMENS\r\n\r\nS40\r\n\r\nOK\r\n"},
        TReplyCase{"Cpms", 1, "AT+CPMS?\r\n", Ok("AT+CPMS?\r\n", "+CPMS: \"SM\",3,5,\"SM\",3,5,\"SM\",3,5")},
        TReplyCase{"CpmsTest", 1, "AT+CPMS=?\r\n", Ok("AT+CPMS=?\r\n", "+CPMS: (\"SM\"),(\"SM\"),(\"SM\")")},
        TReplyCase{"CpmsSet", 1, "AT+CPMS=\"SM\",\"SM\",\"SM\"\r\n",
                   Ok("AT+CPMS=\"SM\",\"SM\",\"SM\"\r\n", "+CPMS: 3,5,3,5,3,5")},
        TReplyCase{"CpmsOtherMemory", 1, "AT+CPMS=\"ME\"\r\n", "AT+CPMS=\"ME\"\r\n\r\n+CMS ERROR: 302\r\n"},
        TReplyCase{"ListAll", 1, "AT+CMGL=4\r\n", Ok("AT+CMGL=4\r\n", Listing1 + "\r\n" + Listing2)},
        TReplyCase{"ListStoredSent", 1, "AT+CMGL=3\r\n", Ok("AT+CMGL=3\r\n", Listing2)},
        TReplyCase{"ListNone", 1, "AT+CMGL=1\r\n", Ok("AT+CMGL=1\r\n")},
        TReplyCase{"ListBadStat", 1, "AT+CMGL=5\r\n", "AT+CMGL=5\r\n\r\n+CMS ERROR: 302\r\n"},
        TReplyCase{"Read", 1, "AT+CMGR=1\r\n", Ok("AT+CMGR=1\r\n", "+CMGR: 0,,23\r\n" + std::string(DeliverPdu))},
        TReplyCase{"ReadEmpty", 1, "AT+CMGR=3\r\n", "AT+CMGR=3\r\n\r\n+CMS ERROR: 321\r\n"},
        TReplyCase{"DeleteEmpty", 1, "AT+CMGD=3\r\n", "AT+CMGD=3\r\n\r\n+CMS ERROR: 321\r\n"},
        TReplyCase{"DeleteEmptyPlain", 0, "AT+CMGD=3\r\n", "AT+CMGD=3\r\n\r\nERROR\r\n"},
        TReplyCase{"DeleteEmptyVerbose", 2, "AT+CMGD=3\r\n", "AT+CMGD=3\r\n\r\n+CMS ERROR: invalid memory index\r\n"},
        TReplyCase{"DeleteTest", 1, "AT+CMGD=?\r\n", Ok("AT+CMGD=?\r\n", "+CMGD: (1-5),(0-4)")},
        TReplyCase{"Delete", 1, "AT+CMGD=2\r\n", Ok("AT+CMGD=2\r\n")},
        TReplyCase{"StorePrompt", 1, "AT+CMGW=23\r", "AT+CMGW=23\r\r\n> "},
        TReplyCase{"SendPrompt", 1, "AT+CMGS=23\r", "AT+CMGS=23\r\r\n> "},
        TReplyCase{"Csca", 1, "AT+CSCA?\r\n", Ok("AT+CSCA?\r\n", "+CSCA: \"+491710760000\",145")},
        TReplyCase{"Cscs", 1, "AT+CSCS?\r\n", Ok("AT+CSCS?\r\n", "+CSCS: \"GSM\"")},
        TReplyCase{"CscsTest", 1, "AT+CSCS=?\r\n", Ok("AT+CSCS=?\r\n", "+CSCS: (\"GSM\",\"IRA\",\"UCS2\")")},
        TReplyCase{"CscsUnknown", 1, "AT+CSCS=\"8859-1\"\r\n", "AT+CSCS=\"8859-1\"\r\n\r\n+CME ERROR: 4\r\n"},
        TReplyCase{"Cpbs", 1, "AT+CPBS?\r\n", Ok("AT+CPBS?\r\n", "+CPBS: \"SM\",2,10")},
        TReplyCase{"CpbsTest", 1, "AT+CPBS=?\r\n", Ok("AT+CPBS=?\r\n", "+CPBS: (\"SM\")")},
        TReplyCase{"CpbsSet", 1, "AT+CPBS=\"SM\"\r\n", Ok("AT+CPBS=\"SM\"\r\n")},
        TReplyCase{"CpbrTest", 1, "AT+CPBR=?\r\n", Ok("AT+CPBR=?\r\n", "+CPBR: (1-10),20,14")},
        // GSM is the character set until a client picks another: u and o with diaeresis are the
        // GSM codes 7E and 7C.
        TReplyCase{"CpbrRange", 1, "AT+CPBR=1,3\r\n",
                   Ok("AT+CPBR=1,3\r\n",
                      "+CPBR: 1,\"+4930123456\",145,\"Anna M\x7Eller\"\r\n"
                      "+CPBR: 3,\"030987654\",129,\"J\x7Crg\"")},
        TReplyCase{"CpbrEmpty", 1, "AT+CPBR=2\r\n", Ok("AT+CPBR=2\r\n")},
        TReplyCase{"CpbrBeyond", 1, "AT+CPBR=11\r\n", "AT+CPBR=11\r\n\r\n+CME ERROR: 21\r\n"},
        TReplyCase{"CpbrZero", 1, "AT+CPBR=0\r\n", "AT+CPBR=0\r\n\r\n+CME ERROR: 21\r\n"},
        TReplyCase{"CpbrBeyondVerbose", 2, "AT+CPBR=11\r\n", "AT+CPBR=11\r\n\r\n+CME ERROR: invalid index\r\n"},
        TReplyCase{"EchoOffTakesEffectAfterTheLine", 1, "ATE0\r\n", Ok("ATE0\r\n")}),
    [](const testing::TestParamInfo<TReplyCase>& info) { return std::string(info.param.Name); });

TEST(SimPhone, ClientInputQuirks) {
  TPhoneFixture f;
  TPtyClient& c = *f.Client;
  // A NUL before the CR is noise.
  EXPECT_EQ(c.Command(std::string("AT\0\r\n", 5)), Ok(std::string("AT\0\r\n", 5)));
  // ESC abandons the half-typed line: no ERROR for "AT+CGAT".
  EXPECT_EQ(c.Command("AT+CG\x1b"
                      "AT\r\n"),
            Ok("AT+CG\x1b"
               "AT\r\n"));
  // An LF alone and an empty line get no answer.
  c.Send("\n\r");
  EXPECT_EQ(c.ReadFor(150), "\n\r");
  EXPECT_EQ(c.Command("at+cgmm\r\n"), Ok("at+cgmm\r\n", "S40"));
  EXPECT_EQ(c.Command("AT+CGMX\bM\r"), Ok("AT+CGMX\bM\r", "S40"));
  // A command split over two writes.
  c.Send("AT+CG");
  EXPECT_EQ(c.ReadFor(100), "AT+CG");
  EXPECT_EQ(c.Command("SN\r\n"), Ok("SN\r\n", "350077809876543"));
}

TEST(SimPhone, EchoSwitchesAndResetRestoresIt) {
  TPhoneFixture f;
  TPtyClient& c = *f.Client;
  EXPECT_EQ(c.Command("ATE0\r\n"), Ok("ATE0\r\n"));
  EXPECT_EQ(c.Command("AT+CGMM\r\n"), Ok("", "S40"));
  EXPECT_EQ(c.Command("ATZ\r\n"), Ok(""));
  EXPECT_EQ(c.Command("AT\r\n"), Ok("AT\r\n"));
}

std::string StoreOrSend(TPtyClient& c, const std::string& command, const std::string& pdu) {
  std::string prompt = c.Command(command + "\r");
  if (prompt != command + "\r\r\n> ") return "no prompt: " + prompt;
  return c.Command(pdu + "\x1a");
}

TEST(SimPhone, StoreTakesTheLowestFreeLocationUntilFull) {
  TPhoneFixture f;
  TPtyClient& c = *f.Client;
  const std::string pdu = std::string(SendPdu);
  // 1 and 2 hold messages, 4 a status report.
  EXPECT_EQ(StoreOrSend(c, "AT+CMGW=23", pdu), Ok(pdu + "\x1a", "+CMGW: 3"));
  EXPECT_EQ(StoreOrSend(c, "AT+CMGW=23,3", pdu), Ok(pdu + "\x1a", "+CMGW: 5"));
  EXPECT_EQ(StoreOrSend(c, "AT+CMGW=23", pdu), pdu + "\x1a\r\n+CMS ERROR: 322\r\n");
  TSimCard sim = f.Phone.Sim();
  ASSERT_EQ(sim.Messages.count(3), 1u);
  EXPECT_EQ(sim.Messages[3].Status, 2);
  EXPECT_EQ(sim.Messages[3].PDU, pdu);
  EXPECT_EQ(sim.Messages[5].Status, 3);
  EXPECT_EQ(c.Command("AT+CPMS?\r\n"), Ok("AT+CPMS?\r\n", "+CPMS: \"SM\",5,5,\"SM\",5,5,\"SM\",5,5"));
  EXPECT_EQ(c.Command("AT+CMGL=2\r\n"), Ok("AT+CMGL=2\r\n", "+CMGL: 3,2,,23\r\n" + pdu));
}

TEST(SimPhone, StoreHighestFillsFromTheTopAndNoNumbersLeavesTheNumbersOut) {
  const std::string pdu = std::string(SendPdu);
  {
    TPhoneOptions options;
    options.StoreHighest = true;
    TPhoneFixture f(options);
    TPtyClient& c = *f.Client;
    // 1, 2 and 4 are used out of 5.
    EXPECT_EQ(StoreOrSend(c, "AT+CMGW=23", pdu), Ok(pdu + "\x1a", "+CMGW: 5"));
    EXPECT_EQ(StoreOrSend(c, "AT+CMGW=23", pdu), Ok(pdu + "\x1a", "+CMGW: 3"));
    EXPECT_EQ(StoreOrSend(c, "AT+CMGW=23", pdu), pdu + "\x1a\r\n+CMS ERROR: 322\r\n");
  }
  {
    TPhoneOptions options;
    options.NoNumbers = true;
    TPhoneFixture f(options);
    TPtyClient& c = *f.Client;
    EXPECT_EQ(StoreOrSend(c, "AT+CMGW=23", pdu), Ok(pdu + "\x1a", "+CMGW:"));
    EXPECT_EQ(f.Phone.Sim().Messages.count(3), 1u);
    EXPECT_EQ(StoreOrSend(c, "AT+CMGS=23", pdu), Ok(pdu + "\x1a", "+CMGS:"));
    EXPECT_EQ(f.Phone.Outbox(), (std::vector<std::string>{pdu}));
  }
}

TEST(SimPhone, BadPdusAreRefusedAndTheLineRecovers) {
  struct TCase {
    const char* Command;
    std::string Pdu;
    const char* Result;
  };
  const TCase cases[] = {
      {"AT+CMGW=22", SendPdu, "+CMS ERROR: 304"},                     // length differs
      {"AT+CMGW=23", "0001000B9194715634ZZ", "+CMS ERROR: 304"},      // not hex
      {"AT+CMGW=23", std::string(SendPdu) + "0", "+CMS ERROR: 304"},  // half an octet
      {"AT+CMGS=23", "0004000B919471563412F000000BC8329BFD06DDDF723619",
       "+CMS ERROR: 304"},  // a DELIVER cannot be sent
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.Command + std::string(" ") + tc.Pdu);
    TPhoneFixture f;
    EXPECT_EQ(StoreOrSend(*f.Client, tc.Command, tc.Pdu), tc.Pdu + "\x1a\r\n" + tc.Result + "\r\n");
    EXPECT_EQ(f.Client->Command("AT\r\n"), Ok("AT\r\n"));
    EXPECT_EQ(f.Phone.Sim().MessagesUsed(), 3);
    EXPECT_TRUE(f.Phone.Outbox().empty());
  }
}

TEST(SimPhone, EscapeCancelsAMessage) {
  TPhoneFixture f;
  TPtyClient& c = *f.Client;
  ASSERT_EQ(c.Command("AT+CMGW=23\r"), "AT+CMGW=23\r\r\n> ");
  EXPECT_EQ(c.Command("0001000B91\x1b"), Ok("0001000B91\x1b"));
  EXPECT_EQ(f.Phone.Sim().MessagesUsed(), 3);
  EXPECT_EQ(c.Command("AT\r\n"), Ok("AT\r\n"));
}

TEST(SimPhone, SendCountsReferencesAndKeepsTheOutbox) {
  TPhoneFixture f;
  TPtyClient& c = *f.Client;
  const std::string pdu = SendPdu;
  const std::string withSca = "07919471016700F0" + pdu.substr(2);
  EXPECT_EQ(StoreOrSend(c, "AT+CMGS=23", pdu), Ok(pdu + "\x1a", "+CMGS: 1"));
  EXPECT_EQ(StoreOrSend(c, "AT+CMGS=23", withSca), Ok(withSca + "\x1a", "+CMGS: 2"));
  EXPECT_EQ(f.Phone.Outbox(), (std::vector<std::string>{pdu, withSca}));
  EXPECT_EQ(f.Phone.Sim().MessagesUsed(), 3);  // sending stores nothing
}

TEST(SimPhone, SendWithoutAnyServiceCentreFails) {
  TPhoneFixture f({}, "memory 5\n");
  EXPECT_EQ(StoreOrSend(*f.Client, "AT+CMGS=23", SendPdu), std::string(SendPdu) + "\x1a\r\n+CMS ERROR: 330\r\n");
  EXPECT_TRUE(f.Phone.Outbox().empty());
}

TEST(SimPhone, ListingAndReadingMarkReceivedMessagesRead) {
  TPhoneFixture f;
  TPtyClient& c = *f.Client;
  EXPECT_EQ(c.Command("AT+CMGL=0\r\n"), Ok("AT+CMGL=0\r\n", Listing1));
  EXPECT_EQ(f.Phone.Sim().Messages.at(1).Status, 1);
  EXPECT_EQ(c.Command("AT+CMGL=0\r\n"), Ok("AT+CMGL=0\r\n"));
  EXPECT_EQ(c.Command("AT+CMGL=1\r\n"), Ok("AT+CMGL=1\r\n", "+CMGL: 1,1,,23\r\n" + std::string(DeliverPdu)));
}

TEST(SimPhone, DeleteRemovesMessagesAndStatusReports) {
  TPhoneFixture f;
  TPtyClient& c = *f.Client;
  EXPECT_EQ(c.Command("AT+CMGD=1\r\n"), Ok("AT+CMGD=1\r\n"));
  EXPECT_EQ(c.Command("AT+CMGD=1\r\n"), "AT+CMGD=1\r\n\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(c.Command("AT+CMGD=4\r\n"), Ok("AT+CMGD=4\r\n"));
  EXPECT_EQ(c.Command("AT+CPMS?\r\n"), Ok("AT+CPMS?\r\n", "+CPMS: \"SM\",1,5,\"SM\",1,5,\"SM\",1,5"));
  TSimCard sim = f.Phone.Sim();
  EXPECT_EQ(sim.Messages.size(), 1u);
  EXPECT_EQ(sim.Messages.count(2), 1u);
}

TEST(SimPhone, ServiceCentreAddress) {
  TPhoneFixture f({}, "memory 5\n");
  TPtyClient& c = *f.Client;
  EXPECT_EQ(c.Command("AT+CSCA?\r\n"), "AT+CSCA?\r\n\r\n+CMS ERROR: 330\r\n");
  EXPECT_EQ(c.Command("AT+CSCA=\"+491720000000\"\r\n"), Ok("AT+CSCA=\"+491720000000\"\r\n"));
  EXPECT_EQ(c.Command("AT+CSCA?\r\n"), Ok("AT+CSCA?\r\n", "+CSCA: \"+491720000000\",145"));
  EXPECT_EQ(c.Command("AT+CSCA=\"01720000000\",129\r\n"), Ok("AT+CSCA=\"01720000000\",129\r\n"));
  EXPECT_EQ(c.Command("AT+CSCA?\r\n"), Ok("AT+CSCA?\r\n", "+CSCA: \"01720000000\",129"));
  EXPECT_EQ(c.Command("AT+CSCA=+4917\r\n"), "AT+CSCA=+4917\r\n\r\nERROR\r\n");
  EXPECT_EQ(f.Phone.Sim().SCA, "01720000000");
}

TEST(SimPhone, PhonebookNamesInEachCharacterSet) {
  TPhoneFixture f({}, "pb 1 +4930123456 145 Anna Müller €\npb 2 +4930 145 Sc\xC3\x9F\n");
  TPtyClient& c = *f.Client;
  struct TCase {
    const char* Charset;
    std::string Name1, Name2;
  };
  const TCase cases[] = {
      {"UCS2", "0041006E006E00610020004D00FC006C006C00650072002020AC", "0053006300DF"},
      {"IRA", "Anna M?ller ?", "Sc?"},
      {"GSM", "Anna M\x7Eller \x1B\x65", "Sc\x1E"},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.Charset);
    std::string set = std::string("AT+CSCS=\"") + tc.Charset + "\"\r\n";
    EXPECT_EQ(c.Command(set), Ok(set));
    EXPECT_EQ(c.Command("AT+CPBR=1,2\r\n"),
              Ok("AT+CPBR=1,2\r\n",
                 "+CPBR: 1,\"+4930123456\",145,\"" + tc.Name1 + "\"\r\n+CPBR: 2,\"+4930\",145,\"" + tc.Name2 + "\""));
  }
}

// The line settings are the phone's own: a client that leaves them alone still sees CR LF.
TEST(SimPhone, DeviceIsRawBeforeTheClientOpensIt) {
  TSimPhone phone(ParseSimText(FixtureSim));
  phone.Start();
  TPtyClient c(phone.DevicePath(), false);
  EXPECT_EQ(c.Command("AT\r\n"), Ok("AT\r\n"));
}

TEST(SimPhone, SurvivesTheClientClosingAndReopening) {
  TPhoneFixture f;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(f.Client->Command("AT+CGSN\r\n"), Ok("AT+CGSN\r\n", "350077809876543"));
    f.Client->Close();
    f.Client->Open(f.Phone.DevicePath());
    ASSERT_TRUE(f.Client->IsOpen());
  }
  // Closing in the middle of a command loses nothing but that command.
  f.Client->Send("AT+CPMS");
  f.Client->Close();
  f.Client->Open(f.Phone.DevicePath());
  f.Client->ReadFor(100);
  f.Client->Send("\x1b");
  f.Client->ReadFor(50);
  EXPECT_EQ(f.Client->Command("AT\r\n"), Ok("AT\r\n"));
  EXPECT_TRUE(f.Phone.Running());
}

// A reply that comes after the client has given up and closed the port is lost, as on a serial
// line; the next client does not read it. The client closes while the phone waits before its
// reply, or while the phone is still sending an earlier reply and has not yet read the command.
TEST(SimPhone, ReplyToAClosedPortIsLost) {
  struct TCase {
    const char* Name;
    int DelayMs, Baud;
    std::string Earlier;  // a command whose reply is still being sent
  };
  const TCase cases[] = {{"delayed reply", 200, 0, ""}, {"command behind a slow reply", 0, 9600, "AT+CMGL=4\r\n"}};
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Name);
    TPhoneOptions options;
    options.DelayMs = tc.DelayMs;
    options.Baud = tc.Baud;
    TPhoneFixture f(options);
    if (!tc.Earlier.empty()) {
      f.Client->Send(tc.Earlier);
      f.Client->ReadFor(50);
    }
    f.Client->Send("AT+CMGR=1\r\n");
    f.Client->ReadFor(50);
    f.Client->Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    f.Client->Open(f.Phone.DevicePath());
    EXPECT_EQ(f.Client->Command("AT\r\n"), Ok("AT\r\n"));
    // The command itself reached the phone: reading the message marked it read.
    EXPECT_EQ(f.Phone.Sim().Messages.at(1).Status, 1);
  }
}

TEST(SimPhone, StopAndRestart) {
  TSimPhone phone(ParseSimText(FixtureSim));
  phone.Start();
  std::string first = phone.DevicePath();
  phone.Stop();
  phone.Stop();
  EXPECT_FALSE(phone.Running());
  phone.Start();
  TPtyClient c(phone.DevicePath());
  EXPECT_EQ(c.Command("AT\r\n"), Ok("AT\r\n"));
}

TEST(SimPhone, LinkPointsAtTheDeviceWhileRunning) {
  const std::string link = testing::TempDir() + "pelmo-phone-link-" + std::to_string(::getpid());
  TPhoneOptions options;
  options.LinkPath = link;
  {
    TSimPhone phone(ParseSimText(FixtureSim), options);
    phone.Start();
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), phone.DevicePath());
    TPtyClient c(link);
    EXPECT_EQ(c.Command("AT\r\n"), Ok("AT\r\n"));
  }
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);
}

// ---- options for tests and demos ----

TEST(PhoneOptions, EchoOff) {
  TPhoneOptions options;
  options.Echo = false;
  TPhoneFixture f(options);
  EXPECT_EQ(f.Client->Command("AT+CGSN\r\n"), Ok("", "350077809876543"));
  EXPECT_EQ(f.Client->Command("ATE1\r\n"), Ok(""));
  EXPECT_EQ(f.Client->Command("AT\r\n"), Ok("AT\r\n"));
}

TEST(PhoneOptions, SilentNeverAnswers) {
  TPhoneOptions options;
  options.Silent = true;
  TPhoneFixture f(options);
  f.Client->Send("AT\r\n");
  EXPECT_EQ(f.Client->ReadFor(300), "");
}

TEST(PhoneOptions, MuteIgnoresOneCommandOnly) {
  TPhoneOptions options;
  options.Mute = {"AT+CMGL"};
  TPhoneFixture f(options);
  f.Client->Send("AT+CMGL=4\r\n");
  EXPECT_EQ(f.Client->ReadFor(300), "AT+CMGL=4\r\n");
  EXPECT_EQ(f.Client->Command("AT+CMGR=1\r\n"), Ok("AT+CMGR=1\r\n", "+CMGR: 0,,23\r\n" + std::string(DeliverPdu)));
}

TEST(PhoneOptions, FailAnswersWithTheGivenResultAndChangesNothing) {
  TPhoneOptions options;
  options.Fail = {{"AT+CMGD", "+CMS ERROR: 321"}, {"AT+CPBR", "ERROR"}};
  TPhoneFixture f(options);
  EXPECT_EQ(f.Client->Command("AT+CMGD=1\r\n"), "AT+CMGD=1\r\n\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(f.Client->Command("AT+CPBR=1\r\n"), "AT+CPBR=1\r\n\r\nERROR\r\n");
  EXPECT_EQ(f.Phone.Sim().MessagesUsed(), 3);
  // Options can change while the phone runs.
  f.Phone.SetOptions({});
  EXPECT_EQ(f.Client->Command("AT+CMGD=1\r\n"), Ok("AT+CMGD=1\r\n"));
}

TEST(PhoneOptions, DelayComesAfterTheEcho) {
  TPhoneOptions options;
  options.DelayMs = 300;
  TPhoneFixture f(options);
  auto start = std::chrono::steady_clock::now();
  f.Client->Send("AT\r\n");
  EXPECT_EQ(f.Client->ReadFor(100), "AT\r\n");
  EXPECT_EQ(f.Client->ReadReply(), "\r\nOK\r\n");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
}

// The log shows every write: with chunks of 5 bytes no write of a reply is longer.
std::vector<std::string> LoggedWrites(const std::string& path, const std::string& direction) {
  std::ifstream in(path);
  std::vector<std::string> writes;
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 13 || line.compare(13, direction.size() + 1, direction + " ") != 0) continue;
    std::string escaped = line.substr(13 + direction.size() + 1), raw;
    for (size_t i = 0; i < escaped.size(); ++i) {
      if (escaped[i] != '\\') {
        raw += escaped[i];
        continue;
      }
      char k = escaped[++i];
      if (k == 'x') {
        raw += static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        raw += k == 'r' ? '\r' : k == 'n' ? '\n' : k;
      }
    }
    writes.push_back(raw);
  }
  return writes;
}

TEST(PhoneOptions, ChunksWithGapsAndTheLog) {
  const std::string log = testing::TempDir() + "pelmo-phone-" + std::to_string(::getpid()) + ".log";
  TPhoneOptions options;
  options.Chunk = 5;
  options.GapMs = 10;
  options.LogFile = log;
  TPhoneFixture f(options);
  const std::string expected = Ok("AT+CMGL=4\r\n", Listing1 + "\r\n" + Listing2);
  EXPECT_EQ(f.Client->Command("AT+CMGL=4\r\n"), expected);
  f.Phone.Stop();
  auto in = LoggedWrites(log, "in ");
  auto out = LoggedWrites(log, "out");
  ASSERT_EQ(in, std::vector<std::string>{"AT+CMGL=4\r\n"});
  std::string joined;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i > 0) {
      EXPECT_LE(out[i].size(), 5u) << i;  // the first write is the echo
    }
    joined += out[i];
  }
  EXPECT_EQ(joined, expected);
  std::remove(log.c_str());
}

TEST(PhoneOptions, BaudPacesTheOutput) {
  TPhoneOptions options;
  options.Baud = 9600;
  TPhoneFixture f(options);
  const std::string expected = Ok("AT+CMGL=4\r\n", Listing1 + "\r\n" + Listing2);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(f.Client->Command("AT+CMGL=4\r\n"), expected);
  // Ten bit times per byte: a lower bound only, the machine may well be slower.
  auto least = std::chrono::microseconds(expected.size() * 10 * 1000000 / 9600);
  EXPECT_GE(std::chrono::steady_clock::now() - start, least * 9 / 10);
}

TEST(PhoneOptions, HangupAfterSoManyBytes) {
  TPhoneOptions options;
  options.HangupAfter = 20;
  TPhoneFixture f(options);
  f.Client->Send("AT+CGSN\r\n");
  std::string got = f.Client->ReadFor(2000);
  EXPECT_EQ(got, Ok("AT+CGSN\r\n", "350077809876543").substr(0, 20));
  EXPECT_TRUE(f.Client->Gone());
  EXPECT_TRUE(f.Phone.HungUp());
  EXPECT_FALSE(f.Phone.Running());
  EXPECT_EQ(f.Phone.BytesSent(), 20u);
}

TEST(PhoneOptions, UnsolicitedLineGoesIntoTheNextLongReply) {
  TPhoneOptions options;
  options.Unsolicited = {"+CMTI: \"SM\",5"};
  TPhoneFixture f(options);
  TPtyClient& c = *f.Client;
  EXPECT_EQ(c.Command("AT+CGSN\r\n"), Ok("AT+CGSN\r\n", "350077809876543"));
  EXPECT_EQ(c.Command("AT+CMGL=4\r\n"), Ok("AT+CMGL=4\r\n", Listing1 + "\r\n\r\n+CMTI: \"SM\",5\r\n" + Listing2));
  EXPECT_EQ(c.Command("AT+CMGL=4\r\n"),
            Ok("AT+CMGL=4\r\n", "+CMGL: 1,1,,23\r\n" + std::string(DeliverPdu) + "\r\n" + Listing2));
  f.Phone.QueueUnsolicited("RING");
  EXPECT_EQ(c.Command("AT+CMGR=2\r\n"), Ok("AT+CMGR=2\r\n", "+CMGR: 3,,39\r\n\r\nRING\r\n" + std::string(SubmitPdu)));
}

}  // namespace
