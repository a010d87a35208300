// The reply recogniser on its own: reply texts in, outcome out, no window and no line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/Reply.h"
#include "tests/rules/ReplyFeed.h"

namespace {

const std::string CpmsLine = "+CPMS: \"SM\",3,10,\"SM\",3,10,\"SM\",3,10";
const std::string Pdu1 = "07913366003051F5040B913366304381F900005180719120348004D4F29C0E";
const std::string Pdu2 = "0791947101670000040A9194032143650000622170905033403FC47419";

struct TCase {
  const char* Name;
  std::vector<std::string> Arrivals;
  TFed Expected;
  bool AfterTheEnd = false;  // text follows the final result: it matters which arrival it comes in
};

const std::vector<TCase> Cases = {
    {"information with echo",
     {"AT+CPMS?\r\n\r\n" + CpmsLine + "\r\n\r\nOK\r\n"},
     {CpmsLine + "\r\n", true, false, 0, {}}},
    {"information without echo", {"\r\n" + CpmsLine + "\r\n\r\nOK\r\n"}, {CpmsLine + "\r\n", true, false, 0, {}}},
    {"echo and OK only leave OK", {"AT+CMGD=1\r\n\r\nOK\r\n"}, {"OK", true, false, 0, {}}},
    {"serial number", {"AT+CGSN\r\n\r\n350077801234567\r\n\r\nOK\r\n"}, {"350077801234567\r\n", true, false, 0, {}}},
    {"prompt keeps the raw text", {"AT+CMGS=23\r\r\n> "}, {"AT+CMGS=23\r\r\n> ", true, false, 0, {}}},
    {"prompt straight behind the echo", {"AT+CMGS=23\r> "}, {"AT+CMGS=23\r> ", true, false, 0, {}}},
    {"prompt without echo or line break", {"> "}, {"> ", true, false, 0, {}}},
    {"prompt split from its line break", {"\r\n", ">", " "}, {"\r\n> ", true, false, 0, {}}},
    {"plain error",
     {"AT+XYZ\r\n\r\nERROR\r\n"},
     {"AT+XYZ\r\n\r\nERROR\r\n", true, true, 0, {"ERROR: Invalid command."}}},
    {"equipment error from the table",
     {"\r\n+CME ERROR: 10\r\n"},
     {"\r\n+CME ERROR: 10\r\n", true, true, 0, {"+CME ERROR 10: SIM not inserted."}}},
    {"equipment error not in the table",
     {"\r\n+CME ERROR: 99\r\n"},
     {"\r\n+CME ERROR: 99\r\n", true, true, 0, {"+CME ERROR 99: ."}}},
    {"message service error of a real phone",
     {"AT+CMGR=34\r\r\n+CMS ERROR: 321\r\n"},
     {"AT+CMGR=34\r\r\n+CMS ERROR: 321\r\n", true, true, 0, {"+CMS ERROR 321: Invalid memory index."}}},
    {"message service error not in the table",
     {"\r\n+CMS ERROR: 999\r\n"},
     {"\r\n+CMS ERROR: 999\r\n", true, true, 0, {"+CMS ERROR 999: Unspecified error cause."}}},
    {"no service centre address fails silently",
     {"AT+CSCA?\r\n\r\n+CMS ERROR: 330\r\n"},
     {"AT+CSCA?\r\n\r\n+CMS ERROR: 330\r\n", true, true, 0, {}}},
    {"error reported as text",
     {"\r\n+CME ERROR: operation not allowed\r\n"},
     {"\r\n+CME ERROR: operation not allowed\r\n", true, true, 0, {"+CME ERROR: operation not allowed."}}},
    {"error code in a later arrival",
     {"\r\n+CME ERROR: 1", "0\r\n"},
     {"\r\n+CME ERROR: 10\r\n", true, true, 0, {"+CME ERROR 10: SIM not inserted."}}},
    {"an unfinished reply waits",
     {"AT+CPMS?\r\n\r\n" + CpmsLine + "\r\n"},
     {"AT+CPMS?\r\n\r\n" + CpmsLine + "\r\n", false, false, 0, {}}},
    {"a late arrival does not repeat the error",
     {"\r\nERROR\r\n", "\r\nERROR\r\n"},
     {"\r\nERROR\r\n", true, true, 0, {"ERROR: Invalid command."}},
     true},
    {"unsolicited code before the reply",
     {"\r\nRING\r\n", "AT+CPMS?\r\n\r\n" + CpmsLine + "\r\n\r\nOK\r\n"},
     {CpmsLine + "\r\n", true, false, 0, {}}},
    {"unsolicited code inside the reply",
     {"AT+CPMS?\r\n\r\n" + CpmsLine + "\r\n\r\n+CMTI: \"SM\",5\r\n\r\nOK\r\n"},
     {CpmsLine + "\r\n", true, false, 0, {}}},
    {"unsolicited code after the reply",
     {"\r\n" + CpmsLine + "\r\n\r\nOK\r\n", "\r\n+CREG: 1\r\n"},
     {CpmsLine + "\r\n", true, false, 0, {}},
     true},
    {"message indication with its PDU inside a listing",
     {"AT+CMGL=4\r\n\r\n+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n\r\n+CMT: ,23\r\n" + Pdu1 + "\r\n+CMGL: 2,0,,23\r\n" + Pdu2 +
      "\r\n\r\nOK\r\n"},
     {"+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n+CMGL: 2,0,,23\r\n" + Pdu2 + "\r\n", true, false, 2, {}}},
    {"broadcast indication whose second line looks like a listing header",
     {"\r\n+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n+CBM: 88\r\n+CMGL: 9,9,,9\r\n\r\nOK\r\n"},
     {"+CMGL: 1,1,,23\r\n" + Pdu1, true, false, 1, {}}},
    {"vendor code that broke a PDU line in two",
     {"\r\n+CMGL: "
      "1,1,,23\r\n07913366003051F5040B91336630\r\n^BOOT:37478870,0,0,0,"
      "77\r\n4381F900005180719120348004D4F29C0E\r\n\r\nOK\r\n"},
     {"+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n", true, false, 1, {}}},
    {"listing headers, two per arrival",
     {"\r\n+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n+CMGL: 2,1,,23\r\n" + Pdu1,
      "\r\n+CMGL: 3,1,,23\r\n" + Pdu1 + "\r\n+CMGL: 4,1,,23\r\n" + Pdu1, "\r\n\r\nOK\r\n"},
     {"+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n+CMGL: 2,1,,23\r\n" + Pdu1 + "\r\n+CMGL: 3,1,,23\r\n" + Pdu1 +
          "\r\n+CMGL: 4,1,,23\r\n" + Pdu1 + "\r\n",
      true,
      false,
      4,
      {}}},
    {"error after listed text and an unsolicited code",
     {"\r\n+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n\r\n+CMTI: \"SM\",5\r\n\r\n+CMS ERROR: 321\r\n"},
     {"\r\n+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n\r\n+CMS ERROR: 321\r\n",
      true,
      true,
      1,
      {"+CMS ERROR 321: Invalid memory index."}}},
    {"taking out the OK does not make a result of the lines it joins",
     {"\r\n+CMGL: 1,1,,23\r\n\r\nOK+CMS ERROR: 321\r\n\r\nOKERROR\r\n\r\nOK> \r\n\r\nOK\r\n"},
     {"+CMGL: 1,1,,23\r\n+CMS ERROR: 321\r\n\r\nOKERROR\r\n\r\nOK> \r\n\r\nOK", true, false, 1, {}}},
    {"listing ended by an error after a code that arrived between two headers",
     {"\r\n+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n\r\nRING\r\n\r\n+CMGL: 2,0,,23\r\n" + Pdu2 + "\r\n\r\n+CME ERROR: 10\r\n"},
     {"\r\n+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n\r\n+CMGL: 2,0,,23\r\n" + Pdu2 + "\r\n\r\n+CME ERROR: 10\r\n",
      true,
      true,
      2,
      {"+CME ERROR 10: SIM not inserted."}}},
};

class TReplyTable : public ::testing::TestWithParam<TCase> {};

TEST_P(TReplyTable, Outcome) {
  const auto& c = GetParam();
  EXPECT_EQ(Feed(c.Arrivals), c.Expected);
}

// However the line splits the reply, the outcome is the same as for the whole reply in one piece.
TEST_P(TReplyTable, EverySplitGivesTheSameOutcome) {
  const auto& c = GetParam();
  if (c.AfterTheEnd) return;
  std::string whole;
  for (const auto& a : c.Arrivals) whole += a;
  const TFed expected = Feed({whole});
  for (size_t at = 1; at < whole.size(); ++at)
    EXPECT_EQ(Feed({whole.substr(0, at), whole.substr(at)}), expected) << "split at " << at;
  std::vector<std::string> bytes;
  for (char ch : whole) bytes.emplace_back(1, ch);
  EXPECT_EQ(Feed(bytes), expected) << "byte by byte";
}

INSTANTIATE_TEST_SUITE_P(Replies, TReplyTable, ::testing::ValuesIn(Cases), [](const auto& info) {
  std::string name;
  for (char ch : std::string(info.param.Name)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

TEST(ErrorTables, CodesAtTheEdgesOfTheTables) {
  EXPECT_EQ(CmeErrorText(0), "Phone failure");
  EXPECT_EQ(CmeErrorText(113), "Roaming not allowed in this location area");
  EXPECT_EQ(CmeErrorText(8), "");
  EXPECT_EQ(CmsErrorText(1), "Unassigned (unallocated) number");
  EXPECT_EQ(CmsErrorText(304), "Invalid PDU mode paramter");
  EXPECT_EQ(CmsErrorText(500), "Unknown error");
  EXPECT_EQ(CmsErrorText(0), "Unspecified error cause");
}

}  // namespace

namespace {

// What restarts the time-out: only text that stays in the reply. Unsolicited codes, however many,
// and the halves of them do not; a reply that keeps coming does.
TEST(ReplyGrowth, OnlyReplyTextCounts) {
  struct TStep {
    std::string Arrival;
    bool Grew;
  };
  const std::vector<TStep> steps = {
      {"AT+CMGL=4\r\n", true},  // the echo
      {"\r\nRING\r\n", false},
      {"\r\nRI", false},
      {"NG\r\n", false},
      {"\r\n+CMGL: 1,1,,23\r\n", true},
      {Pdu1, true},
      {"\r\n+CMTI: \"SM\",3\r\n", false},
      {"\r\n+CMT: ,23\r\n", false},  // a message indication waits for its PDU line
      {Pdu2 + "\r\n", false},
      {"\r\n^SYSSTART\r\n", false},
      {"\r\n", false},  // the PDU line ends: what the line break stands before is not known yet
      {"\r\nOK\r\n", true},
      {"\r\nRING\r\n", false},  // after the final result
  };
  std::string buffer;
  TReplyScan scan;
  for (size_t i = 0; i < steps.size(); ++i)
    EXPECT_EQ(RecogniseArrival(buffer, scan, steps[i].Arrival).Grew, steps[i].Grew) << "step " << i;
  EXPECT_EQ(buffer, "+CMGL: 1,1,,23\r\n" + Pdu1 + "\r\n");
}

// A reply that outgrows the bound ends as failed and gives its memory back; the time each arrival
// costs does not grow with the reply (no check of time here: a quadratic search would make this
// test take minutes instead of a blink).
TEST(ReplyBound, EndlessTextEndsTheExchange) {
  std::string buffer;
  TReplyScan scan;
  const std::string piece(1024, 'x');
  TReplyOutcome out;
  size_t fed = 0;
  while (!out.Complete && fed <= MaxReplySize + piece.size()) {
    out = RecogniseArrival(buffer, scan, piece);
    fed += piece.size();
  }
  EXPECT_TRUE(out.Complete);
  EXPECT_TRUE(out.Failed);
  EXPECT_TRUE(out.TooLong);
  EXPECT_GT(fed, MaxReplySize);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.capacity() < 1024, true);
  // Nothing more is taken into the finished exchange.
  EXPECT_FALSE(RecogniseArrival(buffer, scan, piece).Grew);
  EXPECT_TRUE(buffer.empty());
}

TEST(ReplyBound, HugeAndStrangeErrorTexts) {
  const std::string megabyte(1 << 20, 'x');
  std::vector<std::string> arrivals = {"\r\n+CMS ERROR: "};
  for (size_t at = 0; at < megabyte.size(); at += 4096) arrivals.push_back(megabyte.substr(at, 4096));
  arrivals.push_back("\r\n");
  EXPECT_EQ(Feed(arrivals).Boxes, std::vector<std::string>{"+CMS ERROR: " + std::string(200, 'x') + "..."});
  EXPECT_EQ(Feed({std::string("\r\n+CME ERROR: SIM\0busy\r\n", 24)}).Boxes,
            std::vector<std::string>{"+CME ERROR: SIM?busy."});
}

TEST(PhoneText, ShownWholeUpToItsBound) {
  EXPECT_EQ(PhoneText(std::string("3\0x\r\n\x7f", 6)), "3?x???");
  EXPECT_EQ(PhoneText("\x80\xe9"), "\x80\xe9");  // code page 1252 letters stay
  EXPECT_EQ(PhoneText(std::string(250, 'y'), 200), std::string(200, 'y') + "...");
  EXPECT_EQ(PhoneText(std::string(200, 'y'), 200), std::string(200, 'y'));
}

}  // namespace
