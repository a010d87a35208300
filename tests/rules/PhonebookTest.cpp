// Taking apart the phone book replies, decoding the names and matching them to the message list.
#include "rules/Phonebook.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(HexQuadToInt, ReadsFourUpperCaseDigits) {
  const struct {
    const char* Text;
    int Value;
  } Cases[] = {
      {"0000", 0},  {"0041", 0x41}, {"00E4", 0xE4}, {"FFFF", 0xFFFF}, {"03B2004D", 0x3B2},  // only the first four count
      {"00e4", -1}, {"ffff", -1},  // lower-case digits are not the phone's
      {"00G1", -1}, {" 041", -1},   {"00-1", -1},   {"004", -1},      {"", -1},
  };
  for (const auto& Case : Cases) EXPECT_EQ(HexQuadToInt(Case.Text), Case.Value) << Case.Text;
}

TEST(UCS2HexToText, DecodesToTheCodePage) {
  const struct {
    const char* Hex;
    std::string Text;
  } Cases[] = {
      {"0041006E006E0061", "Anna"},
      {"004D00FC006C006C00650072", "M\xFCller"},
      {"0053006303B2", "Sc\xDF"},  // the phone's sharp s is the Greek small beta
      {"03B2006503B2",
       "\xDF"
       "e\xDF"},  // wherever it stands
      {"", ""},
      // Above 00FF: the code page's own characters, else '?'.
      {"20AC0031",
       "\x80"
       "1"},
      {"0152017D201E", "\x8C\x8E\x84"},
      {"0141006F0064007A", "?odz"},  // Lodz with a stroke
      {"03A9", "?"},                 // Greek capital omega
      {"4E2D6587", "??"},
      {"D83DDE00", "??"},  // a surrogate pair
      // Incomplete groups are dropped, groups that are no upper-case hex are left out.
      {"004100", "A"},
      {"00410", "A"},
      {"004", ""},
      {"0041006e0042", "AB"},
      {"03b20041", "A"},
      {"00 A0041", "A"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(UCS2HexToText(Case.Hex), Case.Text) << Case.Hex;
}

TEST(PhonebookStorage, UsedAndTotal) {
  const struct {
    const char* Reply;
    int Used, Total, Last;
  } Cases[] = {
      {"+CPBS: \"SM\",12,250", 12, 250, 250},
      {"\r\n+CPBS: \"SM\",12,250\r\n", 12, 250, 250},
      {"+CPBS: \"SM\",0,250", 0, 250, 250},
      {"+CPBS: \"SM\",3,250,\"extra\"", 3, 250, 250},
      {"+CPBS: \"SM\",3", 3, 0, 1000},  // no total: the reading's own bound
      {"+CPBS: \"SM\",3\r\n", 3, 0, 1000},
      {"+CPBS: \"SM\",3,", 3, 0, 1000},
      {"+CPBS: \"SM\",3,lots", 3, 0, 1000},
      {"+CPBS: \"SM\",3,0", 3, 0, 1000},
      {"+CPBS: \"SM\",3,-5", 3, 0, 1000},
      {"+CPBS: \"SM\", 7,100", 7, 100, 100},  // padded
      {"+XYZ: 1,2\r\n+CPBS: \"SM\",5,100", 5, 100, 100},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Reply);
    const TPhonebookStorage Storage = ParsePhonebookStorage(Case.Reply);
    EXPECT_EQ(Storage.Used, Case.Used);
    EXPECT_EQ(Storage.Total, Case.Total);
    EXPECT_EQ(PhonebookLastLocation(Storage), Case.Last);
  }
}

TEST(PhonebookStorage, AUsedCountThatIsNoCountIsAConversionError) {
  const struct {
    const char* Reply;
    const char* Message;
  } Cases[] = {
      {"+CPBS: \"SM\",x,250", "'x' is not a valid integer value"},
      {"+CPBS: \"SM\",-1,250", "'-1' is not a valid integer value"},
      {"+CPBS: \"SM\"", "'' is not a valid integer value"},
      {"", "'' is not a valid integer value"},
      {"+CPBS: \"SM\",,250", "'' is not a valid integer value"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Reply);
    try {
      ParsePhonebookStorage(Case.Reply);
      ADD_FAILURE() << "accepted";
    } catch (const SMSEngine::EConvertError& Error) {
      EXPECT_STREQ(Error.what(), Case.Message);
    }
  }
}

TEST(PhonebookEntry, NumberAndNameText) {
  const struct {
    const char* Reply;
    const char* Number;
    const char* NameHex;
  } Cases[] = {
      {"+CPBR: 1,\"+4930123456\",145,\"0041006E006E0061\"", "+4930123456", "0041006E006E0061"},
      {"\r\n+CPBR: 1,\"+4930123456\",145,\"0041\"\r\n", "+4930123456", "0041"},
      {"+CPBR: 12,\"030123\",129,\"0041\",0,\"x\"", "030123", "0041"},  // fields after the name
      {"", "", ""},                                                     // an empty location
      {"\r\n", "", ""},
      {"+CPBR: 4,\"0301234\",129,\"\"", "0301234", ""},
      {"+CPBR: 4,\"0301234\",129", "0301234", ""},
      {"+CPBR: 4,\"\",129,\"0041\"", "", "0041"},
      {"+CPBR: 4,\"0301234", "", ""},  // cut short
      {"+CPBR: 4,\"0301234\",129,\"0041", "0301234", ""},
      {"+XYZ: \"a\",\"b\",\"c\"\r\n+CPBR: 2,\"123\",129,\"0042\"", "123", "0042"},
      {"\"a\",\"b\",\"c\"", "", ""},  // no entry line at all
      // A line end inside a quoted field belongs to the field (a real phone's raw number).
      {"\r\n+CPBR: 241,\"\x0e\x04\n\xa1$_   \",129,\"004F0032\",0\r\n", "\x0e\x04\n\xa1$_   ", "004F0032"},
      {"+CPBR: 5,\"030\r\n123\",129,\"0041\r\n0042\"\r\n", "030\r\n123", "0041\r\n0042"},
      {"x+CPBR: 1,\"9\",129,\"0041\"\r\n+CPBR: 2,\"123\",129,\"0042\"", "123", "0042"},  // a prefix inside a line
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Reply);
    const TPhonebookReply Entry = CutPhonebookEntry(Case.Reply);
    EXPECT_EQ(Entry.Number, Case.Number);
    EXPECT_EQ(Entry.NameHex, Case.NameHex);
  }
}

SMSEngine::TMessageList Record(std::string DA, std::string OA, std::string Name = "") {
  SMSEngine::TMessageList Entry;
  Entry.DA = std::move(DA);
  Entry.OA = std::move(OA);
  Entry.Name = std::move(Name);
  return Entry;
}

TEST(MatchNames, TailsOfEightInPhonebookOrder) {
  const std::vector<TPhonebookList> Phonebook = {
      {"", "Nobody"},  // a number never read matches no record without one
      {"+4930123456", "Anna"}, {"1234", "Kurz"}, {"+491701111111", "Ben"}, {"+491702222222", "Cara"},
  };
  const struct {
    SMSEngine::TMessageList Message;
    const char* Name;
  } Cases[] = {
      {Record("", "030123456"), "Anna"},  // both tails are 30123456
      {Record("030123456", ""), "Anna"},  // a stored message on its destination
      {Record("", "+4930123456"), "Anna"},
      {Record("", "030 123456"), "Anna"},  // the same number, written with a blank
      {Record("", "0049 30 123456"), ""},  // the tail rule normalises nothing
      {Record("", "0301234567"), ""},
      {Record("1234", ""), "Kurz"},  // shorter numbers are compared whole
      {Record("", "01234"), ""},
      {Record("", "234"), ""},
      {Record("", ""), ""},
      {Record("+491702222222", "+491701111111"), "Ben"},  // the first entry matching either
      {Record("+491701111111", "+491702222222"), "Ben"},
      {Record("+4930123456", "", "Old name"), "Old name"},  // a name once set is kept
  };
  std::vector<SMSEngine::TMessageList> Messages;
  for (const auto& Case : Cases) Messages.push_back(Case.Message);
  MatchNames(Messages, Phonebook);
  for (std::size_t I = 0; I < std::size(Cases); ++I)
    EXPECT_EQ(Messages[I].Name, Cases[I].Name) << "DA " << Cases[I].Message.DA << " OA " << Cases[I].Message.OA;

  // Another phone book later fills only what is still empty.
  MatchNames(Messages, {{"0301234567", "Late"}, {"030123456", "Other"}});
  EXPECT_EQ(Messages[5].Name, "Late");
  EXPECT_EQ(Messages[0].Name, "Anna");
}

TEST(MatchNames, TheNumberItselfWinsOverAnEqualTail) {
  const std::vector<TPhonebookList> Phonebook = {
      {"+4930 12345678", "Anna M\xfcller"},
      {"04012345678", "Praxis Dr. \xd6zt\xfcrk"},
      {"+49 171 555-0101", "Ben"},
      {"0171 5550101", "Ben privat"},
      {"+15550100", "Cara"},
      {"0612345678", "Dora"},
  };
  const struct {
    SMSEngine::TMessageList Message;
    const char* Name;
  } Cases[] = {
      {Record("", "04012345678"), "Praxis Dr. \xd6zt\xfcrk"},  // exact, though Anna's tail comes first
      {Record("04012345678", ""), "Praxis Dr. \xd6zt\xfcrk"},
      {Record("", "+4930 1234 5678"), "Anna M\xfcller"},  // exact once the blanks are dropped
      {Record("", "+4917155501 01"), "Ben"},
      {Record("", "01715550101"), "Ben"},  // national against +49: the first such entry
      {Record("", "+491715550101"), "Ben"},
      {Record("", "+33612345678"), "Dora"},  // +33 against 0: the same rest
      {Record("", "15550100"), "Cara"},      // no number the same: the tail of eight decides
      {Record("", "0015550100"), "Cara"},
      {Record("", "99912345678"), "Anna M\xfcller"},  // tails only: Anna's entry comes first
      {Record("", "+"), ""},
      {Record("", "-"), ""},
  };
  std::vector<SMSEngine::TMessageList> Messages;
  for (const auto& Case : Cases) Messages.push_back(Case.Message);
  MatchNames(Messages, Phonebook);
  for (std::size_t I = 0; I < std::size(Cases); ++I)
    EXPECT_EQ(Messages[I].Name, Cases[I].Name) << "DA " << Cases[I].Message.DA << " OA " << Cases[I].Message.OA;
}

TEST(MatchNames, SameNumber) {
  const struct {
    const char* A;
    const char* B;
    bool Same;
  } Cases[] = {
      {"030123456", "030123456", true},
      {"030 123-456", "030123456", true},
      {"+4930123456", "030123456", true},
      {"030123456", "+4930123456", true},
      {"+130123456", "030123456", true},
      {"+4930123456", "0130123456", false},
      {"+4930123456", "0030123456", false},
      {"0030123456", "030123456", false},
      {"+030123456", "030123456", false},
      {"", "", false},
      {" - ", "", false},
      {"1234", "01234", false},
      {"+4930", "030", true},
      {"+49", "0", false},
  };
  for (const auto& Case : Cases) EXPECT_EQ(SameNumber(Case.A, Case.B), Case.Same) << Case.A << " / " << Case.B;
}

TEST(MatchNames, NumberTail) {
  EXPECT_EQ(NumberTail("+4930123456"), "30123456");
  EXPECT_EQ(NumberTail("12345678"), "12345678");
  EXPECT_EQ(NumberTail("1234"), "1234");
  EXPECT_EQ(NumberTail(""), "");
}

}  // namespace
