// Composing, sending and storing from the window, against the simulated phone on a pseudo-terminal.
// Every box is answered through the seam.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
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

#include "ComposeText.h"
#include "FormsFixture.h"
#include "UpDown.h"

using SMSEngine::TMessageList;

namespace {

// A received message from +491711234567 ("Hello") and a stored one to +4930123456 ("Hi").
const std::string Received = "0791947101670000040C9194711132547600004221900251004005C8329BFD06";

std::string Submit(const std::string& DA, const std::string& Text)
{
  int PDULength = 0;
  std::string PDU;
  SMSEngine::EncodeSubmitPDU("+491710760000", false, 0, false, 0, DA, false, 0, 0, 0, Text, PDULength, PDU);
  return PDU;
}
const std::string Stored = Submit("+4930123456", "Hi");

TSimCard Card(const std::vector<std::pair<int, std::string>>& Messages, int Total = 30,
              const std::string& SCA = "+491710760000")
{
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
std::string ReceivedBytes(const std::string& LogFile)
{
  std::ifstream In(LogFile);
  std::string Line, Bytes;
  while (std::getline(In, Line)) {
    if (Line.size() < 17 || Line.compare(13, 4, "in  ") != 0)
      continue;
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

int Occurrences(const std::string& Text, const std::string& Pattern)
{
  int Count = 0;
  for (auto p = Text.find(Pattern); p != std::string::npos; p = Text.find(Pattern, p + 1))
    ++Count;
  return Count;
}

class ComposeTest : public TFormsTest {
 protected:
  QTemporaryDir Dir;
  std::string LogFile;

  // Starts the phone with its log, reads it through the window and selects the grid's row.
  TSimPhone& Start(TSimCard Sim, TPhoneOptions Options = {})
  {
    LogFile = Dir.filePath(QStringLiteral("phone.log")).toStdString();
    Options.LogFile = LogFile;
    TSimPhone& Started = StartPhone(std::move(Sim), Options);
    frmMain->btnRead->click();
    EXPECT_TRUE(frmMain->KoComm->IsOpen());
    return Started;
  }

  std::string PhoneGot() const { return ReceivedBytes(LogFile); }

  void SelectRow(int Row)
  {
    frmMain->sgMessages->SetRow(Row);
    frmMain->sgMessagesSelectCell(0, Row);
  }

  // Opens the dialog from Button and runs While once it is up; a dialog still open afterwards is
  // cancelled.
  void Compose(QPushButton* Button, const std::function<void()>& While)
  {
    bool Ran = false;
    QTimer Poll;
    Poll.setInterval(5);
    QObject::connect(&Poll, &QTimer::timeout, [&] {
      if (!frmSend->isVisible() || QApplication::activeModalWidget() != frmSend)
        return;
      Poll.stop();
      Ran = true;
      While();
      if (frmSend->isVisible())
        frmSend->btnCancel->click();
    });
    Poll.start();
    frmMain->btnNewClick(Button);
    EXPECT_TRUE(Ran) << "the dialog did not open";
    EXPECT_FALSE(frmSend->isVisible());
  }

  // Fills the destination and the text.
  static void Write(const std::string& Destination, const QString& Text)
  {
    frmSend->combxDA->setEditText(QString::fromStdString(Destination));
    frmSend->memUD->setPlainText(Text);
  }

  std::vector<std::string> GridRow(int Row) const
  {
    std::vector<std::string> Cells;
    for (int Col = 0; Col < frmMain->sgMessages->ColCount(); ++Col)
      Cells.push_back(frmMain->sgMessages->Cells(Col, Row));
    return Cells;
  }

  // Every list entry stands in its grid row, in order of location, with the status picture.
  void ExpectGridFollowsList()
  {
    ASSERT_EQ(static_cast<int>(frmMain->Messages.size()), frmMain->MessagesUsed);
    for (int Row = 1; Row <= frmMain->MessagesUsed; ++Row) {
      const TMessageList& Entry = frmMain->Messages[static_cast<std::size_t>(Row - 1)];
      EXPECT_EQ(frmMain->sgMessages->Cells(0, Row), std::to_string(Entry.Index)) << "row " << Row;
      EXPECT_EQ(frmMain->sgMessages->Objects(1, Row), frmMain->StatusBitmap(Entry.Status)) << "row " << Row;
      if (Row > 1)
        EXPECT_LT(frmMain->Messages[static_cast<std::size_t>(Row - 2)].Index, Entry.Index);
    }
    EXPECT_EQ(frmMain->sgMessages->RowCount(), std::max(2, frmMain->MessagesUsed + 1));
    EXPECT_EQ(frmMain->lblMemory->text().toStdString(),
              std::to_string(frmMain->MessagesUsed) + "/" + std::to_string(frmMain->MessagesTotal));
  }
};

}  // namespace

// ---- Opening ----

TEST_F(ComposeTest, TheThreeButtonsPrefillTheDialog)
{
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

TEST_F(ComposeTest, TheAddressIsAskedForOncePerPort)
{
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

TEST_F(ComposeTest, APhoneWithoutAddressLeavesTheFieldEmpty)
{
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

TEST_F(ComposeTest, DestinationListHoldsThePhonebookSorted)
{
  Start(Card({}));
  // A phone book that was not read gives no items.
  frmMain->Phonebook = {{"+4930", "anna"}, {"0301", "Bob (work)"}, {"+4989", "Zoe"}};
  Compose(frmMain->btnNew, [] { EXPECT_EQ(frmSend->combxDA->count(), 0); });
  frmMain->PhonebookRead = true;
  Compose(frmMain->btnNew, [] {
    ASSERT_EQ(frmSend->combxDA->count(), 3);
    EXPECT_EQ(frmSend->combxDA->itemText(0), "anna (+4930)");
    EXPECT_EQ(frmSend->combxDA->itemText(1), "Bob (work) (0301)");
    EXPECT_EQ(frmSend->combxDA->itemText(2), "Zoe (+4989)");
    EXPECT_EQ(frmSend->combxDA->currentText(), "");
    frmSend->combxDA->setCurrentIndex(1);
    EXPECT_TRUE(frmSend->btnSend->isEnabled());
    EXPECT_EQ(frmSend->Composed().DA, "0301");
  });
  frmMain->Phonebook.clear();
  Compose(frmMain->btnNew, [] { EXPECT_EQ(frmSend->combxDA->count(), 0); });
}

TEST_F(ComposeTest, WithTheMemoryFullStoreIsEnabledUntilTheFirstEdit)
{
  Start(Card({{1, Received}, {2, Stored}}, 2));
  SelectRow(1);
  Compose(frmMain->btnAnswer, [] {
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

TEST_F(ComposeTest, ValidityPagesStartAfreshAtEachShowing)
{
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

TEST_F(ComposeTest, TimeZoneTextFollowsTheLocaleAfterTheFirstClick)
{
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

TEST_F(ComposeTest, CounterCountsSeptetsAndBeepsAbove160)
{
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
