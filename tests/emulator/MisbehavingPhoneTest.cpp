// The phone's options for misbehaving on purpose, and what it keeps of what a client stores.
#include <gtest/gtest.h>

#include <thread>

#include "emulator/SimPhone.h"
#include "tests/emulator/PtyClient.h"

namespace {

const char* const Sim =
    "serial 350077809876543\n"
    "sca +491710760000 145\n"
    "memory 5\n"
    "sms 1 0 07913366003051F5040B913366304381F900005180719120348004D4F29C0E\n";

// A SUBMIT without service centre field in front ("00"), 23 octets after it.
const std::string SendPdu = "0001000B919471563412F000000BC8329BFD06DDDF723619";

struct TPhone {
  explicit TPhone(TPhoneOptions Options = {}) : Phone(ParseSimText(Sim), std::move(Options)) {
    Phone.Start();
    Client = std::make_unique<TPtyClient>(Phone.DevicePath());
  }
  TSimPhone Phone;
  std::unique_ptr<TPtyClient> Client;
};

std::string Ok(const std::string& Echo, const std::string& Info = {}) {
  return Echo + (Info.empty() ? "" : "\r\n" + Info + "\r\n") + "\r\nOK\r\n";
}

std::string Store(TPtyClient& Client, const std::string& Command, const std::string& Pdu) {
  const std::string prompt = Client.Command(Command + "\r");
  if (prompt != Command + "\r\r\n> ") return "no prompt: " + prompt;
  return Client.Command(Pdu + "\x1a");
}

int Count(const std::string& Text, const std::string& Pattern) {
  int n = 0;
  for (auto p = Text.find(Pattern); p != std::string::npos; p = Text.find(Pattern, p + Pattern.size())) ++n;
  return n;
}

// What the phone accepts, its SIM file holds: stored, saved and loaded again, the SIM is the same.
// What the file could not hold, the phone refuses.
TEST(SimFileRoundTrip, WhatThePhoneTakesTheFileHolds) {
  TPhone f;
  TPtyClient& c = *f.Client;
  EXPECT_EQ(c.Command("AT+CSCA=\"+\"\r\n"), "AT+CSCA=\"+\"\r\n\r\nERROR\r\n");
  EXPECT_EQ(c.Command("AT+CSCA=\"+4917\"\r\n"), Ok("AT+CSCA=\"+4917\"\r\n"));
  const std::string tooLong = "00" + std::string(255 * 2, '1');  // 256 octets, 255 after the SCA field
  EXPECT_EQ(Store(c, "AT+CMGW=255", tooLong), tooLong + "\x1a\r\n+CMS ERROR: 304\r\n");
  // A status report's length: the phone checks the layout of a SUBMIT or DELIVER only.
  const std::string longest = "0002" + std::string((MaxStoredPduOctets - 2) * 2, '1');
  EXPECT_EQ(Store(c, "AT+CMGW=" + std::to_string(MaxStoredPduOctets - 1) + ",3", longest),
            Ok(longest + "\x1a", "+CMGW: 2"));
  EXPECT_EQ(Store(c, "AT+CMGW=23", SendPdu), Ok(SendPdu + "\x1a", "+CMGW: 3"));

  const TSimCard stored = f.Phone.Sim();
  TSimCard loaded;
  ASSERT_NO_THROW(loaded = ParseSimText(SimToText(stored)));
  EXPECT_EQ(SimToText(loaded), SimToText(stored));
  EXPECT_EQ(loaded.SCA, "+4917");
  ASSERT_EQ(loaded.Messages.size(), 3u);
  EXPECT_EQ(loaded.Messages.at(2).PDU, longest);
  EXPECT_EQ(loaded.Messages.at(2).Status, 3);
  EXPECT_EQ(loaded.Messages.at(3).PDU, SendPdu);
}

// A client that closes in the middle of a command line leaves nothing behind for the next one,
// whether the phone read the half line before the close or finds it waiting after.
TEST(SimPhone, HalfALineOfAClientThatWentIsForgotten) {
  TPhone f;
  for (int pauseMs : {0, 100}) {
    SCOPED_TRACE(pauseMs);
    f.Client->Send("AT+CG");
    if (pauseMs) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    f.Client->Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    f.Client->Open(f.Phone.DevicePath());
    ASSERT_TRUE(f.Client->IsOpen());
    EXPECT_EQ(f.Client->Command("AT+CGMM\r\n"), Ok("AT+CGMM\r\n", "S40"));
  }
}

TEST(PhoneOptions, ClaimUsedChangesOnlyTheCount) {
  TPhoneOptions options;
  options.ClaimUsed = 5000000;
  TPhone f(options);
  EXPECT_EQ(f.Client->Command("AT+CPMS?\r\n"),
            Ok("AT+CPMS?\r\n", "+CPMS: \"SM\",5000000,5,\"SM\",5000000,5,\"SM\",5000000,5"));
  EXPECT_EQ(Count(f.Client->Command("AT+CMGL=4\r\n"), "+CMGL: "), 1);
}

TEST(PhoneOptions, FloodSendsItsLineBetweenReplies) {
  TPhoneOptions options;
  options.Flood = "RING";
  options.FloodMs = 10;
  TPhone f(options);
  const std::string idle = f.Client->ReadFor(500);
  EXPECT_GE(Count(idle, "\r\nRING\r\n"), 5) << "a line every 10 ms, or a little slower";
  EXPECT_EQ(Count(idle, "\r\nRING\r\n") * 8, static_cast<int>(idle.size())) << "nothing but whole lines";
  // Commands are still answered in between.
  f.Client->Send("AT+CGMM\r\n");
  const std::string reply = f.Client->ReadFor(300);
  EXPECT_NE(reply.find("\r\nS40\r\n"), std::string::npos);
  EXPECT_NE(reply.find("\r\nOK\r\n"), std::string::npos);
}

TEST(PhoneOptions, StreamAnswersWithEndlessTextAndOptionalFinal) {
  struct TCase {
    int Line;
    std::string Final;
  };
  for (const TCase& tc : {TCase{0, ""}, TCase{80, "OK"}}) {
    SCOPED_TRACE(tc.Line);
    TPhoneOptions options;
    options.Stream = "AT+CMGL";
    options.StreamBytes = 1000;
    options.StreamLine = tc.Line;
    options.StreamFinal = tc.Final;
    TPhone f(options);
    f.Client->Send("AT+CMGL=4\r\n");
    const std::string got = f.Client->ReadFor(500);
    ASSERT_EQ(got.substr(0, 11), "AT+CMGL=4\r\n");
    const std::string text = got.substr(11);
    const int breaks = tc.Line ? (1000 - 1) / tc.Line : 0;
    const std::string final = tc.Final.empty() ? "" : "\r\n" + tc.Final + "\r\n";
    EXPECT_EQ(text.size(), 1000u + 2 * breaks + final.size());
    EXPECT_EQ(Count(text, "\r\n"), breaks + (tc.Final.empty() ? 0 : 2));
    EXPECT_EQ(text.substr(text.size() - final.size()), final);
    // The phone answers the next command as usual.
    EXPECT_EQ(f.Client->Command("AT+CGMM\r\n"), Ok("AT+CGMM\r\n", "S40"));
  }
}

}  // namespace
