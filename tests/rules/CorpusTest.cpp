// Replies of real phones and modems through the rules, the way the exchange meets them: the
// recogniser first (echo and final OK cut away, errors told), then the parser of the command.
// What each row must give is what the reply says, read by hand against 27.005/27.007 and the
// source's own notes.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/SMSEngine.h"
#include "rules/ComposeText.h"
#include "rules/Phonebook.h"
#include "rules/ReadReplies.h"
#include "rules/Reply.h"
#include "tests/rules/CorpusReplies.h"

namespace {

struct TRecognised {
  std::string Buffer;
  TReplyOutcome Outcome;
};

// The reply as the exchange leaves it, fed whole and split at every byte: the split must not matter.
TRecognised Recognise(const CorpusReplies::TRow& Row) {
  const std::string Raw(Row.Raw, Row.Size);
  TRecognised Whole;
  TReplyScan Scan;
  Whole.Outcome = RecogniseArrival(Whole.Buffer, Scan, Raw);
  for (std::size_t Split = 1; Split < Raw.size(); ++Split) {
    std::string Buffer;
    TReplyScan SplitScan;
    const TReplyOutcome First = RecogniseArrival(Buffer, SplitScan, Raw.substr(0, Split));
    const TReplyOutcome Second = RecogniseArrival(Buffer, SplitScan, Raw.substr(Split));
    EXPECT_EQ(First.Complete || Second.Complete, Whole.Outcome.Complete) << Row.Name << " split at " << Split;
    EXPECT_EQ(First.Failed || Second.Failed, Whole.Outcome.Failed) << Row.Name << " split at " << Split;
    if (Whole.Outcome.Complete && !Whole.Outcome.Failed) {
      EXPECT_EQ(Buffer, Whole.Buffer) << Row.Name << " at " << Split;
    }
  }
  return Whole;
}

const CorpusReplies::TRow& Row(const std::string& Name) {
  for (const auto& Row : CorpusReplies::Rows)
    if (Row.Name == Name) return Row;
  throw std::runtime_error("no corpus row " + Name);
}

TEST(CorpusReplies, EveryReplyEndsAsItsFinalResultSays) {
  const struct {
    const char* Name;
    bool Failed;
    std::size_t Boxes;  // the error boxes the user sees
  } Cases[] = {
      {"cgsn_huawei_k3715_fixture", false, 0},
      {"cpms_q_gnokii", false, 0},
      {"cpms_q_huawei_dongle", false, 0},
      {"cpbs_q_huawei_e173", false, 0},
      {"cpbr_samsung_cr_cr", false, 0},
      {"cpbr_ucs2_generic", false, 0},
      {"cpbr_ucs2_nokia2730", false, 0},
      {"cpbr_ucs2_motorola", false, 0},
      {"cpbr1_empty_ok_gtm382", false, 0},
      {"cpbr1_cme_error_22", true, 1},
      {"csca_q_1", false, 0},
      {"csca_q_2", false, 0},
      {"csca_q_huawei_k4510", false, 0},
      {"csca_q_plain", false, 0},
      {"csca_q_no_plus_145", false, 0},
      {"csca_q_empty", false, 0},
      {"csca_q_ucs2_quoted", false, 0},
      {"csca_q_ucs2_unquoted", false, 0},
      {"csca_q_cms_error_330_fixture", true, 0},  // no service centre: the exchange stays silent
      {"cmgs_prompt", false, 0},
      {"cmgs_result_tail", false, 0},
      {"cmgw_result_huawei_dongle", false, 0},
      {"cms_cme_errors_huawei_dongle", true, 2},  // the replies of two commands in one arrival
      {"cmgr34_cms_error_321", true, 1},
      {"cmgl4_huawei_e1752", false, 0},
      {"cmgl_generic_modemmanager", false, 0},
      {"cmgl_pantech_modemmanager", false, 0},
      {"cmgl4_pdu_fixture_pygsmmodem", false, 0},
  };
  ASSERT_EQ(std::size(Cases), std::size(CorpusReplies::Rows));
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TRecognised Reply = Recognise(Row(Case.Name));
    EXPECT_TRUE(Reply.Outcome.Complete);
    EXPECT_EQ(Reply.Outcome.Failed, Case.Failed);
    EXPECT_EQ(Reply.Outcome.Boxes.size(), Case.Boxes);
  }
}

TEST(CorpusReplies, MemoryStatusAndPhonebookStorage) {
  const struct {
    const char* Name;
    int Used, Total;
  } Memory[] = {{"cpms_q_gnokii", 2, 10}, {"cpms_q_huawei_dongle", 65, 100}};
  for (const auto& Case : Memory) {
    const TMemoryStatus Status = ParseMemoryStatus(Recognise(Row(Case.Name)).Buffer);
    EXPECT_EQ(Status.Used, Case.Used) << Case.Name;
    EXPECT_EQ(Status.Total, Case.Total) << Case.Name;
  }
  const TPhonebookStorage Storage = ParsePhonebookStorage(Recognise(Row("cpbs_q_huawei_e173")).Buffer);
  EXPECT_EQ(Storage.Used, 0);
  EXPECT_EQ(Storage.Total, 1);
  EXPECT_FALSE(HasS40TypeCode(Recognise(Row("cgsn_huawei_k3715_fixture")).Buffer));
}

TEST(CorpusReplies, PhonebookEntries) {
  const struct {
    const char* Name;
    std::string Number, NameHex, Text;
    bool Counted;  // both a number and a name: the entry takes its place in the phone book
  } Cases[] = {
      // Control bytes and a line end inside the number's quotes: the entry is whole all the same.
      {"cpbr_samsung_cr_cr", "\x0e\x04\n\xa1$_   ", "O2 AsistZahr", "", true},
      {"cpbr_ucs2_generic", "", "005300740061006E006C006500790020005000610075006C", "Stanley Paul", false},
      {"cpbr_ucs2_nokia2730", "", "005300740065007600650020002000560069006E0073006F006E", "Steve  Vinson", false},
      {"cpbr_ucs2_motorola", "030450566735", "", "", false},  // a name without quotes
      {"cpbr1_empty_ok_gtm382", "", "", "", false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TPhonebookReply Entry = CutPhonebookEntry(Recognise(Row(Case.Name)).Buffer);
    EXPECT_EQ(Entry.Number, Case.Number);
    EXPECT_EQ(Entry.NameHex, Case.NameHex);
    EXPECT_EQ(UCS2HexToText(Entry.NameHex), Case.Text);
    EXPECT_EQ(!Entry.Number.empty() && !Entry.NameHex.empty(), Case.Counted);
  }
}

TEST(CorpusReplies, ServiceCentreAddresses) {
  const struct {
    const char* Name;
    const char* Address;
  } Cases[] = {
      {"csca_q_1", "+62816124"},
      {"csca_q_2", "+6289644000001"},
      {"csca_q_huawei_k4510", "+32475161616"},
      {"csca_q_plain", "+79168999100"},
      {"csca_q_no_plus_145", "+6281100000"},  // type 145 without "+": international all the same
      {"csca_q_empty", ""},
      {"csca_q_ucs2_quoted", "+447802092035"},  // a phone left in UCS2 writes the address in hex
      {"csca_q_ucs2_unquoted", ""},             // no quotes: no address
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(ServiceCentreOfReply(Recognise(Row(Case.Name)).Buffer), Case.Address) << Case.Name;
}

TEST(CorpusReplies, SendAndStoreResults) {
  EXPECT_EQ(ReplyNumber(Recognise(Row("cmgs_result_tail")).Buffer, "+CMGS:"), 73);
  EXPECT_EQ(ReplyNumber(Recognise(Row("cmgw_result_huawei_dongle")).Buffer, "+CMGW:"), 35);
}

TEST(CorpusReplies, Listings) {
  const struct {
    const char* Name;
    std::vector<int> Indexes;
    std::vector<int> Statuses;
    std::map<int, std::string> Senders;  // by list position: the decoded originating address
    std::map<int, std::string> Texts;
  } Cases[] = {
      {"cmgl4_huawei_e1752", {0}, {0}, {{0, "+33660334189"}}, {{0, "Test"}}},
      {"cmgl_generic_modemmanager", {0, 1, 2}, {1, 1, 1}, {{0, "22167"}, {2, "22167"}}, {}},
      {"cmgl_pantech_modemmanager", {17, 15, 13, 11}, {3, 3, 3, 3}, {}, {}},
      {"cmgl4_pdu_fixture_pygsmmodem", {0, 1, 2}, {0, 1, 1}, {{0, "+27748577604"}}, {}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Buffer = Recognise(Row(Case.Name)).Buffer;
    std::string_view Rest = Buffer;
    std::vector<TListedMessage> Listed;
    for (TListedMessage Message; CutListedMessage(Rest, Message);) Listed.push_back(Message);
    ASSERT_EQ(Listed.size(), Case.Indexes.size());
    for (std::size_t I = 0; I < Listed.size(); ++I) {
      const TListingHeader Header = ParseListingHeader(Listed[I].Header);
      EXPECT_EQ(Header.Index, Case.Indexes[I]);
      EXPECT_EQ(Header.Status, Case.Statuses[I]);
      const int Position = static_cast<int>(I);
      if (!Case.Senders.count(Position)) continue;
      std::string SCA, OA, UD;
      bool Flash = false;
      SMSEngine::TDateTime SCTS = 0;
      ASSERT_TRUE(SMSEngine::DecodeDeliverPDU(Listed[I].PDU, SCA, OA, Flash, SCTS, UD));
      EXPECT_EQ(OA, Case.Senders.at(Position));
      if (Case.Texts.count(Position)) {
        EXPECT_EQ(UD, Case.Texts.at(Position));
      }
    }
  }
}

}  // namespace
