// The communication log: what it keeps, how it shows lines, and that it lays out text only while
// it is shown.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include "forms/CommLog.h"
#include "tests/support/FormsFixture.h"

namespace {

class TLog : public TFormsTest {
 protected:
  QTextDocument& Document() { return *frmMain->memLog->document(); }
  QStringList Lines() { return frmMain->memLog->toPlainText().split(QLatin1Char('\n')); }
};

TEST_F(TLog, LineBreaksOfEveryKindAndSplitPairs) {
  for (const char* piece : {"AT+CGSN\r", "\n", "\r\n35007780\r\n\r", "\nOK\r\n", "a\nb\rc"}) frmMain->AppendLog(piece);
  EXPECT_EQ(Lines(), (QStringList{"AT+CGSN", "", "35007780", "", "OK", "a", "b", "c"}));
  frmMain->AppendLog(std::string("\x80\xe9", 2));
  EXPECT_TRUE(frmMain->memLog->toPlainText().endsWith(QStringLiteral("c\u20AC\u00E9")));
}

TEST_F(TLog, KeepsABoundedTailInLinesOfBoundedLength) {
  const std::string piece(1000, 'z');
  for (size_t fed = 0; fed < 3 * LogTailSize; fed += piece.size()) frmMain->AppendLog(piece);
  frmMain->AppendLog("\r\nlast line\r\n");
  EXPECT_LE(static_cast<size_t>(Document().characterCount()), LogTailSize + LogTailSize / 4 + LogLineMax);
  EXPECT_GE(static_cast<size_t>(Document().characterCount()), LogTailSize);
  for (QTextBlock block = Document().begin(); block.isValid(); block = block.next())
    ASSERT_LE(block.length(), LogLineMax + 1);
  EXPECT_EQ(Lines().mid(Lines().size() - 2), (QStringList{"last line", ""}));

  // Short lines are bounded by their number too.
  for (int i = 0; i < 2 * LogLines; ++i) frmMain->AppendLog("\r\nRING\r\n");
  EXPECT_LE(Document().blockCount(), LogLines + LogLines / 4);
  EXPECT_EQ(Lines().at(Lines().size() - 2), "RING");
}

// While a command waits the hidden log holds what arrives, and takes it in one piece when the hold
// ends, or sooner when enough has gathered or the memo is shown.
TEST_F(TLog, AHeldLogTakesWhatWaitedAtTheEnd) {
  auto* memo = new QPlainTextEdit;  // a window of its own, so that it can be shown
  memo->hide();
  auto* log = new TCommLog(memo);
  log->SetHeld(true);
  log->Append("AT+CMGL=4\r");
  log->Append("\r\n+CMGL: 1,1,,23\r\n");
  EXPECT_TRUE(memo->toPlainText().isEmpty());
  log->SetHeld(false);
  EXPECT_EQ(memo->toPlainText(), "AT+CMGL=4\n\n+CMGL: 1,1,,23\n");

  log->SetHeld(true);
  log->Append(std::string(LogHeldMax, 'z'));
  EXPECT_GE(memo->document()->characterCount(), LogHeldMax) << "a flood is not held";
  log->Append("\r\nOK\r\n");
  memo->show();
  EXPECT_TRUE(memo->toPlainText().endsWith(QStringLiteral("\nOK\n")));
  delete memo;
}

// Hidden, the log's text is not laid out however much arrives; shown, it is, and it goes on
// taking text at its end.
TEST_F(TLog, LaidOutOnlyWhileShown) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  for (int i = 0; i < 50; ++i) frmMain->AppendLog("+CMGL: " + std::to_string(i) + ",1,,23\r\nhalf a line ");
  QApplication::processEvents();
  int laidOut = 0;
  for (QTextBlock block = Document().begin(); block.isValid(); block = block.next())
    laidOut += block.layout()->lineCount() > 0;
  EXPECT_EQ(laidOut, 0);

  frmMain->btnInfoKeyPress('l');
  ASSERT_TRUE(frmMain->memLog->isVisible());
  QTest::qWait(50);
  EXPECT_GT(Document().lastBlock().layout()->lineCount(), 0) << "the end of the log is on screen";
  frmMain->AppendLog("and its end\r\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Lines().at(Lines().size() - 2) == "half a line and its end"; }, 2000));
  frmMain->AppendLog("hidden again");
  frmMain->btnInfoKeyPress('l');
  EXPECT_EQ(Lines().last(), "hidden again") << "nothing waits once the log is hidden";
  frmMain->hide();
}

}  // namespace
