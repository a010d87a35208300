// Every message of the demo SIM decodes with the program's own codec to the intended content.
#include <gtest/gtest.h>

#include "emulator/SimPhone.h"
#include "engine/SMSEngine.h"

namespace {

struct TExpected {
  int Location;
  const char* Address;
  const char* Text;  // code page 1252, line breaks as LF
  bool Flash;
};

// Line breaks may come back as CR LF: compare without CR.
std::string WithoutCR(std::string s) {
  std::erase(s, '\r');
  return s;
}

TEST(DemoSimDecode, EveryMessageDecodesAsIntended) {
  std::vector<std::string> refusals;
  SMSEngine::SetErrorReporter([&](const std::string& text) { refusals.push_back(text); });
  const TExpected expected[] = {
      {1, "+4917612345678", "Hallo! Kommst du heute Abend zum Grillen? Bring bitte W\xFCrstchen mit :-)", false},
      {2, "+4930123456", "Die Besprechung ist auf Donnerstag, 14:30 verschoben. Raum 2.07", false},
      {3, "+4915198765432",
       "Rechnung Pizza: 23,50 \x80 [2 St\xFC"
       "ck] + 4,20 \x80 {Getr\xE4nke} ~ bitte per "
       "\xDC"
       "berweisung | Danke!",
       false},
      {4, "+4915771234567", "Ihr Paket kommt morgen\nzwischen 10 und 14 Uhr.\nSendungsnr. 0034 4321 5678", false},
      {5, "2272", "Ihr Guthaben betr\xE4gt 4,87 EUR. Jetzt aufladen und 5 EUR Bonus sichern!", true},
      {6, "+491739876543",
       "Hallo Schatz, Papa und ich sind ab Freitag an der Ostsee. Der Schl\xFC"
       "ssel liegt wie "
       "immer unter dem Blumentopf. Bitte die Katze f\xFCttern! Liebe Gr\xFC\xDF"
       "e, eure Mama :)",
       false},
      {8, "+4989456789",
       "Gr\xFC\xDF"
       "e aus M\xFCnchen! Das Wetter ist sch\xF6n, morgen geht's auf die Zugspitze. "
       "Bis bald, Zoe",
       false},
      {9, "+4916044455566", "K\xF6nnen wir das Treffen auf 18 Uhr verschieben?", false},
      {10, "+4917612345678", "Klar, ich bringe Salat mit!", false},
      {11, "+4915112345678",
       "Bitte zur\xFC"
       "ckrufen:\nB\xFCro 030 1234567\nab 9 Uhr",
       false},
      {13, "04012345678",
       "Ich m\xF6"
       "chte meinen Termin am 12.01. leider absagen. MfG",
       false},
  };
  TSimCard sim = DemoSim();
  for (const auto& e : expected) {
    SCOPED_TRACE(e.Location);
    ASSERT_EQ(sim.Messages.count(e.Location), 1u);
    const TSimMessage& msg = sim.Messages.at(e.Location);
    std::string sca, address, text;
    bool flash = false;
    if (msg.Status < 2) {
      SMSEngine::TDateTime scts = 0;
      ASSERT_TRUE(SMSEngine::DecodeDeliverPDU(msg.PDU, sca, address, flash, scts, text));
      EXPECT_GT(scts, 0);
    } else {
      bool srr = false, rd = false;
      int vpf = 0, mr = 0, vpRelative = 0, vptz = 0;
      SMSEngine::TDateTime vpAbsolute = 0;
      ASSERT_TRUE(SMSEngine::DecodeSubmitPDU(msg.PDU, sca, srr, vpf, rd, mr, address, flash, vpRelative, vpAbsolute,
                                             vptz, text));
      if (e.Location == 11) {
        EXPECT_EQ(vpf, 3);
        EXPECT_TRUE(srr);
        EXPECT_TRUE(rd);
        EXPECT_EQ(vptz, 4);
      }
    }
    EXPECT_EQ(sca, "+491710760000");
    EXPECT_EQ(address, e.Address);
    EXPECT_EQ(WithoutCR(text), e.Text);
    EXPECT_EQ(flash, e.Flash);
  }
  EXPECT_EQ(WithoutCR(std::string(expected[5].Text)).size(), 160u);
  EXPECT_TRUE(refusals.empty());
}

}  // namespace
