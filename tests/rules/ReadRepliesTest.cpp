// Taking apart the phone's replies to the reading commands, on replies of real phones where there are some.
#include "rules/ReadReplies.h"
#include "rules/Reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TIntCase {
  const char* Text;
  bool Valid;
  int Value;
};

TEST(ReplyToInt, AcceptsDecimalAndRefusesTheRest) {
  const TIntCase Cases[] = {
      {"0", true, 0},
      {"255", true, 255},
      {"  7", true, 7},
      {"+3", true, 3},
      {"-12", true, -12},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0},
      {"99999999999999999999", false, 0},
      {"", false, 0},
      {" ", false, 0},
      {"-", false, 0},
      {"10 ", false, 0},
      {"1a", false, 0},
      {"\"SM\"", false, 0},
      {"10\r", false, 0},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    if (Case.Valid) {
      EXPECT_EQ(ReplyToInt(Case.Text), Case.Value);
    } else {
      try {
        ReplyToInt(Case.Text);
        ADD_FAILURE() << "accepted";
      } catch (const SMSEngine::EConvertError& Error) {
        // Control characters of the reply are shown, not taken for the end of the text.
        EXPECT_EQ(Error.what(), "'" + PhoneText(Case.Text) + "' is not a valid integer value");
      }
    }
  }
}

TEST(ModelCheck, LooksForTheTypeCodeAnywhere) {
  EXPECT_TRUE(HasS40TypeCode("350077801234567\r\n"));
  EXPECT_TRUE(HasS40TypeCode("IMEI 123350077802\r\n"));
  EXPECT_FALSE(HasS40TypeCode("111111111111111\r\n"));  // a modem's serial number
  EXPECT_FALSE(HasS40TypeCode("3500778\r\n"));
  EXPECT_FALSE(HasS40TypeCode(""));
}

struct TMemoryCase {
  const char* Reply;
  int Used;
  int Total;
};

TEST(MemoryStatus, ReadsTheFirstStorageOnly) {
  const TMemoryCase Cases[] = {
      {"+CPMS: \"SM\",3,10,\"SM\",3,10,\"SM\",3,10\r\n", 3, 10},
      {"+CPMS: \"ME\",3,10,\"SM\",7,250,\"BM\",0,30\r\n", 3, 10},
      // a USB dongle with echo off, three storages of their own
      {"+CPMS: \"SM\",65,100,\"ME\",12,250,\"BM\",0,30\r\n", 65, 100},
      {"+CPMS: \"SM\",0,255,\"SM\",0,255,\"SM\",0,255\r\n", 0, 255},
      // a phone that names one storage only: the total ends at the line end
      {"+CPMS: \"SM\",2,10\r\n", 2, 10},
      {"+CPMS: \"SM\",2,10", 2, 10},
      {"+CMTI: \"SM\",4\r\n+CPMS: \"SM\",5,10,\"SM\",5,10,\"SM\",5,10\r\n", 5, 10},  // a new message arriving
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Reply);
    const auto Status = ParseMemoryStatus(Case.Reply);
    EXPECT_EQ(Status.Used, Case.Used);
    EXPECT_EQ(Status.Total, Case.Total);
  }
}

TEST(MemoryStatus, MalformedCountRaisesTheConversionError) {
  const std::pair<const char*, const char*> Cases[] = {
      {"+CPMS: \"SM\",x,10,\"SM\",0,10\r\n", "'x' is not a valid integer value"},
      {"+CPMS: \"SM\",3,ten,\"SM\",0,10\r\n", "'ten' is not a valid integer value"},
      {"+CPMS: \"SM\"\r\n", "'' is not a valid integer value"},
      {"OK", "'' is not a valid integer value"},
      {"+CPMS: \"SM\",-1,10,\"SM\",0,10\r\n", "'-1' is not a valid integer value"},
      {"", "'' is not a valid integer value"},
  };
  for (const auto& [Reply, Message] : Cases) {
    SCOPED_TRACE(Reply);
    try {
      ParseMemoryStatus(Reply);
      ADD_FAILURE() << "accepted";
    } catch (const SMSEngine::EConvertError& Error) {
      EXPECT_STREQ(Error.what(), Message);
    }
  }
}

struct THeaderCase {
  const char* Header;
  int Index;
  int Status;
  const char* Alpha;
  int PDULength;
};

TEST(ListingHeader, FieldsOfTheHeaderLine) {
  const THeaderCase Cases[] = {
      {"+CMGL: 1,1,,23", 1, 1, "", 23},
      {"+CMGL: 0,0,,23", 0, 0, "", 23},
      {"+CMGL: 17,3,,35", 17, 3, "", 35},
      {"+CMGL: 254,2,\"Home\",160", 254, 2, "\"Home\"", 160},
      {"+CMGL: 4,1,\"Smith, J\",40", 4, 1, "\"Smith, J\"", 40},  // a comma inside the quoted alpha
      {"+CMGL: 17,3,35", 17, 3, "", 35},                         // a modem that leaves the alpha out
      {"+CMGL:0,1,,21", 0, 1, "", 21},                           // a dongle without the blank
      {"5,2,,26", 5, 2, "", 26},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Header);
    const auto Fields = ParseListingHeader(Case.Header);
    EXPECT_EQ(Fields.Index, Case.Index);
    EXPECT_EQ(Fields.Status, Case.Status);
    EXPECT_EQ(Fields.Alpha, Case.Alpha);
    EXPECT_EQ(Fields.PDULength, Case.PDULength);
  }
}

TEST(ListingHeader, MalformedNumbersRaiseTheConversionError) {
  const std::pair<const char*, const char*> Cases[] = {
      {"+CMGL: x,1,,23", "'x' is not a valid integer value"},    {"+CMGL: 1,,,23", "',' is not a valid integer value"},
      {"+CMGL: 1", "'' is not a valid integer value"},           {"+CMGL: 1,1,,", "'' is not a valid integer value"},
      {"+CMGL: 1,1,,23x", "'23x' is not a valid integer value"}, {"+CMGL: ", "'' is not a valid integer value"},
  };
  for (const auto& [Header, Message] : Cases) {
    SCOPED_TRACE(Header);
    try {
      ParseListingHeader(Header);
      ADD_FAILURE() << "accepted";
    } catch (const SMSEngine::EConvertError& Error) {
      EXPECT_STREQ(Error.what(), Message);
    }
  }
}

std::vector<TListedMessage> CutAll(std::string_view Listing) {
  std::vector<TListedMessage> All;
  TListedMessage Message;
  while (CutListedMessage(Listing, Message)) All.push_back(Message);
  EXPECT_TRUE(Listing.empty());
  return All;
}

// A listing of a USB modem (echo and OK already cut away by the exchange).
const char* const E1752Pdu = "07913366003051F5040B913366304381F900005180719120348004D4F29C0E";

struct TCutCase {
  const char* Name;
  std::string Listing;
  std::vector<std::pair<std::string, std::string>> Expected;  // header, PDU
};

TEST(ListedMessages, CutsHeaderAndPDULines) {
  const std::string P1 = "07917248014000F3240B917247587706F400003110824115248012C8329BFD06C9C373B8B82C97E741F034";
  const std::string P2 = "0011000A9194214365870000AD05C8329BFD06";
  // a PDU that an unsolicited line broke in two, as a dongle sent it
  const std::string Broken1 = "07913306091040F0040B913336766883F500007120528150104017CFF7FB0D0A83C2207618E42697E5F7";
  const std::string Broken2 = "72580E229701";
  const TCutCase Cases[] = {
      {"one message", std::string("+CMGL: 0,0,,23\r\n") + E1752Pdu + "\r\n", {{"+CMGL: 0,0,,23", E1752Pdu}}},
      {"last line without CR LF", std::string("+CMGL: 0,0,,23\r\n") + E1752Pdu, {{"+CMGL: 0,0,,23", E1752Pdu}}},
      {"two messages",
       "+CMGL: 0,0,,35\r\n" + P1 + "\r\n+CMGL: 3,2,,18\r\n" + P2 + "\r\n",
       {{"+CMGL: 0,0,,35", P1}, {"+CMGL: 3,2,,18", P2}}},
      {"blank lines and unsolicited codes between messages",
       "\r\n+CMTI: \"SM\",4\r\n+CMGL: 0,0,,35\r\n" + P1 + "\r\n\r\nRING\r\n^RSSI:17\r\n+CMGL: 3,2,,18\r\n" + P2 +
           "\r\n\r\n",
       {{"+CMGL: 0,0,,35", P1}, {"+CMGL: 3,2,,18", P2}}},
      {"unsolicited code between header and PDU",
       "+CMGL: 3,2,,18\r\n+CREG: 1\r\n" + P2 + "\r\n",
       {{"+CMGL: 3,2,,18", P2}}},
      {"PDU broken by an unsolicited line",
       "+CMGL:1,1,,40\r\n" + Broken1 + "\r\n^BOOT:37478870,0,0,0,77\r\n" + Broken2 + "\r\n+CMGL: 3,2,,18\r\n" + P2,
       {{"+CMGL:1,1,,40", Broken1 + Broken2}, {"+CMGL: 3,2,,18", P2}}},
      {"a delivered message after a complete PDU is no part of it",
       "+CMGL: 3,2,,18\r\n" + P2 + "\r\n+CMT: ,23\r\n" + E1752Pdu + "\r\n",
       {{"+CMGL: 3,2,,18", P2}}},
      {"a delivered message inside a broken PDU is no part of it",
       "+CMGL:1,1,,40\r\n" + Broken1 + "\r\n+CMT: ,23\r\n" + E1752Pdu + "\r\n" + Broken2 + "\r\n",
       {{"+CMGL:1,1,,40", Broken1 + Broken2}}},
      {"header without PDU",
       "+CMGL: 1,1,,23\r\n+CMGL: 3,2,,18\r\n" + P2 + "\r\n",
       {{"+CMGL: 1,1,,23", ""}, {"+CMGL: 3,2,,18", P2}}},
      {"header at the very end", "+CMGL: 1,1,,23", {{"+CMGL: 1,1,,23", ""}}},
      {"nothing listed", "", {}},
      {"no header at all", "\r\n+CMTI: \"SM\",4\r\n", {}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const auto All = CutAll(Case.Listing);
    ASSERT_EQ(All.size(), Case.Expected.size());
    for (std::size_t I = 0; I < All.size(); ++I) {
      EXPECT_EQ(All[I].Header, Case.Expected[I].first);
      EXPECT_EQ(All[I].PDU, Case.Expected[I].second);
    }
  }
}

}  // namespace

namespace {

// Every prefix of a real listing, and the listing with each byte replaced by a line break or a
// comma, is cut and taken apart without reading outside the text (run under AddressSanitizer) and
// without ever standing still.
TEST(ListedMessages, BrokenListingsAreCutSafely) {
  const std::string Listing =
      "+CMGL: 0,0,,35\r\n07917248014000F3240B917247587706F400003110824115248012C8329BFD06C9C373B8B82C97E741F034\r\n"
      "+CMGL:1,1,,40\r\n07913306091040F0040B913336766883F500007120528150104017CFF7FB0D0A83C2207618E42697E5F7\r\n"
      "^BOOT:37478870,0,0,0,77\r\n72580E229701\r\n+CMGL: 17,3,35\r\n0011000A9194214365870000AD05C8329BFD06\r\n";
  const auto CutAndParse = [](std::string_view Text) {
    int Cut = 0;
    TListedMessage Message;
    std::size_t Before = Text.size();
    while (CutListedMessage(Text, Message)) {
      ASSERT_LT(Text.size(), Before);
      Before = Text.size();
      ++Cut;
      try {
        ParseListingHeader(Message.Header);
      } catch (const SMSEngine::EConvertError&) {}
    }
    EXPECT_LE(Cut, 3);
  };
  for (std::size_t Length = 0; Length <= Listing.size(); ++Length)
    CutAndParse(std::string_view(Listing).substr(0, Length));
  for (std::size_t At = 0; At < Listing.size(); ++At)
    for (const char Replacement : {'\r', '\n', ',', ' ', 'F'}) {
      std::string Broken = Listing;
      Broken[At] = Replacement;
      CutAndParse(Broken);
      try {
        ParseMemoryStatus(Broken);
      } catch (const SMSEngine::EConvertError&) {}
    }
}

}  // namespace
