#include "forms/Main.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <utility>

#include "forms/CommLog.h"
#include "forms/Cp1252String.h"
#include "forms/Dialogs.h"
#include "forms/Icons.h"
#include "forms/Info.h"
#include "forms/Progress.h"
#include "forms/ViewFill.h"
#include "rules/ComposeText.h"
#include "rules/MessageStatus.h"

TfrmMain* frmMain = nullptr;

namespace {

QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption, int Left, int Top) {
  auto* button = new QPushButton(QString::fromLatin1(Caption), Parent);
  button->setObjectName(QString::fromLatin1(Name));
  button->setGeometry(Left, Top, 89, 25);
  button->setAutoDefault(false);
  return button;
}

// The form font, a little smaller where a font wider than Tahoma would fill the widest button
// caption to its edges.
QFont MainFont() { return FittedFormFont(QStringLiteral("Read messages"), 89 - 14); }

// The port list opens wide enough for its longest entry. Its list view is made when it first
// opens, not at start.
class TPortBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  void showPopup() override {
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 24);
    QComboBox::showPopup();
  }
};

}  // namespace

TWaitCursor::TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
TWaitCursor::~TWaitCursor() { QApplication::restoreOverrideCursor(); }

void TAutoSizeLabel::setText(const QString& Text) {
  QLabel::setText(Text);
  resize(sizeHint());
}

void TAutoSizeLabel::changeEvent(QEvent* Event) {
  QLabel::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) resize(sizeHint());
}

TfrmMain::TfrmMain(QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Pelmo"));
  // The window shows the application's icon, set once at start.
  setFont(MainFont());
  setFixedSize(633, 361);

  sgMessages = new TStringGrid(this);
  sgMessages->setObjectName(QStringLiteral("sgMessages"));
  sgMessages->setGeometry(8, 8, 616, 275);
  sgMessages->SetColCount(5);
  sgMessages->SetRowCount(2);
  sgMessages->OnDrawCell = [this](QPainter& p, int c, int r, const QRect& rect) { sgMessagesDrawCell(p, c, r, rect); };
  sgMessages->OnSelectCell = [this](int c, int r) { sgMessagesSelectCell(c, r); };
  sgMessages->OnKeyDown = [this](int key, Qt::KeyboardModifiers shift) { sgMessagesKeyDown(key, shift); };
  sgMessages->OnDblClick = [this] { btnViewClick(); };
  sgMessages->OnContextPopup = [this](const QPoint& Global) { sgMessagesContextPopup(Global); };
  sgMessages->setAccessibleName(QStringLiteral("Messages"));
  // A status icon is named in the viewers' words.
  sgMessages->ObjectText = [this](const QPixmap* Bitmap) {
    for (int Status = SMSEngine::StatusReceivedUnread; Status <= SMSEngine::StatusStoredSent; ++Status)
      if (Bitmap == &FStatusBitmaps[Status]) return QString::fromLatin1(StatusName(Status));
    return QString();
  };

  lblMemory = new TAutoSizeLabel(this);
  lblMemory->setObjectName(QStringLiteral("lblMemory"));
  lblMemory->setAlignment(Qt::AlignRight | Qt::AlignTop);
  // At its place under the grid, as wide as its text.
  lblMemory->move(576, 288);
  lblMemory->setText(QStringLiteral("0/0"));

  QLabel** images[4] = {&imgStatus0, &imgStatus1, &imgStatus2, &imgStatus3};
  for (int i = 0; i < 4; ++i) {
    FStatusBitmaps[i] = StatusIcon(i);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("imgStatus%1").arg(i));
    image->setGeometry(560 + 16 * i, 304, 16, 16);
    image->setPixmap(FStatusBitmaps[i]);
    image->setAccessibleName(QString::fromLatin1(StatusName(i)));
    image->hide();
    *images[i] = image;
  }

  cbxCOMPort = new TPortBox(this);
  cbxCOMPort->setObjectName(QStringLiteral("cbxCOMPort"));
  cbxCOMPort->setGeometry(8, 296, 89, 21);
  cbxCOMPort->setEditable(false);
  cbxCOMPort->setAccessibleName(QStringLiteral("COM port"));
  cbxCOMPort->view()->setAccessibleName(QStringLiteral("COM ports"));
  // The ports the system offers, each with the port number that opens it.
  for (const TKoPortEntry& port : TKoComm::ListPorts())
    cbxCOMPort->addItem(QString::fromLocal8Bit(port.Caption.c_str()), port.PortNum);

  btnRead = MakeButton(this, "btnRead", "&Read messages", 8, 328);
  btnView = MakeButton(this, "btnView", "&View", 128, 296);
  btnNew = MakeButton(this, "btnNew", "&New", 128, 328);
  btnSave = MakeButton(this, "btnSave", "&Save", 224, 296);
  btnDelete = MakeButton(this, "btnDelete", "&Delete", 224, 328);
  btnAnswer = MakeButton(this, "btnAnswer", "&Answer", 320, 296);
  btnForward = MakeButton(this, "btnForward", "&Forward", 320, 328);
  btnNames = MakeButton(this, "btnNames", "Show na&mes", 416, 296);
  btnInfo = MakeButton(this, "btnInfo", "&Info", 416, 328);
  btnExit = MakeButton(this, "btnExit", "E&xit", 536, 328);

  {
    // A memo lays out a first document of its own in the application's font as it is made, which
    // would load a font that no window here shows: it is made while the application's font is
    // the window's.
    const QFont applicationFont = QApplication::font();
    QApplication::setFont(font());
    memLog = new QPlainTextEdit(this);
    QApplication::setFont(applicationFont);
  }
  memLog->setObjectName(QStringLiteral("memLog"));
  // Over the lower part of the grid, edge on edge with it, from the line under its seventh row
  // down: no row shows cut in half above it.
  const int logTop = sgMessages->y() + sgMessages->frameWidth() + sgMessages->horizontalHeader()->height() +
                     7 * sgMessages->verticalHeader()->defaultSectionSize();
  memLog->setGeometry(sgMessages->x(), logTop, sgMessages->width(), sgMessages->geometry().bottom() + 1 - logTop);
  memLog->setReadOnly(true);
  memLog->setAccessibleName(QStringLiteral("Communication log"));
  memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memLog->setFocusPolicy(Qt::ClickFocus);
  memLog->hide();
  memLog->raise();  // it lies over the lower part of the grid
  FLog = new TCommLog(memLog);

  setTabOrder(btnRead, btnView);
  setTabOrder(btnView, btnNew);
  setTabOrder(btnNew, btnSave);
  setTabOrder(btnSave, btnDelete);
  setTabOrder(btnDelete, btnAnswer);
  setTabOrder(btnAnswer, btnForward);
  setTabOrder(btnForward, btnNames);
  setTabOrder(btnNames, btnInfo);
  setTabOrder(btnInfo, btnExit);
  setTabOrder(btnExit, sgMessages);
  setTabOrder(sgMessages, cbxCOMPort);
  setTabOrder(cbxCOMPort, memLog);

  pmMessages = new QMenu(this);
  pmMessages->setObjectName(QStringLiteral("pmMessages"));
  const auto MenuItem = [this](const char* Name, const char* Text) {
    QAction* Item = pmMessages->addAction(QString::fromLatin1(Text));
    Item->setObjectName(QString::fromLatin1(Name));
    return Item;
  };
  miView = MenuItem("miView", "&View");
  miAnswer = MenuItem("miAnswer", "&Answer");
  miForward = MenuItem("miForward", "&Forward");
  miSave = MenuItem("miSave", "&Save");
  miDelete = MenuItem("miDelete", "&Delete");
  pmMessages->addSeparator();
  miSaveAll = MenuItem("miSaveAll", "");
  miSaveAll->setText(QStringLiteral(u"Save a&ll messages\u2026"));
  miSaveAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  addAction(miSaveAll);  // the shortcut works wherever the window has the keys

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(NormalTimeOut);
  // The phone gets its whole interval: a coarse timer may fire a twentieth of it early, which the
  // wait, ending as soon as the time-out fires, would no longer hide.
  Timer->setTimerType(Qt::PreciseTimer);

  connect(btnRead, &QPushButton::clicked, this, [this] { btnReadClick(); });
  connect(btnView, &QPushButton::clicked, this, [this] { btnViewClick(); });
  connect(btnNew, &QPushButton::clicked, this, [this] { btnNewClick(btnNew); });
  connect(btnAnswer, &QPushButton::clicked, this, [this] { btnNewClick(btnAnswer); });
  connect(btnForward, &QPushButton::clicked, this, [this] { btnNewClick(btnForward); });
  connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
  connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
  connect(btnNames, &QPushButton::clicked, this, [this] { btnNamesClick(); });
  connect(btnInfo, &QPushButton::clicked, this, [this] { btnInfoClick(); });
  connect(miView, &QAction::triggered, this, [this] { btnViewClick(); });
  connect(miAnswer, &QAction::triggered, this, [this] { btnNewClick(btnAnswer); });
  connect(miForward, &QAction::triggered, this, [this] { btnNewClick(btnForward); });
  connect(miSave, &QAction::triggered, this, [this] { btnSaveClick(); });
  connect(miDelete, &QAction::triggered, this, [this] { btnDeleteClick(); });
  connect(miSaveAll, &QAction::triggered, this, [this] { miSaveAllClick(); });
  connect(btnExit, &QPushButton::clicked, this, [this] { btnExitClick(); });
  connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });
  btnInfo->installEventFilter(this);

  // The channel with the settings of the form: 115200 baud 8N1, no flow control, 1024-byte queues.
  KoComm = std::make_unique<TKoComm>();
  KoComm->SetAutoOpen(false);
  KoComm->SetBaudrate(br115200);
  KoComm->SetParity(paNone);
  KoComm->SetDatabits(db8);
  KoComm->SetStopbits(sb1);
  KoComm->SetPortNum(1);
  KoComm->SetDeviceName("COM%d");
  KoComm->SetMonitorEvents({ceError, ceRxChar, cePErr});
  KoComm->Buffers().SetReadSize(1024);
  KoComm->Buffers().SetWriteSize(1024);
  KoComm->OnOpen = [this](TKoComponent* Sender) { KoCommOpen(Sender); };
  KoComm->OnRxChar = [this](TKoComponent* Sender, int Count) { KoCommRxChar(Sender, Count); };
  KoComm->OnError = [this](TKoComponent* Sender, int Errors) { KoCommError(Sender, Errors); };
  // The channel's threads hand their events over here; the thread waits until the work has run.
  QPointer<TfrmMain> self(this);
  KoComm->PostToMainThread = [self](std::function<void()> Work) {
    if (self) QMetaObject::invokeMethod(self.data(), std::move(Work), Qt::QueuedConnection);
  };
  KoComm->OnException = [](TKoComponent*, std::exception_ptr E) { ShowException(E); };
  KoComm->Loaded();

  SMSEngine::SetErrorReporter([](const std::string& Text) { ErrorBox(Text); });

  FormCreate();
  UpdateControls();
}

TfrmMain::~TfrmMain() {
  // The channel goes first: its workers must not hand events to a window that is half gone.
  KoComm.reset();
  if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::FocusGrid() {
  if (!isVisible()) return;
  // A window manager does not always give the focus back when a modal box closes.
  activateWindow();
  // Before the first reading the grid is off: Read messages takes the keys then.
  QWidget* Focus = sgMessages->isEnabled() ? static_cast<QWidget*>(sgMessages) : static_cast<QWidget*>(btnRead);
  Focus->setFocus(Qt::OtherFocusReason);
}

const QPixmap* TfrmMain::StatusBitmap(int Status) const {
  return KnownStatus(Status) ? &FStatusBitmaps[Status] : nullptr;
}

void TfrmMain::FormCreate() {
  static const char* const headers[] = {"Idx", "Stat", "Address", "Timestamp", "Text"};
  static const int widths[] = {21, 26, 100, 100, 360};
  for (int c = 0; c < 5; ++c) {
    sgMessages->SetCells(c, 0, headers[c]);
    sgMessages->SetColWidths(c, widths[c]);
  }
  // "COM 4" where the system has it.
  const int com4 = cbxCOMPort->findData(4);
  cbxCOMPort->setCurrentIndex(com4 >= 0 ? com4 : 0);
  lblMemory->setText(QStringLiteral("0/0"));
  PhoneSCA = "NULL";
  NamesShown = false;
  PhonebookRead = false;
}

void TfrmMain::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous())
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - frameGeometry().center() + pos());
  QWidget::showEvent(Event);
}

// ---- The AT command exchange ----

bool TfrmMain::SendCommand(const std::string& Command, const std::string& RefusalNote) {
  // One exchange at a time: a second command would empty the reply of the first.
  if (FCommandWaiting) return false;
  TWaitCursor cursor;
  ReplyBuffer.clear();
  FReplyScan = {};
  ReplyComplete = false;
  ReplyOK = true;
  TimedOut = false;
  FCommandWaiting = true;
  // The hidden log takes the whole exchange at its end.
  FLog->SetHeld(true);
  FRefusalNote = RefusalNote;
  struct TWaitingFlag {
    TfrmMain& Form;
    ~TWaitingFlag() {
      Form.FCommandWaiting = false;
      Form.FRefusalNote.clear();
      Form.FLog->SetHeld(false);
    }
  } waiting{*this};
  // A command that was not written gets no answer: it fails at once instead of by the time-out,
  // and the log holds only what went out.
  const auto notWritten = [this](const char* Text) {
    EndCommandFailed();
    if (Text) ErrorBox(Text);
    return false;
  };
  if (!KoComm->IsOpen()) {
    // A port closed because its phone went away says so: the user has to connect it again.
    if (!FGonePort.empty()) return notWritten(DisconnectedText().c_str());
    return notWritten("ERROR: Port not open, command not sent.");
  }
  Timer->start();
  int written = 0;
  try {
    written = KoComm->SendBytes(Command.data(), static_cast<int>(Command.size()));
  } catch (...) {
    // The channel's own error reaches the central box.
    notWritten(nullptr);
    throw;
  }
  AppendLog(Command.substr(0, static_cast<std::size_t>(std::max(written, 0))));
  if (written < static_cast<int>(Command.size())) return notWritten("ERROR: Command could not be written to the port.");
  WaitReply();
  return ReplyOK;
}

void TfrmMain::WaitReply() {
  constexpr int PassMs = 100;
  // The flags are tested after each pass, so every wait takes at least one: 100 ms from the
  // writing of the command. Later passes end as soon as the reply is complete or the time-out has
  // fired, so that a reply that completes after the first pass is not held to the end of its pass.
  QElapsedTimer waited;
  waited.start();
  struct TWaitingFlag {
    bool& Flag;
    bool Outer;
    ~TWaitingFlag() { Flag = Outer; }
  } waiting{FWaiting, FWaiting};
  FWaiting = true;
  do {
    // A pass sleeps in the event loop, so waiting costs no processor time while the replies, the
    // timer and the user's input are handled as they come.
    QEventLoop pass;
    // A precise timer: a coarse one may end the pass a few milliseconds early.
    QTimer::singleShot(PassMs, Qt::PreciseTimer, &pass, &QEventLoop::quit);
    // Tested whenever the pending messages have been handled and the loop is about to sleep.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &pass, [&] {
      if ((ReplyComplete || TimedOut) && waited.elapsed() >= PassMs) pass.quit();
    });
    if (pass.exec() < 0) {
      // The application is quitting (the main window was closed during the wait): from now on every
      // pass would return at once, so the wait ends here as a failed command instead of spinning.
      AbandonCommand();
    }
  } while (!ReplyComplete && !TimedOut);
}

bool TfrmMain::OpenPortAndWait() {
  ReplyComplete = false;
  TimedOut = false;
  KoComm->OpenPort();
  Timer->start();
  WaitReply();
  if (TimedOut) return false;
  Timer->stop();
  // A device that went away at once has been reported, and its port is closed.
  return KoComm->IsOpen();
}

void TfrmMain::EndCommandFailed() {
  Timer->stop();
  ReplyOK = false;
  ReplyComplete = true;
}

void TfrmMain::AbandonCommand() {
  Timer->stop();
  ReplyOK = false;
  TimedOut = true;
}

void TfrmMain::CancelPDUPrompt() {
  if (!TimedOut || !KoComm->IsOpen()) return;
  KoComm->SendString("\x1B");
  AppendLog("\x1B");
}

TfrmMain::TTimeOutFor::TTimeOutFor(TfrmMain& Form, int Milliseconds) : FForm(Form) {
  FForm.Timer->setInterval(Milliseconds);
}

TfrmMain::TTimeOutFor::~TTimeOutFor() { FForm.Timer->setInterval(NormalTimeOut); }

void TfrmMain::KoCommOpen(TKoComponent*) {
  FGonePort.clear();
  ReplyComplete = true;
}

void TfrmMain::KoCommError(TKoComponent*, int Errors) {
  // Parity, framing and overrun errors show in the reply, which then ends by its own rules.
  if (!(Errors & KO_CE_IOE)) return;
  const int Item = cbxCOMPort->findData(KoComm->PortNum());
  FGonePort = Item >= 0 ? QStringToCp1252(cbxCOMPort->itemText(Item)) : "COM " + std::to_string(KoComm->PortNum());
  // Closed now, so that whatever runs next finds it closed, and the next reading opens it afresh.
  KoComm->ClosePort();
  // A command that waits, or the opening's wait, fails at once: no reply can come any more, and no
  // time-out box is to follow. Its operation then ends by its failure path.
  if (FWaiting && !TimedOut) {
    if (ReplyComplete)
      Timer->stop();  // the port had opened: its wait ends by its own first pass
    else
      EndCommandFailed();
  }
  // Nothing to compose or look up without a port.
  UpdateControls();
  ErrorBox(DisconnectedText());
}

std::string TfrmMain::DisconnectedText() const { return "ERROR: Phone disconnected (" + FGonePort + ")."; }

void TfrmMain::KoCommRxChar(TKoComponent*, int) { ReplyArrived(KoComm->ReceiveString()); }

void TfrmMain::ReplyArrived(const std::string& Arrival) {
  AppendLog(Arrival);
  const TReplyOutcome outcome = RecogniseArrival(ReplyBuffer, FReplyScan, Arrival);
  if (outcome.Complete) {
    Timer->stop();
  } else if (outcome.Grew && FCommandWaiting && !FTimeOutShowing && !TimedOut) {
    // Only text that adds to the reply gives the phone the full interval again: a reply that keeps
    // coming is waited for, while unsolicited codes, or a reply that stops half-way, end by the
    // time-out.
    Timer->start();
  }
  for (int i = 0; i < outcome.Headers; ++i) {
    ++ListingCount;
    if (frmProgress && MessagesUsed > 0) {
      // Halves round to even: 8 messages step by 12.
      frmProgress->StepBy(static_cast<int>(std::nearbyint(100.0 / MessagesUsed)));
      frmProgress->lblProgress->setText(QStringLiteral("%1 of %2 messages.").arg(ListingCount).arg(MessagesUsed));
    }
  }
  if (outcome.TooLong && FCommandWaiting) ErrorBox(ReplyTooLongText);
  for (const std::string& text : outcome.Boxes) ErrorBox(FRefusalNote.empty() ? text : text + "\r\n" + FRefusalNote);
  if (outcome.Complete) {
    ReplyComplete = true;
    if (outcome.Failed) ReplyOK = false;
  }
}

void TfrmMain::TimerTimer() {
  Timer->stop();
  FTimeOutShowing = true;
  struct TShowing {
    bool& Flag;
    ~TShowing() { Flag = false; }
  } showing{FTimeOutShowing};
  ErrorBox("ERROR: No answer from phone (timeout).");
  // Set only now: a reply that completed while the box was open still ends the command as failed.
  TimedOut = true;
  ReplyOK = false;
}

void TfrmMain::AppendLog(const std::string& Text) { FLog->Append(Text); }

// ---- What may be pressed ----

TfrmMain::TOperationRunning::TOperationRunning(TfrmMain& Form, TOperation Operation)
    : FForm(Form), FOuter(Form.Operation) {
  FForm.Operation = Operation;
  FForm.AnswerAfterStore = false;
  FForm.UpdateControls();
}

TfrmMain::TOperationRunning::~TOperationRunning() {
  FForm.Operation = FOuter;
  FForm.UpdateControls();
}

void TfrmMain::UpdateControls() {
  const bool Idle = Operation == TOperation::None;
  const bool Open = KoComm->IsOpen();
  const int Row = sgMessages->Row();
  const bool Message = MessageBehindRow(Row) != 0;
  const bool Received = Message && IsReceived(EntryBehindRow(Row)->Status);
  sgMessages->setEnabled(Idle && ReadingDone);
  cbxCOMPort->setEnabled(Idle);
  btnRead->setEnabled(Idle);
  // Composing asks the phone: not with the port closed, and not on the status reports' row.
  btnNew->setEnabled(Idle && Open && !StatusReportRow(Row));
  for (QPushButton* Button : {btnView, btnSave, btnDelete, btnForward}) Button->setEnabled(Idle && Message);
  btnAnswer->setEnabled(Idle && Message && (Received || AnswerAfterStore));
  btnNames->setEnabled(Idle && Open);
  btnInfo->setEnabled(Operation != TOperation::Reading && Operation != TOperation::Names);
  btnExit->setEnabled(Idle || Operation == TOperation::Delete);
  // The menu offers what the buttons offer.
  const std::pair<QAction*, QPushButton*> Twins[] = {
      {miView, btnView}, {miAnswer, btnAnswer}, {miForward, btnForward}, {miSave, btnSave}, {miDelete, btnDelete}};
  for (const auto& [Item, Button] : Twins) Item->setEnabled(Button->isEnabled());
  // Saving all reads only the list, but the list is the phone's again once an operation ends.
  const bool AnyMessage = ListingProcessed && std::any_of(Messages.begin(), Messages.end(),
                                                          [](const auto& Entry) { return !Entry.PDU.empty(); });
  miSaveAll->setEnabled(Idle && AnyMessage);
}

// ---- The grid ----

namespace {

// Where the grid shows what: the names layout puts "Name" at 3 and moves the rest right.
struct TGridColumns {
  int Name;  // -1: not shown
  int Timestamp;
  int Text;
};
constexpr int ColIdx = 0;
constexpr int ColStat = 1;
constexpr int ColAddress = 2;
constexpr TGridColumns PlainColumns = {-1, 3, 4};
constexpr TGridColumns NamesColumns = {3, 4, 5};

}  // namespace

void TfrmMain::ShowMessageRow(int Row) {
  TStringGrid& Grid = *sgMessages;
  for (int Col = 0; Col < Grid.ColCount(); ++Col) Grid.SetCells(Col, Row, "");
  Grid.SetObjects(ColStat, Row, nullptr);
  const SMSEngine::TMessageList* Behind = EntryBehindRow(Row);
  if (!Behind) return;
  const SMSEngine::TMessageList& Entry = *Behind;
  const TGridColumns& Columns = NamesShown ? NamesColumns : PlainColumns;
  if (StatusReportRow(Row)) {
    Grid.SetCells(ColIdx, Row, "?");
    Grid.SetCells(ColAddress, Row, "-");
    Grid.SetCells(Columns.Timestamp, Row, "-");
    Grid.SetCells(Columns.Text, Row, "<Status report>");
    return;
  }
  const bool Known = KnownStatus(Entry.Status);
  // A header of a status no phone gives shows nothing; one that could not be read at all, "ERROR".
  if (!Known && Entry.Status != UnreadStatus) return;
  if (Entry.Index != NoLocation) Grid.SetCells(ColIdx, Row, std::to_string(Entry.Index));
  if (Known) Grid.SetObjects(ColStat, Row, StatusBitmap(Entry.Status));
  if (!Known || !Entry.Decoded) {
    Grid.SetCells(ColAddress, Row, "ERROR");
    return;
  }
  const bool Received = IsReceived(Entry.Status);
  Grid.SetCells(ColAddress, Row, Received ? Entry.OA : Entry.DA);
  if (Columns.Name >= 0) Grid.SetCells(Columns.Name, Row, Entry.Name);
  if (Received) Grid.SetCells(Columns.Timestamp, Row, QStringToCp1252(DateTimeText(Entry.SCTS)));
  Grid.SetCells(Columns.Text, Row, OneLineText(Entry.UD));
}

void TfrmMain::ShowList() {
  const int Rows = ListingProcessed ? static_cast<int>(Messages.size()) : 0;
  sgMessages->SetRowCount(std::max(Rows, 1) + 1);
  for (int Row = 1; Row <= std::max(Rows, 1); ++Row) ShowMessageRow(Row);
  UpdateControls();
}

const SMSEngine::TMessageList* TfrmMain::EntryBehindRow(int Row) const {
  if (!ListingProcessed || Row < 1 || Row > static_cast<int>(Messages.size())) return nullptr;
  return &Messages[static_cast<std::size_t>(Row - 1)];
}

bool TfrmMain::StatusReportRow(int Row) const {
  const SMSEngine::TMessageList* Entry = EntryBehindRow(Row);
  return Entry && Entry->Index == NoLocation && Entry->PDU.empty();
}

int TfrmMain::MessageBehindRow(int Row) const {
  const SMSEngine::TMessageList* Entry = EntryBehindRow(Row);
  // Only a message whose location and status were read can be viewed, saved, deleted or answered.
  return Entry && Entry->Index != NoLocation && KnownStatus(Entry->Status) ? Row : 0;
}

int TfrmMain::CurrentMessageRow() const { return MessageBehindRow(sgMessages->Row()); }

void TfrmMain::sgMessagesDrawCell(QPainter& Painter, int Col, int Row, const QRect& Rect) {
  if (const QPixmap* bitmap = sgMessages->Objects(Col, Row)) Painter.drawPixmap(Rect.left() + 4, Rect.top(), *bitmap);
}

void TfrmMain::sgMessagesSelectCell(int, int) {
  // Only a row with a message behind it offers what can be done with a message.
  AnswerAfterStore = false;
  UpdateControls();
}

void TfrmMain::sgMessagesKeyDown(int Key, Qt::KeyboardModifiers) {
  const int row = CurrentMessageRow();
  if (row == 0) return;
  if (Key == Qt::Key_Return || Key == Qt::Key_Enter)
    ViewMessage(row);
  else if (Key == Qt::Key_Delete)
    DeleteMessage(Messages[row - 1].Index);
}

void TfrmMain::sgMessagesContextPopup(const QPoint& Global) {
  if (!sgMessages->isEnabled()) return;
  pmMessages->popup(Global);
}

void TfrmMain::btnViewClick() {
  if (const int row = CurrentMessageRow()) ViewMessage(row);
}

// ---- The shell buttons ----

void TfrmMain::btnInfoClick() {
  if (frmInfo) frmInfo->exec();
}

void TfrmMain::btnExitClick() {
  KoComm->ClosePort();
  close();
}

void TfrmMain::btnInfoKeyPress(char Key) {
  if (Key != 'l') return;
  if (memLog->isHidden() && !FLogFontSet) {
    // The phone's replies line up in columns only in a fixed-pitch font. Chosen at the first
    // showing, so that a start-up without the log loads no font for it.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font().pointSizeF());
    memLog->setFont(fixed);
    FLogFontSet = true;
  }
  memLog->setHidden(!memLog->isHidden());
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == btnInfo && Event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(Event);
    // Only typed characters count: Alt and Ctrl with a letter are commands, not text.
    const std::string text = QStringToCp1252(key->text());
    if (text.size() == 1 && !(key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)))
      btnInfoKeyPress(text[0]);
  }
  return QWidget::eventFilter(Watched, Event);
}

// ---- Deleting from the button ----

void TfrmMain::btnDeleteClick() {
  if (const int row = CurrentMessageRow()) DeleteMessage(Messages[row - 1].Index);
}
