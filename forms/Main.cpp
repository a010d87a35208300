#include "Main.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
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

#include "Cp1252.h"
#include "Dialogs.h"
#include "Icons.h"
#include "Info.h"
#include "Progress.h"

TfrmMain* frmMain = nullptr;

namespace {

// The ports the program knows by number; devices of phone cables found at start follow them.
constexpr int NamedPorts = 8;

QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption, int Left, int Top) {
  auto* button = new QPushButton(QString::fromLatin1(Caption), Parent);
  button->setObjectName(QString::fromLatin1(Name));
  button->setGeometry(Left, Top, 89, 25);
  button->setAutoDefault(false);
  return button;
}

// Serial devices that a phone cable shows up as, by path, in natural order (ttyUSB2 before ttyUSB10).
// Every one present is listed, also one the user may not open yet: opening it then says why.
QStringList CableDevices() {
  // The names are matched by hand: wildcard filters would compile regular expressions at start.
  QStringList devices;
  QDirIterator entries(QStringLiteral("/dev"), QDir::System | QDir::Files);
  while (entries.hasNext()) {
    const QString path = entries.next();
    const QString name = entries.fileName();
    for (const char* prefix : {"ttyUSB", "ttyACM", "rfcomm"})
      if (name.startsWith(QLatin1String(prefix))) devices << path;
  }
  // Natural order by the device's trailing number; a collator would load the locale's rules.
  auto Split = [](const QString& path) {
    qsizetype digits = path.size();
    while (digits > 0 && path[digits - 1].isDigit()) --digits;
    return std::pair(path.left(digits), path.mid(digits).toULongLong());
  };
  std::sort(devices.begin(), devices.end(), [&Split](const QString& a, const QString& b) { return Split(a) < Split(b); });
  return devices;
}

// The form font, a little smaller where a font wider than Tahoma would fill the widest button
// caption to its edges.
QFont MainFont() { return FittedFormFont(QStringLiteral("Read messages"), 89 - 14); }

}  // namespace

TWaitCursor::TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
TWaitCursor::~TWaitCursor() { QApplication::restoreOverrideCursor(); }

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
  sgMessages->setEnabled(false);
  sgMessages->OnDrawCell = [this](QPainter& p, int c, int r, const QRect& rect) { sgMessagesDrawCell(p, c, r, rect); };
  sgMessages->OnSelectCell = [this](int c, int r) { sgMessagesSelectCell(c, r); };
  sgMessages->OnKeyDown = [this](int key, Qt::KeyboardModifiers shift) { sgMessagesKeyDown(key, shift); };
  sgMessages->OnDblClick = [this] { btnViewClick(); };

  lblMemory = new QLabel(this);
  lblMemory->setObjectName(QStringLiteral("lblMemory"));
  lblMemory->setAlignment(Qt::AlignRight | Qt::AlignTop);
  // Right-aligned under the grid's right edge, so that a longer count grows to the left.
  lblMemory->setGeometry(524, 288, 100, 14);

  QLabel** images[4] = {&imgStatus0, &imgStatus1, &imgStatus2, &imgStatus3};
  for (int i = 0; i < 4; ++i) {
    FStatusBitmaps[i] = StatusIcon(i);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("imgStatus%1").arg(i));
    image->setGeometry(560 + 16 * i, 304, 16, 16);
    image->setPixmap(FStatusBitmaps[i]);
    image->hide();
    *images[i] = image;
  }

  cbxCOMPort = new QComboBox(this);
  cbxCOMPort->setObjectName(QStringLiteral("cbxCOMPort"));
  cbxCOMPort->setGeometry(8, 296, 89, 21);
  cbxCOMPort->setEditable(false);
  for (int n = 1; n <= NamedPorts; ++n) cbxCOMPort->addItem(QStringLiteral("COM %1").arg(n));
  // A cable's device gets the next port number; the channel finds it under that number.
  const QStringList devices = CableDevices();
  for (int i = 0; i < devices.size(); ++i) {
    const int port = NamedPorts + 1 + i;
    cbxCOMPort->addItem(devices[i]);
    ::setenv(QStringLiteral("PELMO_COM%1").arg(port).toLatin1().constData(), devices[i].toLocal8Bit().constData(), 1);
  }
  cbxCOMPort->view()->setMinimumWidth(cbxCOMPort->view()->sizeHintForColumn(0) + 24);

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
  for (QPushButton* b : {btnView, btnNew, btnSave, btnDelete, btnAnswer, btnForward, btnNames}) b->setEnabled(false);

  memLog = new QPlainTextEdit(this);
  memLog->setObjectName(QStringLiteral("memLog"));
  memLog->setGeometry(10, 146, 613, 136);
  memLog->setReadOnly(true);
  memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memLog->setFocusPolicy(Qt::ClickFocus);
  memLog->hide();
  memLog->raise();  // it lies over the lower part of the grid

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

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(5000);

  connect(btnRead, &QPushButton::clicked, this, [this] { btnReadClick(); });
  connect(btnView, &QPushButton::clicked, this, [this] { btnViewClick(); });
  connect(btnNew, &QPushButton::clicked, this, [this] { btnNewClick(); });
  connect(btnAnswer, &QPushButton::clicked, this, [this] { btnNewClick(); });
  connect(btnForward, &QPushButton::clicked, this, [this] { btnNewClick(); });
  connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
  connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
  connect(btnNames, &QPushButton::clicked, this, [this] { btnNamesClick(); });
  connect(btnInfo, &QPushButton::clicked, this, [this] { btnInfoClick(); });
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
  // The channel's threads hand their events over here; the thread waits until the work has run.
  QPointer<TfrmMain> self(this);
  KoComm->PostToMainThread = [self](std::function<void()> Work) {
    if (self) QMetaObject::invokeMethod(self.data(), std::move(Work), Qt::QueuedConnection);
  };
  KoComm->OnException = [](TKoComponent*, std::exception_ptr E) { ShowException(E); };
  KoComm->Loaded();

  SMSEngine::SetErrorReporter([](const std::string& Text) { ErrorBox(Text); });

  FormCreate();
}

TfrmMain::~TfrmMain() {
  // The channel goes first: its workers must not hand events to a window that is half gone.
  KoComm.reset();
  if (frmMain == this) frmMain = nullptr;
}

const QPixmap* TfrmMain::StatusBitmap(int Status) const {
  return Status >= 0 && Status < 4 ? &FStatusBitmaps[Status] : nullptr;
}

void TfrmMain::FormCreate() {
  static const char* const headers[] = {"Idx", "Stat", "Address", "Timestamp", "Text"};
  static const int widths[] = {21, 26, 100, 100, 360};
  for (int c = 0; c < 5; ++c) {
    sgMessages->SetCells(c, 0, headers[c]);
    sgMessages->SetColWidths(c, widths[c]);
  }
  cbxCOMPort->setCurrentIndex(3);
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

bool TfrmMain::SendCommand(const std::string& Command) {
  // One exchange at a time: a second command would empty the reply of the first.
  if (FCommandWaiting) return false;
  TWaitCursor cursor;
  ReplyBuffer.clear();
  FReplyScan = {};
  ReplyComplete = false;
  ReplyOK = true;
  TimedOut = false;
  FCommandWaiting = true;
  struct TWaitingFlag {
    bool& Flag;
    ~TWaitingFlag() { Flag = false; }
  } waiting{FCommandWaiting};
  Timer->start();
  try {
    KoComm->SendString(Command);
  } catch (...) {
    // No reply is coming for a command that was never written: no time-out box either.
    Timer->stop();
    throw;
  }
  AppendLog(Command);
  WaitReply();
  return ReplyOK;
}

void TfrmMain::WaitReply() {
  while (!ReplyComplete && !TimedOut) {
    // A pass sleeps in the event loop, so waiting costs no processor time while the replies, the
    // timer and the user's input are handled as they come.
    QEventLoop pass;
    QTimer::singleShot(100, &pass, &QEventLoop::quit);
    if (pass.exec() < 0) {
      // The application is quitting (the main window was closed during the wait): from now on every
      // pass would return at once, so the wait ends here as a failed command instead of spinning.
      Timer->stop();
      TimedOut = true;
      ReplyOK = false;
    }
  }
}

void TfrmMain::KoCommOpen(TKoComponent*) { ReplyComplete = true; }

void TfrmMain::KoCommRxChar(TKoComponent*, int) {
  Timer->stop();
  ReplyArrived(KoComm->ReceiveString());
}

void TfrmMain::ReplyArrived(const std::string& Arrival) {
  AppendLog(Arrival);
  const TReplyOutcome outcome = RecogniseArrival(ReplyBuffer, FReplyScan, Arrival);
  for (int i = 0; i < outcome.Headers; ++i) {
    ++ListingCount;
    if (frmProgress && MessagesUsed > 0) {
      // Halves round to even: 8 messages step by 12.
      frmProgress->StepBy(static_cast<int>(std::nearbyint(100.0 / MessagesUsed)));
      frmProgress->lblProgress->setText(QStringLiteral("%1 of %2 messages.").arg(ListingCount).arg(MessagesUsed));
    }
  }
  for (const std::string& text : outcome.Boxes) ErrorBox(text);
  if (outcome.Complete) {
    ReplyComplete = true;
    if (outcome.Failed) ReplyOK = false;
  } else if (FCommandWaiting && !FTimeOutShowing && !TimedOut) {
    // Each arrival gives the phone the full interval again, so a reply that starts but never ends
    // still ends by the time-out.
    Timer->start();
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

void TfrmMain::AppendLog(const std::string& Text) {
  // The log shows the dialogue line by line; CR LF pairs may be split between two arrivals.
  QString text;
  text.reserve(static_cast<qsizetype>(Text.size()));
  for (char c : Text) {
    if (c == '\n' && FLogAfterCR) {
      FLogAfterCR = false;
      continue;
    }
    FLogAfterCR = c == '\r';
    if (c == '\r' || c == '\n') text += QLatin1Char('\n');
    else text += Cp1252ToQString(std::string(1, c));
  }
  QTextCursor cursor(memLog->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  memLog->verticalScrollBar()->setValue(memLog->verticalScrollBar()->maximum());
}

// ---- The grid ----

int TfrmMain::CurrentMessageRow() const {
  const int row = sgMessages->Row();
  if (row < 1 || row > static_cast<int>(Messages.size())) return 0;
  if (sgMessages->Cells(0, row) == "?") return 0;
  return row;
}

void TfrmMain::sgMessagesDrawCell(QPainter& Painter, int Col, int Row, const QRect& Rect) {
  if (const QPixmap* bitmap = sgMessages->Objects(Col, Row)) Painter.drawPixmap(Rect.left() + 4, Rect.top(), *bitmap);
}

void TfrmMain::sgMessagesSelectCell(int, int Row) {
  const bool marked = sgMessages->Cells(0, Row) == "?";
  btnNew->setEnabled(!marked);
  if (!Messages.empty()) {
    for (QPushButton* b : {btnView, btnSave, btnDelete, btnForward}) b->setEnabled(!marked);
    const bool received = Row >= 1 && Row <= static_cast<int>(Messages.size()) && Messages[Row - 1].Status < 2;
    btnAnswer->setEnabled(!marked && received);
  } else {
    for (QPushButton* b : {btnView, btnSave, btnDelete, btnAnswer, btnForward}) b->setEnabled(false);
  }
}

void TfrmMain::sgMessagesKeyDown(int Key, Qt::KeyboardModifiers) {
  const int row = CurrentMessageRow();
  if (row == 0) return;
  if (Key == Qt::Key_Return || Key == Qt::Key_Enter) ViewMessage(row);
  else if (Key == Qt::Key_Delete) DeleteMessage(Messages[row - 1].Index);
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
  if (Key == 'l') memLog->setHidden(!memLog->isHidden());
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

// ---- Operations that are not part of the program yet ----
// Their buttons are enabled and guarded as the window's rules say; the operations themselves
// (composing, saving as text, deleting, phone book names) are still to be written, so these do
// nothing rather than pretend that something happened.

void TfrmMain::btnNewClick() {}

void TfrmMain::btnSaveClick() {}

void TfrmMain::btnDeleteClick() {
  if (const int row = CurrentMessageRow()) DeleteMessage(Messages[row - 1].Index);
}

void TfrmMain::btnNamesClick() {}

void TfrmMain::DeleteMessage(int Index) { (void)Index; }

void TfrmMain::ApplyNames() {}
