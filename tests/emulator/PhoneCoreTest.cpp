// The simulated phone's judgement of a message, at its command interpreter: what a real phone
// refuses with +CMS ERROR: 304 is neither sent nor stored.
#include <gtest/gtest.h>

#include <string>

#include "emulator/PhoneCore.h"

namespace {

const char* const Sim =
    "serial 350077809876543\n"
    "sca +491710760000 145\n"
    "memory 10\n";

std::string Repeat(const std::string& Octet, int Times) {
  std::string Out;
  for (int I = 0; I < Times; ++I) Out += Octet;
  return Out;
}

// A SUBMIT without service centre field to +49174165432 with PID 00, the given first octet,
// coding scheme, validity period octets and user data length.
std::string Submit(const std::string& First, const std::string& DCS, const std::string& VP, int UDL,
                   const std::string& UD) {
  char Length[3];
  std::snprintf(Length, sizeof Length, "%02X", UDL);
  return "00" + First + "00" + "0B919471563412F0" + "00" + DCS + VP + Length + UD;
}

struct TCase {
  const char* Name;
  std::string Command;  // "AT+CMGS=" or "AT+CMGW=", or a whole command line to write as it is
  std::string Pdu;
  int Length;  // -1: the PDU's own TPDU length
  bool Accepted;
};

std::string Replies(const std::vector<TPhoneOutput>& Outputs) {
  std::string Text;
  for (const TPhoneOutput& Output : Outputs)
    if (Output.IsReply) Text += Output.Bytes;
  return Text;
}

TEST(PhoneCore, RefusesWhatARealPhoneRefuses) {
  const std::string Packed160 = Repeat("00", 140);
  const TCase Cases[] = {
      {"a whole SUBMIT", "AT+CMGS=", "0001000B919471563412F000000BC8329BFD06DDDF723619", -1, true},
      {"the same, stored", "AT+CMGW=", "0001000B919471563412F000000BC8329BFD06DDDF723619", -1, true},
      {"160 septets", "AT+CMGS=", Submit("01", "00", "", 160, Packed160), -1, true},
      {"161 septets", "AT+CMGS=", Submit("01", "00", "", 161, Packed160 + "00"), -1, false},
      {"161 septets, stored", "AT+CMGW=", Submit("01", "00", "", 161, Packed160 + "00"), -1, false},
      {"255 septets", "AT+CMGS=", Submit("01", "00", "", 255, Repeat("00", 224)), -1, false},
      {"140 octets of UCS2", "AT+CMGW=", Submit("01", "08", "", 140, Repeat("00", 140)), -1, true},
      {"142 octets of UCS2", "AT+CMGW=", Submit("01", "08", "", 142, Repeat("00", 142)), -1, false},
      {"141 octets of 8-bit data", "AT+CMGW=", Submit("01", "04", "", 141, Repeat("00", 141)), -1, false},
      {"a relative validity period", "AT+CMGS=", Submit("11", "00", "AD", 1, "41"), -1, true},
      {"an absolute validity period", "AT+CMGS=", Submit("19", "00", "21102131000000", 1, "41"), -1, true},
      {"an absolute validity period cut short", "AT+CMGS=", Submit("19", "00", "211021", 0, ""), -1, false},
      {"user data cut short", "AT+CMGS=", "0001000B919471563412F000000BC8329BFD06DDDF7236", -1, false},
      {"an octet after the user data", "AT+CMGW=", "0001000B919471563412F000000BC8329BFD06DDDF72361900", -1, false},
      {"cut in the address", "AT+CMGS=", "0001000B919471", -1, false},
      {"no user data length", "AT+CMGS=", "0001000B919471563412F00000", -1, false},
      {"a length other than the PDU's", "AT+CMGS=", "0001000B919471563412F000000BC8329BFD06DDDF723619", 22, false},
      {"a length other than the PDU's, stored", "AT+CMGW=", "0001000B919471563412F000000BC8329BFD06DDDF723619", 24,
       false},
      {"not hex", "AT+CMGW=", "0001000B9194715634ZZ", 9, false},
      {"half an octet", "AT+CMGW=", "0001000B919471563412F000000BC8329BFD06DDDF7236190", 23, false},
      {"a DELIVER stored as received", "AT+CMGW=", "07913366003051F5040B913366304381F900005180719120348004D4F29C0E", -1,
       true},
      {"a DELIVER cut short", "AT+CMGW=", "07913366003051F5040B913366304381F90000518071912034", -1, false},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TPhoneCore Core(ParseSimText(Sim), {});
    const bool Send = Case.Command == "AT+CMGS=";
    const int Length = Case.Length >= 0 ? Case.Length : TPDULengthOf(Case.Pdu);
    ASSERT_GT(Length, 0);
    ASSERT_NE(Replies(Core.Feed(Case.Command + std::to_string(Length) + "\r")).find("> "), std::string::npos);
    const std::string Reply = Replies(Core.Feed(Case.Pdu + "\x1a"));
    if (Case.Accepted) {
      EXPECT_NE(Reply.find(Send ? "+CMGS: 1" : "+CMGW: 1"), std::string::npos) << Reply;
      EXPECT_EQ(Core.Outbox.size(), Send ? 1u : 0u);
      EXPECT_EQ(Core.Sim.MessagesUsed(), Send ? 0 : 1);
    } else {
      EXPECT_EQ(Reply, "\r\n+CMS ERROR: 304\r\n");
      EXPECT_TRUE(Core.Outbox.empty());
      EXPECT_EQ(Core.Sim.MessagesUsed(), 0);
    }
    // The line takes commands again.
    EXPECT_NE(Replies(Core.Feed("AT\r")).find("OK"), std::string::npos);
  }
}

}  // namespace
