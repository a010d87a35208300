// The main window, the progress window and the about box, without a phone.
#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <functional>
#include <map>
#include <set>

#include "forms/Cp1252String.h"
#include "forms/Icons.h"
#include "rules/ComposeText.h"
#include "tests/support/FormsFixture.h"

namespace {

class TMainWindow : public TFormsTest {
 protected:
  std::vector<QPushButton*> Buttons() const {
    auto* f = frmMain;
    return {f->btnRead,   f->btnView,    f->btnNew,   f->btnSave, f->btnDelete,
            f->btnAnswer, f->btnForward, f->btnNames, f->btnInfo, f->btnExit};
  }

  // A listing as a reading leaves it: one row per entry, "?" for a status report.
  void FillList(const std::vector<int>& Statuses, bool StatusReportLast) {
    auto* f = frmMain;
    f->Messages.assign(Statuses.size() + (StatusReportLast ? 1 : 0), {});
    for (size_t i = 0; i < Statuses.size(); ++i) {
      f->Messages[i].Index = static_cast<int>(i) + 1;
      f->Messages[i].Status = Statuses[i];
      f->Messages[i].PDU = "00";
      f->Messages[i].Decoded = true;
    }
    if (StatusReportLast) f->Messages.back().Index = NoLocation;
    f->ReadingDone = true;
    f->ListingProcessed = true;
    f->ShowList();
  }
};

TEST_F(TMainWindow, StartState) {
  auto* f = frmMain;
  EXPECT_EQ(f->windowTitle(), "Pelmo");
  EXPECT_EQ(f->size(), QSize(633, 361));
  const std::vector<std::pair<QPushButton*, const char*>> captions = {
      {f->btnRead, "&Read messages"}, {f->btnView, "&View"},        {f->btnNew, "&New"},
      {f->btnSave, "&Save"},          {f->btnDelete, "&Delete"},    {f->btnAnswer, "&Answer"},
      {f->btnForward, "&Forward"},    {f->btnNames, "Show na&mes"}, {f->btnInfo, "&Info"},
      {f->btnExit, "E&xit"}};
  for (const auto& [button, caption] : captions) EXPECT_EQ(button->text().toStdString(), caption);
  EXPECT_EQ(EnabledControls(), "btnRead btnInfo btnExit cbxCOMPort");
  EXPECT_TRUE(f->cbxCOMPort->isEnabled());
  EXPECT_FALSE(f->sgMessages->isEnabled());

  EXPECT_EQ(f->sgMessages->RowCount(), 2);
  EXPECT_EQ(f->sgMessages->ColCount(), 5);
  const char* headers[] = {"Idx", "Stat", "Address", "Timestamp", "Text"};
  const int widths[] = {21, 26, 100, 100, 360};
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(f->sgMessages->Cells(c, 0), headers[c]);
    EXPECT_EQ(f->sgMessages->ColWidths(c), widths[c]);
    EXPECT_EQ(f->sgMessages->Cells(c, 1), "");
  }
  EXPECT_EQ(f->lblMemory->text(), "0/0");

  // The ports the system lists, in its order, each opening its own number: on Linux "COM 1" to
  // "COM 8" first; on Windows only the ports the system has. COM 4 is chosen when it is there.
  const std::vector<TKoPortEntry> ports = TKoComm::ListPorts();
  ASSERT_FALSE(ports.empty());
  ASSERT_EQ(f->cbxCOMPort->count(), static_cast<int>(ports.size()));
  bool com4 = false;
  for (int i = 0; i < f->cbxCOMPort->count(); ++i) {
    EXPECT_EQ(f->cbxCOMPort->itemText(i).toStdString(), ports[i].Caption);
    EXPECT_EQ(f->cbxCOMPort->itemData(i).toInt(), ports[i].PortNum);
    com4 = com4 || ports[i].PortNum == 4;
  }
#ifndef _WIN32
  ASSERT_GE(f->cbxCOMPort->count(), 8);
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(f->cbxCOMPort->itemText(n - 1), QStringLiteral("COM %1").arg(n));
#endif
  EXPECT_EQ(f->cbxCOMPort->currentText(), com4 ? QStringLiteral("COM 4") : f->cbxCOMPort->itemText(0));
  EXPECT_EQ(f->KoComm->PortNum(), 1);  // the choice is taken over by the next reading
  EXPECT_FALSE(f->KoComm->IsOpen());
  EXPECT_EQ(f->PhoneSCA, "NULL");
  EXPECT_FALSE(f->NamesShown);
  EXPECT_FALSE(f->PhonebookRead);
  EXPECT_TRUE(f->memLog->isHidden());
  EXPECT_TRUE(f->memLog->isReadOnly());
  EXPECT_FALSE(f->Timer->isActive());
  TfrmMain fresh;
  EXPECT_EQ(fresh.Timer->interval(), 5000);
}

// After a reading that closed the port the grid is enabled and takes the focus; that alone is no
// selection by the user and must not enable New.
// Making the main window leaves the application's font as it was: boxes and file dialogs use it.
TEST_F(TMainWindow, MakingTheWindowLeavesTheApplicationFont) {
  const QFont before = QApplication::font();
  { TfrmMain other; }
  EXPECT_EQ(QApplication::font(), before);
  EXPECT_EQ(frmMain->memLog->font(), frmMain->font());
}

TEST_F(TMainWindow, TheGridTakingTheFocusSelectsNothing) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frmMain));
  EXPECT_EQ(frmMain->sgMessages->Row(), 1);
  // As a reading that closed the port leaves it.
  frmMain->ReadingDone = true;
  frmMain->UpdateControls();
  frmMain->sgMessages->setFocus();
  QTest::qWait(50);
  ASSERT_TRUE(frmMain->sgMessages->hasFocus());
  EXPECT_EQ(EnabledControls(), "btnRead btnInfo btnExit sgMessages cbxCOMPort");
}

TEST_F(TMainWindow, TabOrder) {
  auto* f = frmMain;
  const std::vector<QWidget*> expected = {f->btnRead,    f->btnView,    f->btnNew,   f->btnSave, f->btnDelete,
                                          f->btnAnswer,  f->btnForward, f->btnNames, f->btnInfo, f->btnExit,
                                          f->sgMessages, f->cbxCOMPort, f->memLog};
  std::vector<QWidget*> chain;
  QWidget* w = f->btnRead;
  do {
    if (std::find(expected.begin(), expected.end(), w) != expected.end()) chain.push_back(w);
    w = w->nextInFocusChain();
  } while (w != f->btnRead && chain.size() < expected.size() + 1);
  EXPECT_EQ(chain, expected);
  EXPECT_FALSE(f->memLog->focusPolicy() & Qt::TabFocus);
}

// With the port closed (no phone here), nothing that asks the phone is offered.
constexpr const char* Received =
    "btnRead btnView btnSave btnDelete btnAnswer btnForward btnInfo btnExit sgMessages cbxCOMPort";
constexpr const char* Stored = "btnRead btnView btnSave btnDelete btnForward btnInfo btnExit sgMessages cbxCOMPort";
constexpr const char* NoMessage = "btnRead btnInfo btnExit sgMessages cbxCOMPort";

struct TSelectCase {
  const char* Name;
  std::vector<int> Statuses;
  bool StatusReport;
  int Row;
  const char* Enabled;
};

class TRowSelection : public TMainWindow, public ::testing::WithParamInterface<TSelectCase> {};

TEST_P(TRowSelection, EnablesTheButtonsThatFitTheRow) {
  const auto& c = GetParam();
  FillList(c.Statuses, c.StatusReport);
  frmMain->sgMessages->SetRow(c.Row);
  EXPECT_EQ(EnabledControls(), c.Enabled);
}

INSTANTIATE_TEST_SUITE_P(Rows, TRowSelection,
                         ::testing::Values(TSelectCase{"received", {1, 2}, false, 1, Received},
                                           TSelectCase{"unread", {2, 0}, false, 2, Received},
                                           TSelectCase{"stored unsent", {1, 2}, false, 2, Stored},
                                           TSelectCase{"stored sent", {3, 1}, false, 1, Stored},
                                           TSelectCase{"status report", {1, 1}, true, 3, NoMessage},
                                           TSelectCase{"empty list", {}, false, 1, NoMessage}),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& ch : name)
                             if (ch == ' ') ch = '_';
                           return name;
                         });

// Moving from a message to the status report row and back again.
TEST_F(TMainWindow, SelectionFollowsTheRow) {
  FillList({1, 3}, true);
  frmMain->sgMessages->SetRow(3);
  EXPECT_EQ(EnabledControls(), NoMessage);
  frmMain->sgMessages->SetRow(1);
  EXPECT_EQ(EnabledControls(), Received);
  frmMain->sgMessages->SetRow(2);
  EXPECT_EQ(EnabledControls(), Stored);
}

// With more rows than the grid shows, no key that moves the current row scrolls it sideways: the
// Idx column stays at the left edge and the last column ends at the vertical scroll bar.
TEST_F(TMainWindow, MovingTheRowNeverScrollsSideways) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  FillList(std::vector<int>(30, 1), false);
  TStringGrid& grid = *frmMain->sgMessages;
  for (int row = 1; row <= 30; ++row) grid.SetCells(4, row, std::string(200, 'w'));
  // The scroll bar shows once the view has laid itself out again, which a loaded machine delays.
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid.verticalScrollBar()->isVisible(); }, 3000));
  grid.SetRow(1);
  grid.setFocus();
  const auto expectInView = [&grid](const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(grid.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(grid.columnViewportPosition(0), 0);
    const int last = grid.ColCount() - 1;
    EXPECT_EQ(grid.columnViewportPosition(last) + grid.columnWidth(last), grid.viewport()->width());
  };
  expectInView("at the start");
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers shift;
    int row;
  } moves[] = {
      {Qt::Key_End, Qt::ControlModifier, 30},
      {Qt::Key_Right, {}, 30},
      {Qt::Key_Home, Qt::ControlModifier, 1},
      {Qt::Key_End, {}, 1},
      {Qt::Key_PageDown, {}, 0},
      {Qt::Key_Down, {}, 0},
  };
  for (const auto& move : moves) {
    QTest::keyClick(&grid, move.key, move.shift);
    if (move.row) {
      EXPECT_EQ(grid.Row(), move.row);
    }
    expectInView(QKeySequence(move.key | move.shift).toString().toStdString().c_str());
  }
  EXPECT_GT(grid.verticalScrollBar()->value(), 0) << "it still scrolls up and down";
  // A row added at the end, as a stored message adds one, and made current.
  grid.SetRowCount(32);
  grid.SetCells(4, 31, std::string(200, 'w'));
  grid.SetRow(31);
  expectInView("a new last row");
  EXPECT_EQ(grid.rowAt(grid.visualRect(grid.model()->index(30, 0)).center().y()), 30);
}

// A column widened by hand stops where the last column keeps a little room: its edge stays in view
// and dragging it back gives the last column its width again.
TEST_F(TMainWindow, AWidenedColumnCanBeNarrowedAgain) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  FillList(std::vector<int>(30, 1), false);
  TStringGrid& grid = *frmMain->sgMessages;
  // The room is measured beside the vertical scroll bar, which a loaded machine shows later.
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid.verticalScrollBar()->isVisible(); }, 3000));
  const int room = grid.viewport()->width();
  const int text = grid.columnWidth(4);
  EXPECT_EQ(21 + 26 + 100 + 100 + text, room);
  EXPECT_EQ(grid.ColWidths(4), 360) << "the form's width";

  grid.horizontalHeader()->resizeSection(2, 2000);
  EXPECT_GT(grid.columnWidth(2), 100);
  EXPECT_LT(grid.columnViewportPosition(2) + grid.columnWidth(2), room);
  EXPECT_GT(grid.columnWidth(4), 0);
  EXPECT_EQ(grid.columnViewportPosition(4) + grid.columnWidth(4), room);
  EXPECT_EQ(grid.horizontalScrollBar()->value(), 0);

  grid.horizontalHeader()->resizeSection(2, 100);
  EXPECT_EQ(grid.columnWidth(4), text);

  // The names layout and back: the last column fills the rest in either.
  frmMain->NamesShown = false;
  grid.SetColCount(6);
  for (int c : {3, 4}) grid.SetColWidths(c, 100);
  grid.SetColWidths(5, 259);
  EXPECT_EQ(grid.columnViewportPosition(5) + grid.columnWidth(5), room);
  EXPECT_EQ(grid.ColWidths(5), 259);
  grid.SetColWidths(4, 360);
  grid.SetColCount(5);
  EXPECT_EQ(grid.columnWidth(4), text);
  EXPECT_EQ(grid.ColWidths(4), 360);
}

// A cell too narrow for its text tells the whole text; the status column names its icon in the
// viewers' words, to the tooltip and to a screen reader.
TEST_F(TMainWindow, CellsSayWhatTheyCannotShow) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  FillList({0, 1, 2, 3}, false);
  TStringGrid& grid = *frmMain->sgMessages;
  grid.SetCells(2, 1, "+4917612345678");
  grid.SetCells(3, 1, "10 December 2026 01:59:59");
  grid.SetCells(4, 1, std::string(300, 'w'));
  EXPECT_EQ(grid.Hint(2, 1), "");
  EXPECT_EQ(grid.Hint(3, 1), "10 December 2026 01:59:59");
  EXPECT_EQ(grid.Hint(4, 1), QString(300, u'w'));
  EXPECT_EQ(grid.Hint(0, 1), "");
  EXPECT_EQ(grid.Hint(3, 2), "") << "an empty cell";

  const char* names[] = {"received unread", "received read", "stored unsent", "stored sent"};
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
  ASSERT_NE(table, nullptr);
  ASSERT_NE(table->tableInterface(), nullptr);
  for (int row = 1; row <= 4; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(grid.Hint(1, row), names[row - 1]);
    QAccessibleInterface* cell = table->tableInterface()->cellAt(row - 1, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), names[row - 1]);
  }
  // A status picture moved to another row takes its name along; a removed one leaves nothing.
  grid.SetObjects(1, 1, grid.Objects(1, 4));
  grid.SetObjects(1, 4, nullptr);
  EXPECT_EQ(table->tableInterface()->cellAt(0, 1)->text(QAccessible::Name), "stored sent");
  EXPECT_EQ(table->tableInterface()->cellAt(3, 1)->text(QAccessible::Name), "");
  EXPECT_EQ(grid.Hint(1, 4), "");
}

// The current row shows as selected once the grid has the focus, as after a reading, and stays
// where it was.
TEST_F(TMainWindow, TheCurrentRowIsDrawnSelectedWithTheFocus) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frmMain));
  FillList({1, 3}, false);
  EXPECT_FALSE(frmMain->sgMessages->selectionModel()->hasSelection());
  frmMain->sgMessages->setFocus();
  QTest::qWait(20);
  EXPECT_TRUE(frmMain->sgMessages->selectionModel()->isRowSelected(0, {}));
  EXPECT_EQ(frmMain->sgMessages->Row(), 1);
  EXPECT_EQ(EnabledControls(), Received);
}

// Enter, Delete, double-click and View need a message behind the row: on the status report row
// and on the empty row of an empty list they do nothing at all (no box, no viewer).
TEST_F(TMainWindow, KeysAndDoubleClickWithoutAMessageDoNothing) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  for (bool emptyList : {true, false}) {
    if (emptyList) {
      FillList({}, false);
      frmMain->sgMessages->SetRow(1);
    } else {
      FillList({1}, true);
      frmMain->sgMessages->SetRow(2);
    }
    frmMain->sgMessages->setFocus();
    QTest::keyClick(frmMain->sgMessages, Qt::Key_Return);
    QTest::keyClick(frmMain->sgMessages, Qt::Key_Enter);
    QTest::keyClick(frmMain->sgMessages, Qt::Key_Delete);
    const QRect cell =
        frmMain->sgMessages->visualRect(frmMain->sgMessages->model()->index(frmMain->sgMessages->Row() - 1, 2));
    QTest::mouseDClick(frmMain->sgMessages->viewport(), Qt::LeftButton, {}, cell.center());
    frmMain->btnViewClick();
    frmMain->btnDeleteClick();
    QTest::qWait(50);
    EXPECT_TRUE(Boxes.Shown.empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(frmViewIn->isVisible());
    EXPECT_FALSE(frmViewOut->isVisible());
  }
}

// Enter, double-click and View on a message row show the message in the viewer of its kind.
TEST_F(TMainWindow, KeysAndDoubleClickOnAMessageShowIt) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  FillList({1, 2}, false);
  std::vector<std::string> shown;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      shown.push_back(dialog->objectName().toStdString());
      dialog->accept();
    }
  });
  closer.start(20);
  frmMain->sgMessages->SetRow(1);
  frmMain->sgMessages->setFocus();
  QTest::keyClick(frmMain->sgMessages, Qt::Key_Return);
  const QRect row2 = frmMain->sgMessages->visualRect(frmMain->sgMessages->model()->index(1, 2));
  QTest::mouseDClick(frmMain->sgMessages->viewport(), Qt::LeftButton, {}, row2.center());
  QTest::mouseClick(frmMain->btnView, Qt::LeftButton);
  EXPECT_EQ(shown, (std::vector<std::string>{"frmViewIn", "frmViewOut", "frmViewOut"}));
}

// The hidden log: a lower-case "l" on the focused Info button shows it, the next hides it again.
TEST_F(TMainWindow, LogSwitchOnTheInfoButton) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  frmMain->btnInfo->setFocus();
  QTest::keyClick(frmMain->btnInfo, 'l');
  EXPECT_FALSE(frmMain->memLog->isHidden());
  QTest::keyClick(frmMain->btnInfo, 'L', Qt::ShiftModifier);
  EXPECT_FALSE(frmMain->memLog->isHidden()) << "upper-case L does nothing";
  QTest::keyClick(frmMain->btnInfo, 'k');
  EXPECT_FALSE(frmMain->memLog->isHidden());
  for (auto modifier : {Qt::AltModifier, Qt::ControlModifier}) {
    QTest::sendKeyEvent(QTest::Click, frmMain->btnInfo, Qt::Key_L, QStringLiteral("l"), modifier);
    EXPECT_FALSE(frmMain->memLog->isHidden()) << "a command key is no typed character";
  }
  QTest::keyClick(frmMain->btnInfo, 'l');
  EXPECT_TRUE(frmMain->memLog->isHidden());
  // The log lies over the grid.
  EXPECT_TRUE(frmMain->sgMessages->geometry().intersects(frmMain->memLog->geometry()));
}

TEST_F(TMainWindow, ExitWithThePortClosedClosesTheWindow) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  QTest::mouseClick(frmMain->btnExit, Qt::LeftButton);
  EXPECT_FALSE(frmMain->isVisible());
  EXPECT_FALSE(frmMain->KoComm->IsOpen());
  EXPECT_TRUE(Boxes.Shown.empty());
}

// The fitted font lets the widest caption fit its room, is never larger than the form font, and
// keeps the form font where that fits; the main window's buttons are made with it.
TEST_F(TMainWindow, FittedFontLetsTheWidestCaptionFit) {
  const QFont form = FormFont();
  const QString caption = QStringLiteral("Read messages");
  const int full = QFontMetrics(form).horizontalAdvance(caption);
  for (int room : {full + 10, full, full - 1, full * 9 / 10, full * 3 / 4, full / 2, 1}) {
    const QFont fitted = FittedFormFont(caption, room);
    const int width = QFontMetrics(fitted).horizontalAdvance(caption);
    EXPECT_LE(fitted.pointSizeF(), form.pointSizeF()) << room;
    EXPECT_GE(fitted.pointSizeF(), 6.0) << room;
    if (room >= full) {
      EXPECT_EQ(fitted.pointSizeF(), form.pointSizeF()) << room;
    } else if (fitted.pointSizeF() > 6.0) {
      EXPECT_LE(width, room) << room;
    }
    if (room >= full * 3 / 4 && fitted.pointSizeF() < form.pointSizeF() - 1.0) {
      QFont larger = fitted;
      larger.setPointSizeF(fitted.pointSizeF() + 1.0);
      EXPECT_GT(QFontMetrics(larger).horizontalAdvance(caption), room) << room << ": a full point more would fit";
    }
  }
  EXPECT_LE(QFontMetrics(frmMain->btnRead->font()).horizontalAdvance(caption), 89 - 14);
}

TEST_F(TMainWindow, InfoShowsTheAboutBoxModally) {
  bool wasModal = false;
  // The labels are sized to their texts when the box first shows, not when it is made.
  bool labelsFit = true;
  QTimer::singleShot(50, frmInfo, [&] {
    wasModal = QApplication::activeModalWidget() == frmInfo;
    for (const QLabel* label : {frmInfo->lblInfo1, frmInfo->lblInfo2, frmInfo->lblInfo3, frmInfo->lblInfo4,
                                frmInfo->lblInfo5, frmInfo->lblInfo6})
      labelsFit = labelsFit && label->size() == label->sizeHint();
    QTest::mouseClick(frmInfo->btnOK, Qt::LeftButton);
  });
  frmMain->btnInfoClick();
  EXPECT_TRUE(wasModal);
  EXPECT_TRUE(labelsFit);
  EXPECT_FALSE(frmInfo->isVisible());
  EXPECT_EQ(frmInfo->windowTitle(), "Info about Pelmo");
  EXPECT_EQ(frmInfo->lblInfo1->text(), "Pelmo");
  EXPECT_EQ(frmInfo->lblInfo2->text(), "Version 1.1");
  EXPECT_EQ(frmInfo->btnOK->text(), "&OK");
}

TEST_F(TMainWindow, ProgressWindowHasNoCloseBoxAndStaysOnTop) {
  const auto flags = frmProgress->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
  EXPECT_EQ(frmProgress->windowTitle(), "Reading...");
  EXPECT_EQ(frmProgress->size(), QSize(217, 65));
  frmProgress->ProgressBar->setValue(90);
  frmProgress->StepBy(12);
  EXPECT_EQ(frmProgress->ProgressBar->value(), 100);
}

// Steps that come fast are drawn together, a few times a second; a bar that did not move is not
// drawn again (with hundreds of messages each step is 0).
TEST_F(TMainWindow, ProgressStepsAreDrawnTogetherAndOnlyWhatChanged) {
  struct TPaints : QObject {
    std::map<QObject*, int> Count;
    bool eventFilter(QObject* Watched, QEvent* Event) override {
      if (Event->type() == QEvent::Paint) ++Count[Watched];
      return false;
    }
  } paints;
  QProgressBar* bar = frmProgress->ProgressBar;
  QLabel* label = frmProgress->lblProgress;
  bar->setValue(0);
  frmProgress->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmProgress));
  QApplication::processEvents();
  bar->installEventFilter(&paints);
  label->installEventFilter(&paints);
  const auto step = [&](int By, const char* Text) {
    frmProgress->StepBy(By);
    label->setText(QString::fromLatin1(Text));
    QApplication::processEvents();
  };

  step(10, "1 of 9");  // drawn as usual
  ASSERT_EQ(paints.Count[bar], 1);
  const int labelDrawn = paints.Count[label];
  EXPECT_GE(labelDrawn, 1);
  step(0, "2 of 9");
  step(10, "3 of 9");
  EXPECT_EQ(paints.Count[bar], 1) << "paused";
  EXPECT_EQ(paints.Count[label], labelDrawn) << "paused";
  EXPECT_TRUE(QTest::qWaitFor([&] { return paints.Count[bar] == 2; }, 2000));
  EXPECT_EQ(bar->value(), 20);
  EXPECT_TRUE(QTest::qWaitFor([&] { return paints.Count[label] > labelDrawn; }, 2000));

  step(0, "4 of 9");  // within the pause after the last drawing: waits, and the bar stays as it is
  const int labelBefore = paints.Count[label];
  EXPECT_TRUE(QTest::qWaitFor([&] { return paints.Count[label] > labelBefore; }, 2000));
  QTest::qWait(300);
  EXPECT_EQ(paints.Count[bar], 2);
  EXPECT_EQ(label->text(), "4 of 9");

  bar->removeEventFilter(&paints);
  label->removeEventFilter(&paints);
  frmProgress->hide();
}

// An error that escapes a handler reaches the central box, with a full stop where the message
// ends in a letter or a digit.
TEST_F(TMainWindow, CentralErrorBox) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Can't perform this operation while port is open", "Can't perform this operation while port is open."},
      {"Specified device not found (COM9).", "Specified device not found (COM9)."},
      {"Can't open specified device COM9 (Error 13, Permission denied)",
       "Can't open specified device COM9 (Error 13, Permission denied)"},
      {"Error 5", "Error 5."},
      {"path /", "path /."},
      {"ends with a blank ", "ends with a blank "},
      {"", ""}};
  for (const auto& [message, shown] : cases) EXPECT_EQ(ExceptionBoxText(message), shown) << message;

  Boxes.Answer();
  QTimer::singleShot(0, frmMain, [] { throw EKoCommError("Can't perform this operation while port is open"); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes.Shown.empty(); }, 2000));
  EXPECT_EQ(Boxes.Shown[0].Caption, "Pelmo");
  EXPECT_EQ(Boxes.Shown[0].Kind, TBoxKind::Error);
  EXPECT_EQ(Boxes.Shown[0].Text, "Can't perform this operation while port is open.");
}

TEST(Cp1252, EveryByteSurvivesTheWayThroughQString) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(QStringToCp1252(Cp1252ToQString(all)), all);
  EXPECT_EQ(Cp1252ToQString("\x80\x9f\xe9"), QString::fromUtf8("€Ÿé"));
  EXPECT_EQ(Cp1252ToQString("\x81").at(0).unicode(), 0x81);
  EXPECT_EQ(QStringToCp1252(QString::fromUtf8("Grüße → ✓")),
            "Gr\xfc\xdf"
            "e ? ?");
}

// A screen reader can name every control of the windows: each button, field, box, the grid and the
// progress bar, by its own text, the label beside it or a name of its own.
TEST_F(TMainWindow, EveryControlCanBeNamed) {
  frmViewIn->Build();
  frmViewOut->Build();
  frmSend->Build();
  // What a reader treats as a control; labels, panes and scroll bars are not.
  const std::set<QAccessible::Role> Controls = {
      QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::EditableText,
      QAccessible::ComboBox,   QAccessible::SpinBox,  QAccessible::Table,       QAccessible::ProgressBar,
      QAccessible::Slider,     QAccessible::List,     QAccessible::Graphic};
  std::function<void(QAccessibleInterface*, const std::string&, std::vector<std::string>&)> Walk =
      [&](QAccessibleInterface* Node, const std::string& Path, std::vector<std::string>& Nameless) {
        if (!Node) return;
        const QAccessible::Role Role = Node->role();
        const QObject* Object = Node->object();
        const std::string Here = Path + "/" +
                                 (Object && !Object->objectName().isEmpty() ? Object->objectName().toStdString()
                                                                            : std::to_string(static_cast<int>(Role)));
        if (Controls.count(Role) && Node->text(QAccessible::Name).trimmed().isEmpty()) Nameless.push_back(Here);
        // A table's cells are named by what they show.
        if (Role == QAccessible::Table) return;
        for (int I = 0; I < Node->childCount(); ++I) Walk(Node->child(I), Here, Nameless);
      };
  for (QWidget* Window : std::initializer_list<QWidget*>{frmMain, frmViewIn, frmViewOut, frmSend, frmProgress}) {
    SCOPED_TRACE(Window->objectName().toStdString());
    std::vector<std::string> Nameless;
    Walk(QAccessible::queryAccessibleInterface(Window), "", Nameless);
    EXPECT_EQ(Nameless, std::vector<std::string>{});
  }
}

}  // namespace
