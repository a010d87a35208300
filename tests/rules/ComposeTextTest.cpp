// The text work of composing: destination numbers, address checks, the numbers in the phone's
// replies and the place of a stored message. No window, no line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "rules/ComposeText.h"
#include "rules/Reply.h"

using SMSEngine::TMessageList;

TEST(DestinationNumber, TakesWhatStandsInTheLastParentheses) {
  const struct {
    std::string Text, Number;
  } Cases[] = {
      {"Anna (+4930)", "+4930"},
      {"Bob (work) (0301)", "0301"},
      {"(0)3012", "0)301"},  // typed by hand: cut as if it were an item
      {"+491711234567", "+491711234567"},
      {"", ""},
      {"(", ""},
      {"Carl (", "Carl "},
  };
  for (const auto& Case : Cases) EXPECT_EQ(DestinationNumber(Case.Text), Case.Number) << Case.Text;
}

TEST(CleanAddress, DropsBlanksAndHyphensAndRefusesTheRest) {
  const struct {
    std::string Text;
    std::optional<std::string> Address;
  } Cases[] = {
      {"+491711234567", "+491711234567"},
      {"0171 123-45 67", "01711234567"},
      {" +49 171 ", "+49171"},
      {"1", "1"},
      {"12345678901234567890", "12345678901234567890"},
      {"+12345678901234567890", "+12345678901234567890"},
      {"123456789012345678901", std::nullopt},  // 21 digits
      {"", std::nullopt},
      {"+", std::nullopt},
      {" - ", std::nullopt},
      {"0171x", std::nullopt},
      {"0)301", std::nullopt},
      {"49+171", std::nullopt},
      {"++49", std::nullopt},
      {"\"+49\"", std::nullopt},
      {"*100#", std::nullopt},
  };
  for (const auto& Case : Cases) EXPECT_EQ(CleanAddress(Case.Text), Case.Address) << Case.Text;
}

TEST(ServiceCentreOfReply, TakesTheTextBetweenTheFirstTwoQuotes) {
  EXPECT_EQ(ServiceCentreOfReply("+CSCA: \"+491710760000\",145"), "+491710760000");
  EXPECT_EQ(ServiceCentreOfReply("+CSCA: \"\",129"), "");
  EXPECT_EQ(ServiceCentreOfReply("+CSCA: +491710760000,145"), "");
  EXPECT_EQ(ServiceCentreOfReply("+CSCA: \"+4917"), "");
  EXPECT_EQ(ServiceCentreOfReply(""), "");
}

TEST(ServiceCentreOfReply, AnInternationalTypeGivesTheAddressItsPlus) {
  const struct {
    const char* Reply;
    const char* Address;
  } Cases[] = {
      {"+CSCA: \"6281100000\",145", "+6281100000"},       // a real phone's reply
      {"+CSCA: \"6281100000\", 145\r\n", "+6281100000"},  // a blank after the comma
      {"+CSCA: \"6281100000\",159", "+6281100000"},       // international, another numbering plan
      {"+CSCA: \"+6281100000\",145", "+6281100000"},      // a "+" already there stays single
      {"+CSCA: \"0301234567\",129", "0301234567"},        // national: as it stands
      {"+CSCA: \"0301234567\",161", "0301234567"},
      {"+CSCA: \"0301234567\"", "0301234567"},  // no type
      {"+CSCA: \"0301234567\",", "0301234567"},
      {"+CSCA: \"0301234567\",x145", "0301234567"},
      {"+CSCA: \"\",145", ""},  // no address gets no "+" either
  };
  for (const auto& Case : Cases) EXPECT_EQ(ServiceCentreOfReply(Case.Reply), Case.Address) << Case.Reply;
}

// Typed text -> the counter's septets, the text as the phone keeps it, and what the label says.
TEST(TypedText, WhatGoesAsTypedAndWhatEachOtherCharacterBecomes) {
  const struct {
    const char* Name;
    std::u32string Typed;
    int Septets;
    std::string Carried;
    std::u32string Label;
  } Cases[] = {
      {"plain letters, digits and signs", U"Hello, 1-2 @ 3 $ ok?!", 21, "Hello, 1-2 @ 3 $ ok?!", U""},
      {"a line break goes as CR LF", U"a\nb", 4, "a\r\nb", U""},
      {"the nine extension characters count two", U"[\\]^{|}~\u20AC", 18, "[\\]^{|}~\x80", U""},
      {"letters of the alphabet beyond ASCII", U"\u00E4\u00F6\u00FC\u00DF\u00E9\u00A3", 6, "\xE4\xF6\xFC\xDF\xE9\xA3",
       U""},
      {"Cyrillic, curly quotes, an emoji and a half",
       U"\u041F\u0440\u0438\u0432\u0435\u0442 \u201CHi\u201D \U0001F600 \u00BD", 16, "??????  Hi  ??  ",
       U"Sent as ?: \u041F \u0440 \u0438 \u0432 \u0435 \u0442 \U0001F600 (2 ?)  Sent as blank: \u201C \u201D "
       U"\u00BD"},
      {"a tab goes as a blank", U"a\tb", 3, "a b", U"Sent as blank: Tab"},
      {"each character once, in order", U"\u2013a\u00BD\u2013\u00BD", 5, " a   ", U"Sent as blank: \u2013 \u00BD"},
      {"a letter the alphabet has only without its accent", U"\u00C0 \u00E1", 3, "A a",
       U"Sent as A: \u00C0  Sent as a: \u00E1"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TTypedText Text = TypedText(Case.Typed);
    EXPECT_EQ(Text.Septets, Case.Septets);
    EXPECT_EQ(Text.Carried, Case.Carried);
    EXPECT_TRUE(Text.Label == Case.Label) << std::string(Text.Label.begin(), Text.Label.end());
  }
}

TEST(ReplyNumber, ReadsAtMostFourDigitsAfterTheResultCode) {
  const struct {
    std::string Reply;
    std::optional<int> Number;
  } Cases[] = {
      {"+CMGS: 7", 7},
      {"+CMGS: 255", 255},
      {"+CMGS: 12345", 1234},
      {"+CMGS:7", 7},
      {"+CMGS: 7,\"01\"", 7},
      {"+CMGS: 7\r\n+CMGS: 8", 7},
      {"0011000B9194\x1A\r\n+CMGS: 42", 42},  // behind the echo of the PDU
      {"> 0011000B9194\x1A\r\n+CMGS: 42", 42},
      {"+CMGS:", std::nullopt},
      {"+CMGS: ", std::nullopt},
      {"+CMGS: x", std::nullopt},
      {"", std::nullopt},
      {"+CMGW: 12", std::nullopt},
  };
  for (const auto& Case : Cases) EXPECT_EQ(ReplyNumber(Case.Reply, "+CMGS:"), Case.Number) << Case.Reply;
}

// The reply to the PDU as a phone sends it, with and without the echo of the PDU, split into two
// arrivals at every byte: the recogniser completes it, and the number is found behind the echo.
TEST(ReplyNumber, FoundInTheRecognisedReplyWhateverTheSplit) {
  const std::string PDU = "0011000A9194214365870000AD05C8329BFD06";
  for (const bool Echo : {true, false})
    for (const std::string Code : {"+CMGS: 7", "+CMGW: 12"}) {
      const std::string Reply = (Echo ? PDU + "\x1A" : std::string()) + "\r\n" + Code + "\r\n\r\nOK\r\n";
      for (std::size_t Split = 0; Split <= Reply.size(); ++Split) {
        SCOPED_TRACE(Code + (Echo ? " echo, split at " : " no echo, split at ") + std::to_string(Split));
        std::string Buffer;
        TReplyScan Scan;
        const TReplyOutcome First = RecogniseArrival(Buffer, Scan, Reply.substr(0, Split));
        const TReplyOutcome Second = RecogniseArrival(Buffer, Scan, Reply.substr(Split));
        EXPECT_TRUE(First.Complete || Second.Complete);
        EXPECT_FALSE(First.Failed || Second.Failed);
        EXPECT_EQ(ReplyNumber(Buffer, Code.substr(0, 6)), Code[4] == 'S' ? 7 : 12);
      }
    }
}

TEST(StoredListPosition, KeepsTheListInOrderOfLocation) {
  auto List = [](std::vector<int> Indexes) {
    std::vector<TMessageList> Messages;
    for (int Index : Indexes) {
      TMessageList Entry;
      Entry.Index = Index;
      Messages.push_back(Entry);
    }
    return Messages;
  };
  const struct {
    const char* Name;
    std::vector<int> Indexes;
    int Location;
    std::size_t Position;
  } Cases[] = {
      {"empty list", {}, 1, 0},
      {"at the start", {2, 3, 4}, 1, 0},
      {"in the middle", {1, 2, 4, 5}, 3, 2},
      {"at the end", {1, 2, 3}, 4, 3},
      {"beyond a dense list", {1, 2, 3}, 30, 3},
      {"into a gap of a sparse list", {1, 5, 9}, 7, 2},
      {"before the place of an unlisted message", {1, 2, NoLocation}, 4, 2},
      {"after location 0", {0, 1, 2}, 35, 3},
      {"after location 0, before the unlisted", {0, 1, NoLocation}, 35, 2},
      {"between 0 and a later location", {0, 5}, 3, 1},
      {"at 0 into an empty memory", {NoLocation}, 0, 0},
      {"at 0 before a list that starts at 1", {1, 2}, 0, 0},
      {"a location the list already holds", {1, 2, 3}, 2, 2},
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(StoredListPosition(List(Case.Indexes), Case.Location), Case.Position) << Case.Name;
}
