// What the two viewers show for a list entry.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "forms/ViewFill.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"

using SMSEngine::TMessageList;

namespace {

class ViewersTest : public testing::Test {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
  void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

SMSEngine::TDateTime At(int Year, int Month, int Day, int Hour, int Min, int Sec) {
  return SMSEngine::EncodeDate(Year, Month, Day) + SMSEngine::EncodeTime(Hour, Min, Sec, 0);
}

struct TInCase {
  const char* Name;
  TMessageList Entry;
  const char* Index;
  const char* Status;
  const char* SCA;
  const char* SCTS;
  const char* OA;
  QString UD;
  const char* Chars;
  bool Flash;
};

TEST_F(ViewersTest, IncomingViewerShowsTheReceivedFields) {
  TMessageList Plain;
  Plain.Index = 4;
  Plain.Status = 1;
  Plain.SCA = "+491710760000";
  Plain.OA = "+491711234567";
  Plain.SCTS = At(2024, 3, 15, 14, 30, 5);
  Plain.UD = "Hello\r\nworld";

  TMessageList Named = Plain;
  Named.Status = 0;
  Named.Name = "M\xFCller";  // code page 1252
  Named.SCA.clear();
  Named.Flash = true;
  Named.SCTS = At(2024, 3, 15, 0, 0, 0);
  Named.UD = "[1\x80]";  // brackets and the euro sign are extension characters

  const TMessageList Empty;  // the blank entry after a status report row

  const TInCase Cases[] = {
      {"read, with SCA and a line break", Plain, "4", "1 (received read)", "+491710760000", "15/03/2024 14:30:05",
       "+491711234567", "Hello\nworld", "12", false},
      {"unread flash from a named sender without SCA, at midnight", Named, "4", "0 (received unread)", "<Not present>",
       "15/03/2024", "+491711234567 (M\u00FCller)", "[1\u20AC]", "7", true},
      {"empty entry", Empty, "0", "0 (received unread)", "<Not present>", "30/12/1899", "", "", "0", false},
  };
  TfrmViewIn Form;
  QPixmap Icon(16, 16);
  Icon.fill(Qt::red);
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FillViewIn(Form, Case.Entry, &Icon);
    EXPECT_EQ(Form.edIndex->text(), Case.Index);
    EXPECT_EQ(Form.edStatus->text(), Case.Status);
    EXPECT_EQ(Form.edSCA->text(), Case.SCA);
    EXPECT_EQ(Form.edSCTS->text(), Case.SCTS);
    EXPECT_EQ(Form.edOA->text(), QString::fromUtf8(Case.OA));
    EXPECT_EQ(Form.memUD->toPlainText(), Case.UD);
    EXPECT_EQ(Form.lblChars->text(), Case.Chars);
    EXPECT_EQ(Form.cbxFlash->isChecked(), Case.Flash);
    EXPECT_FALSE(Form.imgStatus->pixmap().isNull());
  }
}

struct TOutCase {
  const char* Name;
  TMessageList Entry;
  const char* Status;
  const char* SCA;
  const char* MR;
  const char* VP;
  const char* DA;
  bool SRR;
  bool RD;
  bool Flash;
};

TEST_F(ViewersTest, OutgoingViewerShowsTheStoredFields) {
  TMessageList Relative;
  Relative.Index = 7;
  Relative.Status = 2;
  Relative.SCA = "<Not present>";  // as the SUBMIT decoder gives it
  Relative.VPF = 2;
  Relative.VPRelative = 173;
  Relative.MR = 0;
  Relative.DA = "+4912345678";
  Relative.UD = "Hello";

  TMessageList Absolute;
  Absolute.Index = 8;
  Absolute.Status = 3;
  Absolute.SCA = "+4912345678";
  Absolute.SRR = true;
  Absolute.RD = true;
  Absolute.Flash = true;
  Absolute.MR = 7;
  Absolute.VPF = 3;
  Absolute.VPAbsolute = At(2030, 3, 15, 14, 30, 0);
  Absolute.VPTZ = -8;
  Absolute.DA = "0123456789";
  Absolute.Name = "Office";
  Absolute.UD = "Hi";

  TMessageList None = Relative;
  None.VPF = 0;
  TMessageList QuarterEast = Absolute;
  QuarterEast.VPTZ = 3;
  QuarterEast.VPAbsolute = At(2030, 3, 15, 0, 0, 0);
  TMessageList Zero = Absolute;
  Zero.VPTZ = 0;

  const TOutCase Cases[] = {
      {"relative period, no SCA", Relative, "2 (stored unsent)", "<Not present>", "0", "07 days", "+4912345678", false,
       false, false},
      {"absolute period, named, all options", Absolute, "3 (stored sent)", "+4912345678", "7",
       "15/03/2030 14:30:00 GMT -2.00", "0123456789 (Office)", true, true, true},
      {"no period", None, "2 (stored unsent)", "<Not present>", "0", "<Not present>", "+4912345678", false, false,
       false},
      {"absolute period at midnight, quarter-hour zone", QuarterEast, "3 (stored sent)", "+4912345678", "7",
       "15/03/2030 GMT +0.75", "0123456789 (Office)", true, true, true},
      {"absolute period in zone 0", Zero, "3 (stored sent)", "+4912345678", "7", "15/03/2030 14:30:00 GMT +0.00",
       "0123456789 (Office)", true, true, true},
  };
  TfrmViewOut Form;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FillViewOut(Form, Case.Entry, nullptr);
    EXPECT_EQ(Form.edIndex->text(), QString::number(Case.Entry.Index));
    EXPECT_EQ(Form.edStatus->text(), Case.Status);
    EXPECT_EQ(Form.edSCA->text(), Case.SCA);
    EXPECT_EQ(Form.edMR->text(), Case.MR);
    EXPECT_EQ(Form.edVP->text(), Case.VP);
    EXPECT_EQ(Form.edDA->text(), Case.DA);
    EXPECT_EQ(Form.cbxSRR->isChecked(), Case.SRR);
    EXPECT_EQ(Form.cbxRD->isChecked(), Case.RD);
    EXPECT_EQ(Form.cbxFlash->isChecked(), Case.Flash);
    EXPECT_EQ(Form.memUD->toPlainText(), QString::fromStdString(Case.Entry.UD));
  }
}

TEST_F(ViewersTest, TimeZoneUsesTheLocaleDecimalSeparator) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(TimeZoneText(4), "+1,00");
  EXPECT_EQ(TimeZoneText(-3), "-0,75");
  EXPECT_EQ(TimeZoneText(48), "+12,00");
  EXPECT_EQ(TimeZoneText(-48), "-12,00");
}

TEST_F(ViewersTest, EscapeAndOKCloseWithTheOKResult) {
  TfrmViewIn In;
  TfrmViewOut Out;
  for (QDialog* Form : {static_cast<QDialog*>(&In), static_cast<QDialog*>(&Out)}) {
    SCOPED_TRACE(Form->windowTitle().toStdString());
    Form->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
    QTest::keyClick(Form, Qt::Key_Escape);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->result(), QDialog::Accepted);
    Form->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
    Form->findChild<QPushButton*>()->click();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->result(), QDialog::Accepted);
  }
}

}  // namespace
