// Composing, sending and storing from the window, against the simulated phone on a pseudo-terminal.
// Every box is answered through the seam.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "forms/UpDown.h"
#include "rules/ComposeText.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/WhileModal.h"

using SMSEngine::TMessageList;

namespace {

// A received message from +491711234567 ("Hello") and a stored one to +4930123456 ("Hi").
const std::string Received = "0791947101670000040C9194711132547600004221900251004005C8329BFD06";

std::string Submit(const std::string& DA, const std::string& Text) {
  int PDULength = 0;
  std::string PDU;
  SMSEngine::EncodeSubmitPDU("+491710760000", false, 0, false, 0, DA, false, 0, 0, 0, Text, PDULength, PDU);
  return PDU;
}
const std::string Stored = Submit("+4930123456", "Hi");

TSimCard Card(const std::vector<std::pair<int, std::string>>& Messages, int Total = 30,
              const std::string& SCA = "+491710760000") {
  TSimCard Sim;
  Sim.SCA = SCA;
  Sim.MemoryTotal = Total;
  for (const auto& [Location, PDU] : Messages) {
    TSimMessage Message;
    Message.Status = PDU == Received ? 1 : 2;
    Message.PDU = PDU;
    Sim.Messages[Location] = Message;
  }
  return Sim;
}

// The bytes the phone received, from its log.
std::string ReceivedBytes(const std::string& LogFile) {
  std::ifstream In(LogFile);
  std::string Line, Bytes;
  while (std::getline(In, Line)) {
    if (Line.size() < 17 || Line.compare(13, 4, "in  ") != 0) continue;
    for (std::size_t i = 17; i < Line.size(); ++i) {
      if (Line[i] != '\\' || i + 1 >= Line.size()) {
        Bytes += Line[i];
        continue;
      }
      const char C = Line[++i];
      if (C == 'r')
        Bytes += '\r';
      else if (C == 'n')
        Bytes += '\n';
      else if (C == 'x') {
        Bytes += static_cast<char>(std::stoi(Line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else
        Bytes += C;
    }
  }
  return Bytes;
}

int Occurrences(const std::string& Text, const std::string& Pattern) {
  int Count = 0;
  for (auto p = Text.find(Pattern); p != std::string::npos; p = Text.find(Pattern, p + 1)) ++Count;
  return Count;
}

class ComposeTest : public TFormsTest {
 protected:
  QTemporaryDir Dir;
  std::string LogFile;

  // Starts the phone with its log, reads it through the window and selects the grid's row.
  TSimPhone& Start(TSimCard Sim, TPhoneOptions Options = {}) {
    LogFile = Dir.filePath(QStringLiteral("phone.log")).toStdString();
    Options.LogFile = LogFile;
    TSimPhone& Started = StartPhone(std::move(Sim), Options);
    frmMain->btnRead->click();
    EXPECT_TRUE(frmMain->KoComm->IsOpen());
    return Started;
  }

  std::string PhoneGot() const { return ReceivedBytes(LogFile); }

  void SelectRow(int Row) {
    frmMain->sgMessages->SetRow(Row);
    frmMain->sgMessagesSelectCell(0, Row);
  }

  // Opens the dialog from Button and runs While once it is up; a dialog still open afterwards is
  // cancelled.
  void Compose(QPushButton* Button, const std::function<void()>& While) {
    const bool Ran = WhileModal(
        frmSend, [Button] { frmMain->btnNewClick(Button); },
        [&While] {
          While();
          if (frmSend->isVisible()) frmSend->btnCancel->click();
        });
    EXPECT_TRUE(Ran) << "the dialog did not open";
    EXPECT_FALSE(frmSend->isVisible());
  }

  // Fills the destination and the text.
  static void Write(const std::string& Destination, const QString& Text) {
    frmSend->combxDA->setEditText(QString::fromStdString(Destination));
    frmSend->memUD->setPlainText(Text);
  }

  std::vector<std::string> GridRow(int Row) const {
    std::vector<std::string> Cells;
    for (int Col = 0; Col < frmMain->sgMessages->ColCount(); ++Col)
      Cells.push_back(frmMain->sgMessages->Cells(Col, Row));
    return Cells;
  }

  // Every list entry stands in its grid row, in order of location, with the status picture.
  void ExpectGridFollowsList() {
    ASSERT_EQ(static_cast<int>(frmMain->Messages.size()), frmMain->MessagesUsed);
    for (int Row = 1; Row <= frmMain->MessagesUsed; ++Row) {
      const TMessageList& Entry = frmMain->Messages[static_cast<std::size_t>(Row - 1)];
      EXPECT_EQ(frmMain->sgMessages->Cells(0, Row), std::to_string(Entry.Index)) << "row " << Row;
      EXPECT_EQ(frmMain->sgMessages->Objects(1, Row), frmMain->StatusBitmap(Entry.Status)) << "row " << Row;
      if (Row > 1) {
        EXPECT_LT(frmMain->Messages[static_cast<std::size_t>(Row - 2)].Index, Entry.Index);
      }
    }
    EXPECT_EQ(frmMain->sgMessages->RowCount(), std::max(2, frmMain->MessagesUsed + 1));
    EXPECT_EQ(frmMain->lblMemory->text().toStdString(),
              std::to_string(frmMain->MessagesUsed) + "/" + std::to_string(frmMain->MessagesTotal));
  }
};

}  // namespace

// ---- Opening ----

TEST_F(ComposeTest, TheThreeButtonsPrefillTheDialog) {
  Start(Card({{1, Received}, {2, Stored}}));
  int Beeps = 0;
  frmSend->Beep = [&] { ++Beeps; };

  SelectRow(1);
  Compose(frmMain->btnNew, [] {
    EXPECT_EQ(frmSend->windowTitle(), "New message");
    EXPECT_EQ(frmSend->edSCA->text(), "+491710760000");
    EXPECT_EQ(frmSend->combxDA->currentText(), "");
    EXPECT_EQ(frmSend->memUD->toPlainText(), "");
    EXPECT_EQ(frmSend->lblChars->text(), "0/160");
    EXPECT_FALSE(frmSend->btnSend->isEnabled());
    EXPECT_FALSE(frmSend->btnStore->isEnabled());
    EXPECT_TRUE(frmSend->focusWidget() == frmSend->combxDA || frmSend->focusWidget() == frmSend->combxDA->lineEdit());
    // Something typed stays for nothing: the next opening starts afresh.
    Write("0171", "left over");
    frmSend->spedMR->setValue(9);
    EXPECT_EQ(frmSend->Composed().MR, 9);
    // A cleared reference counts as 0.
    QTest::keyClick(frmSend->spedMR, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(frmSend->spedMR, Qt::Key_Backspace);
    EXPECT_EQ(frmSend->Composed().MR, 0);
    frmSend->spedMR->setValue(9);
    frmSend->cbxSRR->setChecked(true);
    frmSend->combxVP->setCurrentIndex(2);
  });
  Compose(frmMain->btnAnswer, [] {
    EXPECT_EQ(frmSend->windowTitle(), "Answer message");
    EXPECT_EQ(frmSend->combxDA->currentText(), "+491711234567");
    EXPECT_EQ(frmSend->memUD->toPlainText(), "");
    EXPECT_EQ(frmSend->lblChars->text(), "0/160");
    EXPECT_EQ(frmSend->spedMR->value(), 0);
    EXPECT_FALSE(frmSend->cbxSRR->isChecked());
    EXPECT_EQ(frmSend->combxVP->currentIndex(), 0);
    EXPECT_EQ(frmSend->pctrlVP->currentWidget(), frmSend->tsVPNone);
    EXPECT_TRUE(frmSend->btnSend->isEnabled());
    EXPECT_TRUE(frmSend->btnStore->isEnabled());
    EXPECT_EQ(frmSend->focusWidget(), frmSend->memUD);
  });
  SelectRow(2);
  Compose(frmMain->btnForward, [] {
    EXPECT_EQ(frmSend->windowTitle(), "Forward message");
    EXPECT_EQ(frmSend->combxDA->currentText(), "");
    EXPECT_EQ(frmSend->memUD->toPlainText(), "Hi");
    EXPECT_EQ(frmSend->lblChars->text(), "2/160");
  });
  // Answering an outgoing message: nobody to answer to.
  Compose(frmMain->btnAnswer, [] { EXPECT_EQ(frmSend->combxDA->currentText(), ""); });
  EXPECT_EQ(Beeps, 0);
  // The address was asked for once.
  EXPECT_EQ(Occurrences(PhoneGot(), "AT+CSCA?"), 1);
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(ComposeTest, TheAddressIsAskedForOncePerPort) {
  TSimPhone& Phone = Start(Card({{1, Received}}));
  Compose(frmMain->btnNew, [] {});
  Compose(frmMain->btnNew, [] {});
  EXPECT_EQ(Occurrences(PhoneGot(), "AT+CSCA?"), 1);
  // Another port (the same phone behind it): the phone is asked again.
  PointPort(5, Phone.DevicePath());
  frmMain->cbxCOMPort->setCurrentIndex(4);
  frmMain->btnRead->click();
  ASSERT_EQ(frmMain->KoComm->PortNum(), 5);
  Compose(frmMain->btnNew, [] {});
  EXPECT_EQ(Occurrences(PhoneGot(), "AT+CSCA?"), 2);
}

TEST_F(ComposeTest, APhoneWithoutAddressLeavesTheFieldEmpty) {
  struct TCase {
    const char* Name;
    std::string SCA;
    std::vector<std::pair<std::string, std::string>> Fail;
  };
  const TCase Cases[] = {
      {"+CMS ERROR 330, shown to nobody", "", {}},
      {"an empty address", "+4930", {{"AT+CSCA?", "+CSCA: \"\",129\r\n\r\nOK"}}},
      {"an address without quotes", "+4930", {{"AT+CSCA?", "+CSCA: +491710760000,145\r\n\r\nOK"}}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TPhoneOptions Options;
    Options.Fail = Case.Fail;
    Start(Card({}, 30, Case.SCA), Options);
    Compose(frmMain->btnNew, [] {
      EXPECT_EQ(frmSend->edSCA->text(), "");
      EXPECT_EQ(frmSend->focusWidget(), frmSend->edSCA);
      Write("0171", "");
      EXPECT_FALSE(frmSend->btnSend->isEnabled());
      frmSend->edSCA->setText("+4930");
      EXPECT_TRUE(frmSend->btnSend->isEnabled());
    });
    EXPECT_EQ(frmMain->PhoneSCA, "");
    EXPECT_TRUE(Boxes.Shown.empty());
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    frmMain->PhoneSCA = "NULL";
  }
}

TEST_F(ComposeTest, DestinationListHoldsThePhonebookSorted) {
  Start(Card({}));
  // A phone book that was not read gives no items.
  frmMain->Phonebook = {{"+4989", "Zoe"}, {"+4930", "anna"}, {"0301", "Bob (work)"}, {"040", "\xD6zt\xFCrk"}};
  Compose(frmMain->btnNew, [] { EXPECT_EQ(frmSend->combxDA->count(), 0); });
  frmMain->PhonebookRead = true;
  Compose(frmMain->btnNew, [] {
    ASSERT_EQ(frmSend->combxDA->count(), 4);
    EXPECT_EQ(frmSend->combxDA->itemText(0), "anna (+4930)");
    EXPECT_EQ(frmSend->combxDA->itemText(1), "Bob (work) (0301)");
    EXPECT_EQ(frmSend->combxDA->itemText(2), QString::fromUtf8("Öztürk (040)"));
    EXPECT_EQ(frmSend->combxDA->itemText(3), "Zoe (+4989)");
    EXPECT_EQ(frmSend->combxDA->currentText(), "");
    frmSend->combxDA->setCurrentIndex(1);
    EXPECT_TRUE(frmSend->btnSend->isEnabled());
    EXPECT_EQ(frmSend->Composed().DA, "0301");
  });
  frmMain->Phonebook.clear();
  Compose(frmMain->btnNew, [] { EXPECT_EQ(frmSend->combxDA->count(), 0); });
}

TEST_F(ComposeTest, WithTheMemoryFullStoreIsEnabledUntilTheFirstEdit) {
  TPhoneOptions Options;
  Options.Fail = {{"AT+CMGW", "+CMS ERROR: 322"}};
  Start(Card({{1, Received}, {2, Stored}}, 2), Options);
  SelectRow(1);
  Compose(frmMain->btnAnswer, [this] {
    EXPECT_TRUE(frmSend->btnSend->isEnabled());
    EXPECT_TRUE(frmSend->btnStore->isEnabled());
    // A press the phone refuses is no edit: Store stays as it was.
    Boxes.Answer();
    frmSend->memUD->setPlainText("hi");
    frmSend->btnStore->click();
    ASSERT_EQ(Boxes.Texts(), std::vector<std::string>{"+CMS ERROR 322: Memory full."});
    EXPECT_TRUE(frmSend->btnSend->isEnabled());
    EXPECT_TRUE(frmSend->btnStore->isEnabled());
    frmSend->combxDA->setEditText("+4917112345678");
    EXPECT_TRUE(frmSend->btnSend->isEnabled());
    EXPECT_FALSE(frmSend->btnStore->isEnabled());
    frmSend->edSCA->setText("");
    EXPECT_FALSE(frmSend->btnSend->isEnabled());
    frmSend->edSCA->setText("+4930");
    EXPECT_TRUE(frmSend->btnSend->isEnabled());
    EXPECT_FALSE(frmSend->btnStore->isEnabled());
  });
}

// ---- Validity period and counter ----

TEST_F(ComposeTest, ValidityPagesStartAfreshAtEachShowing) {
  Start(Card({}));
  SMSEngine::SetClock([] { return SMSEngine::EncodeDate(2030, 3, 15) + SMSEngine::EncodeTime(14, 30, 5, 0); });
  struct TClockBack {
    ~TClockBack() { SMSEngine::SetClock({}); }
  } ClockBack;
  Compose(frmMain->btnNew, [] {
    frmSend->combxVP->setCurrentIndex(1);
    EXPECT_EQ(frmSend->pctrlVP->currentWidget(), frmSend->tsVPRelative);
    EXPECT_EQ(frmSend->udVPRelative->Position(), 173);
    EXPECT_EQ(frmSend->edVPRelative->text(), "07 days");
    frmSend->udVPRelative->UpButton()->click();
    EXPECT_EQ(frmSend->udVPRelative->Position(), 174);
    EXPECT_EQ(frmSend->edVPRelative->text().toStdString(), SMSEngine::VPRelativeToText(174));
    QTest::keyClick(frmSend->edVPRelative, Qt::Key_Down);
    QTest::keyClick(frmSend->edVPRelative, Qt::Key_Down);
    EXPECT_EQ(frmSend->udVPRelative->Position(), 172);
    EXPECT_EQ(frmSend->edVPRelative->text().toStdString(), SMSEngine::VPRelativeToText(172));
    // At the ends the position stays.
    frmSend->udVPRelative->SetPosition(255);
    frmSend->udVPRelative->UpButton()->click();
    EXPECT_EQ(frmSend->udVPRelative->Position(), 255);

    frmSend->combxVP->setCurrentIndex(2);
    EXPECT_EQ(frmSend->pctrlVP->currentWidget(), frmSend->tsVPAbsolute);
    EXPECT_EQ(frmSend->dtpVPDate->date(), QDate(2030, 3, 22));
    EXPECT_EQ(frmSend->dtpVPDate->minimumDate(), QDate(2030, 3, 15));
    EXPECT_EQ(frmSend->dtpVPTime->time(), QTime(14, 30, 5));
    EXPECT_EQ(frmSend->udVPTZ->Position(), 0);
    EXPECT_EQ(frmSend->edVPTZ->text(), "GMT +0,00");
    frmSend->udVPTZ->SetPosition(-48);
    frmSend->udVPTZ->DownButton()->click();
    EXPECT_EQ(frmSend->udVPTZ->Position(), -48);
    frmSend->udVPTZ->SetPosition(3);
    frmSend->dtpVPDate->setDate(QDate(2030, 4, 1));

    // Away and back: everything as at the first showing.
    frmSend->combxVP->setCurrentIndex(1);
    EXPECT_EQ(frmSend->udVPRelative->Position(), 173);
    frmSend->combxVP->setCurrentIndex(2);
    EXPECT_EQ(frmSend->dtpVPDate->date(), QDate(2030, 3, 22));
    EXPECT_EQ(frmSend->udVPTZ->Position(), 0);
    EXPECT_EQ(frmSend->edVPTZ->text(), "GMT +0,00");
    frmSend->combxVP->setCurrentIndex(0);
    EXPECT_EQ(frmSend->pctrlVP->currentWidget(), frmSend->tsVPNone);
  });
}

TEST_F(ComposeTest, TimeZoneTextFollowsTheLocaleAfterTheFirstClick) {
  Start(Card({}));
  struct TCase {
    QLocale Locale;
    int From;
    TUDBtnType Button;
    const char* Text;
  };
  const TCase Cases[] = {
      {QLocale(QLocale::English, QLocale::UnitedStates), 5, TUDBtnType::btNext, "GMT +1.50"},
      {QLocale(QLocale::English, QLocale::UnitedStates), -2, TUDBtnType::btPrev, "GMT -0.75"},
      {QLocale(QLocale::German, QLocale::Germany), 5, TUDBtnType::btNext, "GMT +1,50"},
      {QLocale(QLocale::German, QLocale::Germany), 1, TUDBtnType::btPrev, "GMT +0,00"},
  };
  const QLocale Before;
  for (const TCase& Case : Cases) {
    QLocale::setDefault(Case.Locale);
    Compose(frmMain->btnNew, [&] {
      frmSend->combxVP->setCurrentIndex(2);
      EXPECT_EQ(frmSend->edVPTZ->text(), "GMT +0,00");
      frmSend->udVPTZ->SetPosition(Case.From);
      frmSend->udVPTZ->Click(Case.Button);
      EXPECT_EQ(frmSend->edVPTZ->text().toStdString(), Case.Text);
    });
  }
  QLocale::setDefault(Before);
}

TEST_F(ComposeTest, CounterCountsSeptetsAndBeepsAbove160) {
  Start(Card({{1, Submit("0171", std::string(172, 'a'))}}));
  int Beeps = 0;
  frmSend->Beep = [&] { ++Beeps; };
  Compose(frmMain->btnNew, [&] {
    const struct {
      QString Text;
      const char* Shown;
      int Beeps;
    } Cases[] = {
        {"abc", "3/160", 0},
        {QString::fromUtf8("[]{}\\^|~€"), "18/160", 0},
        {"a\nb", "4/160", 0},  // a line break is CR LF
        {QString(160, u'x'), "160/160", 0},
        {QString(161, u'x'), "161/160", 1},
        {QString(159, u'x') + u'€', "161/160", 1},
        {"", "0/160", 0},
    };
    for (const auto& Case : Cases) {
      Beeps = 0;
      frmSend->memUD->setPlainText(Case.Text);
      EXPECT_EQ(frmSend->lblChars->text().toStdString(), Case.Shown) << Case.Text.toStdString();
      EXPECT_EQ(Beeps, Case.Beeps) << Case.Text.toStdString();
    }
    Beeps = 0;
  });
  // Forwarding a long text beeps while the dialog is filled.
  SelectRow(1);
  Compose(frmMain->btnForward, [] { EXPECT_EQ(frmSend->lblChars->text(), "172/160"); });
  EXPECT_EQ(Beeps, 1);
}

// ---- Sending and storing ----

TEST_F(ComposeTest, SendWritesTheCommandThenThePduAndShowsTheReference) {
  Start(Card({{1, Received}}));
  const int UsedBefore = frmMain->MessagesUsed;
  Boxes.Answer();
  Compose(frmMain->btnNew, [] {
    Write("12345", "hellohello");
    frmSend->edSCA->setText("+4912345678");
    frmSend->btnSend->click();
  });
  // The first half ends in CR alone; the PDU follows with Ctrl-Z.
  const std::string PDU = "06919421436587010005812143F500000AE8329BFD4697D9EC37";
  EXPECT_NE(PhoneGot().find("AT+CMGS=19\r" + PDU + "\x1A"), std::string::npos);
  EXPECT_EQ(Phone->Outbox(), (std::vector<std::string>{PDU}));
  EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{"Message sent successfully.\r\nMessage reference is 1."}));
  EXPECT_EQ(Boxes.Shown[0].Kind, TBoxKind::Information);
  EXPECT_EQ(frmMain->Timer->interval(), 5000);
  EXPECT_EQ(frmMain->StoredIndex, -1);
  EXPECT_EQ(frmMain->MessagesUsed, UsedBefore);
}

// What the dialog composes reaches the phone as composed, sent or stored, with every option.
TEST_F(ComposeTest, EveryOptionReachesThePhone) {
  struct TCase {
    const char* Name;
    bool SRR, RD, Flash;
    int MR, VPPage, VPRelative, VPTZ;
  };
  const TCase Cases[] = {
      {"plain", false, false, false, 0, 0, 0, 0},
      {"status report", true, false, false, 1, 0, 0, 0},
      {"reject duplicates", false, true, false, 255, 0, 0, 0},
      {"flash", false, false, true, 17, 0, 0, 0},
      {"relative", true, true, true, 3, 1, 200, 0},
      {"absolute", false, true, false, 4, 2, 0, -13},
  };
  Start(Card({}));
  int Sent = 0;
  for (const bool Send : {true, false})
    for (const TCase& Case : Cases) {
      SCOPED_TRACE(std::string(Case.Name) + (Send ? " sent" : " stored"));
      TComposedMessage Composed;
      Boxes.Answer();
      Compose(frmMain->btnNew, [&] {
        Write("+49 171-1234567", "Line one\n{Price} 5 €\n");
        frmSend->cbxSRR->setChecked(Case.SRR);
        frmSend->cbxRD->setChecked(Case.RD);
        frmSend->cbxFlash->setChecked(Case.Flash);
        frmSend->spedMR->setValue(Case.MR);
        frmSend->combxVP->setCurrentIndex(Case.VPPage);
        frmSend->udVPRelative->SetPosition(Case.VPRelative);
        frmSend->udVPTZ->SetPosition(Case.VPTZ);
        Composed = frmSend->Composed();
        (Send ? frmSend->btnSend : frmSend->btnStore)->click();
      });
      std::string PDU;
      if (Send) {
        ASSERT_EQ(static_cast<int>(Phone->Outbox().size()), ++Sent);
        PDU = Phone->Outbox().back();
      } else {
        ASSERT_NE(frmMain->StoredIndex, -1);
        PDU = Phone->Sim().Messages.at(frmMain->StoredIndex).PDU;
        EXPECT_EQ(frmMain->Messages.back().PDU, PDU);
      }
      TMessageList Got;
      ASSERT_TRUE(SMSEngine::DecodeSubmitPDU(PDU, Got.SCA, Got.SRR, Got.VPF, Got.RD, Got.MR, Got.DA, Got.Flash,
                                             Got.VPRelative, Got.VPAbsolute, Got.VPTZ, Got.UD));
      EXPECT_EQ(Got.SCA, "+491710760000");
      EXPECT_EQ(Got.DA, "+491711234567");
      EXPECT_EQ(Got.SRR, Case.SRR);
      EXPECT_EQ(Got.RD, Case.RD);
      EXPECT_EQ(Got.Flash, Case.Flash);
      EXPECT_EQ(Got.MR, Case.MR);
      EXPECT_EQ(Got.VPF, Case.VPPage == 0 ? 0 : Case.VPPage + 1);
      if (Case.VPPage == 1) {
        EXPECT_EQ(Got.VPRelative, Case.VPRelative);
      }
      if (Case.VPPage == 2) {
        EXPECT_EQ(Got.VPTZ, Case.VPTZ);
        EXPECT_NEAR(Got.VPAbsolute, Composed.VPAbsolute, 0.5 / 86400);
      }
      // The trailing line break is not encoded; the one inside is.
      EXPECT_EQ(Got.UD.substr(0, 8), "Line one");
      EXPECT_NE(Got.UD.find("{Price} 5 \x80"), std::string::npos);
    }
  EXPECT_TRUE(Boxes.Answers.empty());
}

TEST_F(ComposeTest, ReferenceAndLocationAreReadWithAndWithoutEchoAndInPieces) {
  for (const bool Echo : {true, false})
    for (const int Chunk : {0, 1}) {
      SCOPED_TRACE(std::string(Echo ? "echo" : "no echo") + ", chunk " + std::to_string(Chunk));
      TPhoneOptions Options;
      Options.Echo = Echo;
      Options.Chunk = Chunk;
      Start(Card({{1, Received}, {2, Stored}}), Options);
      Boxes.Shown.clear();
      Boxes.Answer();
      Compose(frmMain->btnNew, [] {
        Write("0171", "x");
        frmSend->btnSend->click();
      });
      Boxes.Answer();
      Compose(frmMain->btnNew, [] {
        Write("0171", "x");
        frmSend->btnStore->click();
      });
      EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{"Message sent successfully.\r\nMessage reference is 1.",
                                                         "Message was stored in memory location #3."}));
      EXPECT_EQ(frmMain->StoredIndex, 3);
      frmMain->KoComm->ClosePort();
      Phone->Stop();
    }
}

TEST_F(ComposeTest, RepliesWithoutNumbers) {
  TPhoneOptions Options;
  Options.NoNumbers = true;
  Start(Card({{1, Received}, {2, Stored}, {4, Stored}}), Options);
  Boxes.Answer();
  Compose(frmMain->btnNew, [] {
    Write("0171", "sent");
    frmSend->btnSend->click();
  });
  Boxes.Answer();
  Compose(frmMain->btnNew, [] {
    Write("0171", "stored");
    frmSend->btnStore->click();
  });
  EXPECT_EQ(Boxes.Texts(),
            (std::vector<std::string>{"Message sent successfully.",
                                      "Message was stored, but the phone did not tell its memory location."}));
  // The list was read again: the stored message stands where the phone put it.
  ASSERT_EQ(frmMain->MessagesUsed, 4);
  EXPECT_EQ(frmMain->Messages[2].Index, 3);
  EXPECT_EQ(frmMain->Messages[2].UD, "stored");
  ExpectGridFollowsList();
  EXPECT_EQ(frmMain->sgMessages->Cells(4, 3), "stored");
}

TEST_F(ComposeTest, TheTimeOutIsBackAt5000AfterEveryWayOut) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Mute;
    std::vector<std::pair<std::string, std::string>> Fail;
    std::string Box;
  };
  const TCase Cases[] = {
      {"an error", {}, {{"AT+CMGS", "+CMS ERROR: 500"}}, "+CMS ERROR 500: Unknown error."},
      {"no answer", {"AT+CMGS"}, {}, "ERROR: No answer from phone (timeout)."},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TPhoneOptions Options;
    Options.Mute = Case.Mute;
    Options.Fail = Case.Fail;
    Start(Card({}), Options);
    frmSend->SendTimeOut = 300;
    Boxes.Shown.clear();
    Boxes.Answer();
    Compose(frmMain->btnNew, [] {
      Write("0171", "x");
      int During = 0;
      QTimer::singleShot(100, frmSend, [&] { During = frmMain->Timer->interval(); });
      frmSend->btnSend->click();
      EXPECT_EQ(During, 300);
      EXPECT_TRUE(frmSend->isVisible());
      EXPECT_TRUE(frmSend->btnSend->isEnabled());
      EXPECT_TRUE(frmSend->btnCancel->isEnabled());
    });
    EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{Case.Box}));
    EXPECT_EQ(frmMain->Timer->interval(), 5000);
    EXPECT_TRUE(Phone->Outbox().empty());
    frmMain->Timer->setInterval(TimeOutMs);
    frmMain->KoComm->ClosePort();
    Phone->Stop();
  }
}

TEST_F(ComposeTest, TheOfferToStoreTheAddress) {
  struct TCase {
    const char* Name;
    bool Send;
    std::string PhoneSCA;             // on the SIM; empty: none
    std::string Typed;                // into the address field; empty: left as it came
    std::vector<TBoxButton> Answers;  // the information box, then the question if one
    std::string Written;              // the address command the phone gets; empty: none
  };
  const TCase Cases[] = {
      {"send, no address known, yes",
       true,
       "",
       "+49 171 0760000",
       {TBoxButton::OK, TBoxButton::Yes},
       "AT+CSCA=\"+491710760000\"\r\n"},
      {"send, no address known, no", true, "", "+491710760000", {TBoxButton::OK, TBoxButton::No}, ""},
      {"send, another address", true, "+491710760000", "+491720000000", {TBoxButton::OK}, ""},
      {"store, the same address", false, "+491710760000", "", {TBoxButton::OK}, ""},
      {"store, another address, yes",
       false,
       "+491710760000",
       "+491720000000",
       {TBoxButton::OK, TBoxButton::Yes},
       "AT+CSCA=\"+491720000000\"\r\n"},
      {"store, another address, no", false, "+491710760000", "+491720000000", {TBoxButton::OK, TBoxButton::No}, ""},
      {"store, no address known, yes",
       false,
       "",
       "+491720000000",
       {TBoxButton::OK, TBoxButton::Yes},
       "AT+CSCA=\"+491720000000\"\r\n"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Start(Card({}, 30, Case.PhoneSCA));
    Boxes.Shown.clear();
    for (TBoxButton Answer : Case.Answers) Boxes.Answer(Answer);
    Compose(frmMain->btnNew, [&] {
      Write("0171", "x");
      if (!Case.Typed.empty()) frmSend->edSCA->setText(QString::fromStdString(Case.Typed));
      (Case.Send ? frmSend->btnSend : frmSend->btnStore)->click();
      EXPECT_FALSE(frmSend->isVisible());
    });
    ASSERT_EQ(Boxes.Shown.size(), Case.Answers.size());
    if (Case.Answers.size() == 2) {
      EXPECT_EQ(Boxes.Shown[1].Kind, TBoxKind::Confirmation);
      EXPECT_EQ(Boxes.Shown[1].Text, "Store Service Centre address in phone?");
    }
    const std::string Got = PhoneGot();
    if (Case.Written.empty()) {
      EXPECT_EQ(Got.find("AT+CSCA="), std::string::npos);
      EXPECT_EQ(Phone->Sim().SCA, Case.PhoneSCA);
    } else {
      EXPECT_NE(Got.find(Case.Written), std::string::npos);
      EXPECT_EQ(Phone->Sim().SCA, frmMain->PhoneSCA);
      EXPECT_EQ("AT+CSCA=\"" + frmMain->PhoneSCA + "\"\r\n", Case.Written);
    }
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    frmMain->PhoneSCA = "NULL";
  }
}

// ---- The list and the grid after a store ----

TEST_F(ComposeTest, AStoredMessageTakesItsPlaceInListAndGrid) {
  struct TCase {
    const char* Name;
    std::vector<std::pair<int, std::string>> Messages;
    bool Highest;
    int Location, Row;
  };
  const TCase Cases[] = {
      {"into an empty list", {}, false, 1, 1},
      {"at the start", {{2, Received}, {3, Stored}}, false, 1, 1},
      {"in the middle", {{1, Received}, {2, Stored}, {4, Stored}}, false, 3, 3},
      {"at the end", {{1, Received}, {2, Stored}}, false, 3, 3},
      {"beyond the list", {{1, Received}, {2, Stored}}, true, 30, 3},
      {"into a gap below the top", {{1, Received}, {30, Stored}}, true, 29, 2},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TPhoneOptions Options;
    Options.StoreHighest = Case.Highest;
    Start(Card(Case.Messages), Options);
    ASSERT_EQ(frmMain->MessagesUsed, static_cast<int>(Case.Messages.size()));
    Boxes.Shown.clear();
    Boxes.Answer();
    Compose(frmMain->btnNew, [] {
      Write("+49 30-123", "a\nb");
      frmSend->btnStore->click();
    });
    EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{"Message was stored in memory location #" +
                                                       std::to_string(Case.Location) + "."}));
    ASSERT_EQ(frmMain->MessagesUsed, static_cast<int>(Case.Messages.size()) + 1);
    ExpectGridFollowsList();
    const TMessageList& Entry = frmMain->Messages[static_cast<std::size_t>(Case.Row - 1)];
    EXPECT_EQ(Entry.Index, Case.Location);
    EXPECT_EQ(Entry.Status, 2);
    EXPECT_EQ(Entry.DA, "+4930123");
    EXPECT_EQ(Entry.UD, "a\r\nb");
    EXPECT_EQ(Entry.SCA, "+491710760000");
    EXPECT_EQ(Entry.SCTS, 0);
    EXPECT_EQ(Entry.PDU, Phone->Sim().Messages.at(Case.Location).PDU);
    EXPECT_EQ(Entry.PDULength, static_cast<int>(Entry.PDU.size() / 2) - 8);
    // No status argument; the first half ends in CR alone.
    EXPECT_NE(PhoneGot().find("AT+CMGW=" + std::to_string(Entry.PDULength) + "\r" + Entry.PDU + "\x1A"),
              std::string::npos);
    EXPECT_EQ(GridRow(Case.Row), (std::vector<std::string>{std::to_string(Case.Location), "", "+4930123", "", "a  b"}));
    for (QPushButton* Button :
         {frmMain->btnView, frmMain->btnSave, frmMain->btnDelete, frmMain->btnAnswer, frmMain->btnForward})
      EXPECT_TRUE(Button->isEnabled()) << Button->objectName().toStdString();
    // Reading the phone again shows the same.
    std::vector<std::vector<std::string>> Shown;
    for (int Row = 1; Row <= frmMain->MessagesUsed; ++Row) Shown.push_back(GridRow(Row));
    frmMain->btnRead->click();
    for (int Row = 1; Row <= frmMain->MessagesUsed; ++Row)
      EXPECT_EQ(GridRow(Row), Shown[static_cast<std::size_t>(Row - 1)]) << "row " << Row;
    frmMain->KoComm->ClosePort();
    Phone->Stop();
  }
}

// A failing address command keeps the dialog open after a store: the message is the phone's, so
// Send and Store stay off in that opening whatever is edited, and Cancel closes with the message
// in the grid.
TEST_F(ComposeTest, AStoredMessageIsNotStoredAgainFromTheSameOpening) {
  TPhoneOptions Options;
  Options.Fail = {{"AT+CSCA=", "ERROR"}};
  TSimPhone& Phone = Start(Card({{1, Received}, {3, Stored}, {5, Stored}}), Options);
  Boxes.Answer();
  Boxes.Answer(TBoxButton::Yes);
  Boxes.Answer();
  Compose(frmMain->btnNew, [] {
    frmSend->edSCA->setText("+491720000000");
    Write("0171", "first");
    frmSend->btnStore->click();
    EXPECT_TRUE(frmSend->isVisible());
    EXPECT_FALSE(frmSend->btnStore->isEnabled());
    EXPECT_FALSE(frmSend->btnSend->isEnabled());
    Write("0172", "second");
    frmSend->edSCA->setText("+491730000000");
    EXPECT_FALSE(frmSend->btnStore->isEnabled());
    EXPECT_FALSE(frmSend->btnSend->isEnabled());
    frmSend->btnStore->click();
    frmSend->btnSend->click();
    frmSend->btnCancel->click();
  });
  EXPECT_EQ(Boxes.Texts(),
            (std::vector<std::string>{"Message was stored in memory location #2.",
                                      "Store Service Centre address in phone?", "ERROR: Invalid command."}));
  EXPECT_EQ(frmMain->PhoneSCA, "+491710760000");
  ASSERT_EQ(frmMain->MessagesUsed, 4);
  EXPECT_EQ(Phone.Sim().MessagesUsed(), 4);
  EXPECT_TRUE(Phone.Outbox().empty());
  ExpectGridFollowsList();
  EXPECT_EQ(frmMain->sgMessages->Cells(4, 2), "first");
}

// The same after a send whose address command fails: one message went, and no second one.
TEST_F(ComposeTest, ASentMessageIsNotSentAgainFromTheSameOpening) {
  TPhoneOptions Options;
  Options.Fail = {{"AT+CSCA=", "ERROR"}};
  TSimPhone& Phone = Start(Card({{1, Received}}), Options);
  frmMain->PhoneSCA = "";
  Boxes.Answer();
  Boxes.Answer(TBoxButton::Yes);
  Boxes.Answer();
  Compose(frmMain->btnNew, [] {
    frmSend->edSCA->setText("+491720000000");
    Write("0171", "once");
    frmSend->btnSend->click();
    EXPECT_TRUE(frmSend->isVisible());
    EXPECT_FALSE(frmSend->btnSend->isEnabled());
    EXPECT_FALSE(frmSend->btnStore->isEnabled());
    frmSend->btnSend->click();
    frmSend->btnCancel->click();
  });
  ASSERT_EQ(Boxes.Texts().size(), 3u);
  EXPECT_EQ(Phone.Outbox().size(), 1u);
  // The next opening starts afresh.
  Compose(frmMain->btnNew, [] {
    EXPECT_FALSE(frmSend->Done());
    frmSend->btnCancel->click();
  });
}

// What joins the list and the grid after Store is what a reading of the location shows, row
// against row; the dialog names the characters that do not go as typed before anything is sent.
TEST_F(ComposeTest, TheStoredEntryIsWhatAReadingShows) {
  const struct {
    const char* Name;
    QString Typed;
    QString Uncarried;  // what the label says in full; empty: nothing
  } Cases[] = {
      {"Cyrillic, curly quotes, en dash and a half",
       QString::fromUtf8("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 ok \xe2\x80\x9cquotes\xe2\x80\x9d "
                         "\xe2\x80\x93 \xc2\xbd"),
       QString::fromUtf8("Sent as ?: \xd0\x9f \xd1\x80 \xd0\xb8 \xd0\xb2 \xd0\xb5 \xd1\x82  Sent as blank: "
                         "\xe2\x80\x9c \xe2\x80\x9d \xe2\x80\x93 \xc2\xbd")},
      {"a tab", QStringLiteral("a\tb"), QStringLiteral("Sent as blank: Tab")},
      {"an emoji", QString::fromUtf8("ok \xf0\x9f\x98\x80"), QString::fromUtf8("Sent as ?: \xf0\x9f\x98\x80 (2 ?)")},
      {"the nine extension characters", QString::fromUtf8("[\\]^{|}~\xe2\x82\xac"), QString()},
      {"160 septets", QString(160, u'x'), QString()},
      {"a line break", QStringLiteral("a\nb"), QString()},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    // Location 0 in use, and two status reports that the phone counts but does not list.
    TSimCard Sim = Card({{0, Received}, {1, Stored}});
    for (const int Location : {4, 5}) {
      TSimMessage Report;
      Report.PDU = Received;
      Report.Hidden = true;
      Sim.Messages[Location] = Report;
    }
    TSimPhone& Phone = Start(Sim);
    Boxes.Shown.clear();
    Boxes.Answer();
    Compose(frmMain->btnNew, [&Case] {
      Write("0171", Case.Typed);
      const QString Label = frmSend->lblUncarried->toolTip();
      EXPECT_EQ(Label, Case.Uncarried);
      frmSend->btnStore->click();
    });
    ASSERT_EQ(Boxes.Texts(), std::vector<std::string>{"Message was stored in memory location #2."});
    // The list after the store, row by row, against a new reading.
    std::vector<std::vector<std::string>> Shown;
    for (int Row = 1; Row < frmMain->sgMessages->RowCount(); ++Row) Shown.push_back(GridRow(Row));
    const std::vector<TMessageList> Stored = frmMain->Messages;
    EXPECT_EQ(frmMain->sgMessages->RowCount(), static_cast<int>(Stored.size()) + 1);
    // The status reports' row offers nothing to do with a message.
    SelectRow(frmMain->sgMessages->RowCount() - 1);
    for (QPushButton* Button :
         {frmMain->btnView, frmMain->btnSave, frmMain->btnDelete, frmMain->btnAnswer, frmMain->btnForward})
      EXPECT_FALSE(Button->isEnabled()) << Button->objectName().toStdString();
    frmMain->btnRead->click();
    ASSERT_EQ(frmMain->sgMessages->RowCount(), static_cast<int>(Shown.size()) + 1);
    for (int Row = 1; Row < frmMain->sgMessages->RowCount(); ++Row)
      EXPECT_EQ(GridRow(Row), Shown[static_cast<std::size_t>(Row - 1)]) << "row " << Row;
    ASSERT_EQ(frmMain->Messages.size(), Stored.size());
    for (std::size_t I = 0; I < Stored.size(); ++I) {
      EXPECT_EQ(frmMain->Messages[I].Index, Stored[I].Index) << I;
      EXPECT_EQ(frmMain->Messages[I].UD, Stored[I].UD) << I;
      EXPECT_EQ(frmMain->Messages[I].DA, Stored[I].DA) << I;
      EXPECT_EQ(frmMain->Messages[I].PDU, Stored[I].PDU) << I;
    }
    EXPECT_EQ(Shown[2][0], "2");  // between location 1 and the status reports' row
    // The row shows the text as the rule behind the label says it goes.
    const QList<uint> Codes = Case.Typed.toUcs4();
    EXPECT_EQ(Shown[2][4], OneLineText(TypedText(std::u32string(Codes.begin(), Codes.end())).Carried));
    EXPECT_EQ(Shown.back()[0], "?");
    frmMain->KoComm->ClosePort();
    Phone.Stop();
  }
}

// 161 septets: the counter shows it in the warning colour, and the phone refuses the message, as a
// real phone does, and its box says why; nothing is reported as sent or stored.
TEST_F(ComposeTest, ATextOverOneMessageIsRefusedByThePhone) {
  TSimPhone& Phone = Start(Card({{1, Received}}));
  for (QPushButton* TfrmSend::*Button : {&TfrmSend::btnSend, &TfrmSend::btnStore}) {
    Boxes.Answer();
    Compose(frmMain->btnNew, [Button] {
      Write("0171", QString(160, u'x'));
      const QColor Normal = frmSend->lblChars->palette().color(QPalette::WindowText);
      Write("0171", QString(161, u'x'));
      EXPECT_EQ(frmSend->lblChars->text(), "161/160");
      EXPECT_NE(frmSend->lblChars->palette().color(QPalette::WindowText), Normal);
      (frmSend->*Button)->click();
      EXPECT_TRUE(frmSend->isVisible());
    });
  }
  // The phone's own text, and on a second line why it refused, in the counter's figure.
  const std::string Refused =
      "+CMS ERROR 304: Invalid PDU mode paramter.\r\nThe text has 161 characters; one message carries 160.";
  EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{Refused, Refused}));
  EXPECT_TRUE(Phone.Outbox().empty());
  EXPECT_EQ(Phone.Sim().MessagesUsed(), 1);
  EXPECT_EQ(frmMain->MessagesUsed, 1);
}

TEST_F(ComposeTest, RefusedBeforeAnythingIsWritten) {
  SMSEngine::SetClock([] { return SMSEngine::EncodeDate(2030, 3, 15) + SMSEngine::EncodeTime(14, 30, 5, 0); });
  struct TClockBack {
    ~TClockBack() { SMSEngine::SetClock({}); }
  } ClockBack;
  struct TCase {
    const char* Name;
    std::string SCA, Destination;
    bool Past;
    std::string Box;
  };
  const TCase Cases[] = {
      {"validity in the past", "+491710760000", "0171", true, "ERROR: Validity ends in the past."},
      {"a letter in the destination", "+491710760000", "0171O", false, "ERROR: Invalid destination address."},
      {"a hand-typed parenthesis", "+491710760000", "(0)3012", false, "ERROR: Invalid destination address."},
      {"a destination too long", "+491710760000", std::string(21, '1'), false, "ERROR: Invalid destination address."},
      {"a quote in the address", "+4917\"", "0171", false, "ERROR: Invalid Service Centre address."},
      {"blanks for an address", "  ", "0171", false, "ERROR: Invalid Service Centre address."},
  };
  Start(Card({}));
  for (const TCase& Case : Cases)
    for (const bool Send : {true, false}) {
      SCOPED_TRACE(std::string(Case.Name) + (Send ? ", send" : ", store"));
      Boxes.Shown.clear();
      Boxes.Answer();
      Compose(frmMain->btnNew, [&] {
        Write(Case.Destination, "x");
        frmSend->edSCA->setText(QString::fromStdString(Case.SCA));
        if (Case.Past) {
          frmSend->combxVP->setCurrentIndex(2);
          frmSend->dtpVPDate->setDate(QDate(2030, 3, 15));
          frmSend->dtpVPTime->setTime(QTime(14, 0, 0));
        }
        (Send ? frmSend->btnSend : frmSend->btnStore)->click();
        EXPECT_TRUE(frmSend->isVisible());
      });
      EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{Case.Box}));
    }
  const std::string Got = PhoneGot();
  EXPECT_EQ(Got.find("AT+CMGS"), std::string::npos) << Got;
  EXPECT_EQ(Got.find("AT+CMGW"), std::string::npos) << Got;
  EXPECT_EQ(Phone->Sim().MessagesUsed(), 0);
}

TEST_F(ComposeTest, NothingStartsASecondExchangeWhileOneWaits) {
  TPhoneOptions Options;
  Options.DelayMs = 300;
  Start(Card({{1, Received}}), Options);
  bool Checked = false;
  // While the address is asked for, the main window's controls stay still.
  QTimer::singleShot(100, frmMain, [&] {
    Checked = true;
    EXPECT_TRUE(frmMain->CommandWaiting());
    for (QWidget* Control : {static_cast<QWidget*>(frmMain->btnRead), static_cast<QWidget*>(frmMain->btnNew),
                             static_cast<QWidget*>(frmMain->btnForward), static_cast<QWidget*>(frmMain->cbxCOMPort),
                             static_cast<QWidget*>(frmMain->btnExit)})
      EXPECT_FALSE(Control->isEnabled()) << Control->objectName().toStdString();
  });
  Boxes.Answer();
  Compose(frmMain->btnNew, [&] {
    Write("0171", "x");
    bool During = false;
    QTimer::singleShot(100, frmSend, [&] {
      During = true;
      EXPECT_TRUE(frmMain->CommandWaiting());
      EXPECT_FALSE(frmSend->btnSend->isEnabled());
      EXPECT_FALSE(frmSend->btnStore->isEnabled());
      EXPECT_FALSE(frmSend->btnCancel->isEnabled());
      // Esc and the close box wait too.
      QTest::keyClick(frmSend, Qt::Key_Escape);
      frmSend->close();
      EXPECT_TRUE(frmSend->isVisible());
    });
    frmSend->btnStore->click();
    EXPECT_TRUE(During);
  });
  EXPECT_TRUE(Checked);
  EXPECT_TRUE(frmMain->btnRead->isEnabled());
  EXPECT_TRUE(frmMain->btnNew->isEnabled());
  EXPECT_EQ(Phone->Sim().MessagesUsed(), 2);
  EXPECT_EQ(frmMain->MessagesUsed, 2);
}

// A phone that answered the first half too late waits for a PDU; the dialog makes it drop the
// message, so that the next try is taken as a command again.
TEST_F(ComposeTest, AHalfThatTimedOutLeavesThePhoneUsable) {
  Start(Card({{1, Received}}));
  TPhoneOptions Slow = Phone->Options();
  Slow.DelayMs = 2 * TimeOutMs;
  const TPhoneOptions Normal = Phone->Options();
  Boxes.Answer();
  Boxes.Answer();
  Compose(frmMain->btnNew, [&] {
    Write("0171", "x");
    Phone->SetOptions(Slow);
    frmSend->btnStore->click();
    EXPECT_TRUE(frmSend->isVisible());
    QTest::qWait(4 * TimeOutMs);
    Phone->SetOptions(Normal);
    frmSend->btnStore->click();
  });
  EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{"ERROR: No answer from phone (timeout).",
                                                     "Message was stored in memory location #2."}));
  EXPECT_NE(PhoneGot().find("\r\x1B"), std::string::npos);
  EXPECT_EQ(Phone->Sim().MessagesUsed(), 2);
}

TEST_F(ComposeTest, EscapeAndTheCloseBoxCancel) {
  Start(Card({}));
  Compose(frmMain->btnNew, [] {
    Write("0171", "x");
    QTest::keyClick(frmSend->memUD, Qt::Key_Escape);
    EXPECT_FALSE(frmSend->isVisible());
    EXPECT_EQ(frmSend->result(), QDialog::Rejected);
  });
  Compose(frmMain->btnNew, [] {
    frmSend->close();
    EXPECT_FALSE(frmSend->isVisible());
  });
  EXPECT_EQ(Phone->Sim().MessagesUsed(), 0);
  EXPECT_TRUE(Phone->Outbox().empty());
}

// ---- The focus afterwards ----

// However the dialog ends, the keys go to the main window's grid again, through the real boxes
// (each with the window active at its showing as its owner) and the windows' activation as the
// platform reports it. A box is answered only once it is the active window, as a user answers it.
TEST_F(ComposeTest, TheGridHasTheKeysAfterEveryWayOut) {
  struct TCase {
    const char* Name;
    TPhoneOptions Options;
    std::function<void()> Out;  // ends the dialog, from inside it
    int BoxesShown;
  };
  auto Press = [](QPushButton* TfrmSend::*Button) { return [Button] { (frmSend->*Button)->click(); }; };
  TPhoneOptions NoNumbers;
  NoNumbers.NoNumbers = true;
  TPhoneOptions Mute;
  Mute.Mute = {"AT+CMGS"};
  const TCase Cases[] = {
      {"sent", {}, Press(&TfrmSend::btnSend), 1},
      {"stored", {}, Press(&TfrmSend::btnStore), 1},
      {"stored, then the address question",
       {},
       [] {
         frmSend->edSCA->setText(QStringLiteral("+491720000000"));
         frmSend->btnStore->click();
       },
       2},
      {"stored without its location, then read again", NoNumbers, Press(&TfrmSend::btnStore), 1},
      {"refused by the phone, then Cancel",
       {},
       [] {
         frmSend->memUD->setPlainText(QString(161, u'x'));
         frmSend->btnSend->click();
         frmSend->btnCancel->click();
       },
       1},
      {"no answer, then the close box", Mute,
       [] {
         frmSend->btnSend->click();
         frmSend->close();
       },
       1},
      {"an invalid destination, then Esc",
       {},
       [] {
         frmSend->combxDA->setEditText(QStringLiteral("0171O"));
         frmSend->btnStore->click();
         QTest::keyClick(frmSend->memUD, Qt::Key_Escape);
       },
       1},
      {"Cancel", {}, Press(&TfrmSend::btnCancel), 0},
      {"Esc", {}, [] { QTest::keyClick(frmSend->memUD, Qt::Key_Escape); }, 0},
      {"the close box", {}, [] { frmSend->close(); }, 0},
  };

  // The program's own boxes, answered by a press on their default button.
  SetDialogs(nullptr);
  struct TScriptedBack {
    TScriptedDialogs& Boxes;
    ~TScriptedBack() { SetDialogs(&Boxes); }
  } ScriptedBack{Boxes};
  std::vector<std::string> Answered;
  QElapsedTimer Waiting;
  QTimer Answerer;
  QObject::connect(&Answerer, &QTimer::timeout, [&] {
    auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!Box) {
      Waiting.invalidate();
      return;
    }
    if (!Waiting.isValid()) Waiting.start();
    if (!Box->isActiveWindow() && Waiting.elapsed() < 3000) return;
    EXPECT_TRUE(Box->isActiveWindow()) << "the keys do not reach \"" << Box->text().toStdString() << "\"";
    Answered.push_back(Box->text().toStdString());
    Waiting.invalidate();
    QAbstractButton* Default = Box->defaultButton() ? Box->defaultButton() : Box->buttons().value(0);
    Default->click();
  });
  Answerer.start(10);

  frmMain->show();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Answered.clear();
    Start(Card({{1, Received}}), Case.Options);
    frmSend->SendTimeOut = 300;
    frmMain->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frmMain));
    frmMain->sgMessages->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([] { return frmMain->sgMessages->hasFocus(); }));

    Compose(frmMain->btnNew, [&] {
      // A user has the dialog in front before typing into it.
      EXPECT_TRUE(QTest::qWaitForWindowActive(frmSend));
      Write("0171", QStringLiteral("x"));
      Case.Out();
    });
    EXPECT_EQ(static_cast<int>(Answered.size()), Case.BoxesShown);
    EXPECT_TRUE(QTest::qWaitFor([] { return frmMain->isActiveWindow() && frmMain->sgMessages->hasFocus(); }, 3000))
        << "active: "
        << (QApplication::activeWindow() ? QApplication::activeWindow()->objectName().toStdString() : "none")
        << ", focus: "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "none");
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    frmMain->PhoneSCA = "NULL";
  }
}
