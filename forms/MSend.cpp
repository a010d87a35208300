#include "forms/MSend.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <algorithm>
#include <utility>

#include "forms/Cp1252String.h"
#include "forms/Dialogs.h"
#include "forms/FixedDialog.h"
#include "forms/Main.h"
#include "forms/UpDown.h"
#include "forms/ViewFill.h"
#include "rules/ComposeText.h"

TfrmSend* frmSend = nullptr;

namespace {

constexpr int EditHeight = 21;

QPushButton* Button(QWidget* Parent, const char* Caption, int Left) {
  auto* Button = new QPushButton(QString::fromLatin1(Caption), Parent);
  Button->setGeometry(Left, 216, 81, 25);
  // Enter in a field presses nothing: a message goes only by a deliberate press.
  Button->setAutoDefault(false);
  return Button;
}

// A date or time picker's text in a font small enough for the widest text its format can show in
// the field's designed width: a long date format would otherwise lose its last digits. Half points
// down from the form font, at least 6 points.
void FitPickerFont(QDateTimeEdit* Picker, const QFont& FormFont) {
  const auto* Edit = Picker->findChild<QLineEdit*>();
  if (!Edit) return;
  // The line edit's own frame and margins are part of its width.
  const int Room = Edit->contentsRect().width() - 4;
  const QString Format = Picker->displayFormat();
  const QLocale Locale = Picker->locale();
  QStringList Samples;
  // Every month name, on a two-digit day, late in the evening: the widest the field will show.
  for (int Month = 1; Month <= 12; ++Month)
    Samples << Locale.toString(QDateTime(QDate(2088, Month, 28), QTime(23, 58, 58)), Format);
  QFont Font = FormFont;
  auto Widest = [&Samples](const QFont& F) {
    const QFontMetrics Metrics(F);
    int Width = 0;
    for (const QString& Sample : Samples) Width = std::max(Width, Metrics.horizontalAdvance(Sample));
    return Width;
  };
  while (Widest(Font) > Room && Font.pointSizeF() > 6.0) Font.setPointSizeF(Font.pointSizeF() - 0.5);
  Picker->setFont(Font);
}

// Today and the time of day from the clock that the encoder checks the validity against.
void ClockNow(QDate& Date, QTime& Time) {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Min = 0, Sec = 0, MSec = 0;
  SMSEngine::DecodeDateTime(SMSEngine::Now(), Year, Month, Day, Hour, Min, Sec, MSec);
  Date = QDate(Year, Month, Day);
  Time = QTime(Hour, Min, Sec);
}

// A label's colours with its text in the theme's warning colour: a red that stands out from the
// window's background, light on a dark theme and dark on a light one.
QPalette WarningPalette(const QWidget& Widget) {
  QPalette Palette = Widget.palette();
  const bool Dark = Palette.color(QPalette::Window).lightness() < 128;
  Palette.setColor(QPalette::WindowText, Dark ? QColor(0xFF, 0x6B, 0x6B) : QColor(0xC0, 0x00, 0x00));
  return Palette;
}

// The message as a reading of the phone would show it: decoded from the PDU that went, so that
// the list, the grid and the memo show what the phone holds (the alphabet's stand-ins included).
SMSEngine::TMessageList AsRead(const std::string& PDU, int PDULength) {
  SMSEngine::TMessageList Entry;
  Entry.Status = SMSEngine::StatusStoredUnsent;
  Entry.PDULength = PDULength;
  Entry.PDU = PDU;
  Entry.Decoded = SMSEngine::DecodeSubmitPDU(PDU, Entry.SCA, Entry.SRR, Entry.VPF, Entry.RD, Entry.MR, Entry.DA,
                                             Entry.Flash, Entry.VPRelative, Entry.VPAbsolute, Entry.VPTZ, Entry.UD);
  return Entry;
}

// The two halves of writing a message. When the phone did not answer one in time, it may still be
// waiting for the PDU, and would take every later command for one: Esc makes it drop the message.
// A text over one message's length gets a second line on the phone's refusal that says so, in the
// counter's own figure.
bool SendMessageCommands(TfrmMain& Main, const std::string& Command, int PDULength, const std::string& PDU,
                         int Septets) {
  const std::string Note =
      Septets > 160 ? "The text has " + std::to_string(Septets) + " characters; one message carries 160." : "";
  if (Main.SendCommand(Command + std::to_string(PDULength) + "\r", Note) && Main.SendCommand(PDU + "\x1A", Note))
    return true;
  Main.CancelPDUPrompt();
  return false;
}

}  // namespace

// While an exchange of the dialog waits, nothing in it may start another one or close it; the
// buttons follow what the dialog knows again on every way out.
class TfrmSend::TBusy {
 public:
  explicit TBusy(TfrmSend& Form) : FForm(Form) {
    FForm.FBusy = true;
    FForm.UpdateButtons();
  }
  ~TBusy() {
    FForm.FBusy = false;
    FForm.UpdateButtons();
  }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

 private:
  TfrmSend& FForm;
};

TfrmSend::TfrmSend(QWidget* Parent) : TLazyDialog(Parent) {
  setObjectName(QStringLiteral("frmSend"));
  FixedDialog::SetUpDialog(this, QStringLiteral("New message"), 465, 249);
  Beep = [] { QApplication::beep(); };
}

void TfrmSend::Build() {
  if (lblSCA) return;
  FixedDialog::UseDialogFont(this);
  lblSCA = FixedDialog::Label(this, "Service Centre address:", 8, 11);
  edSCA = new QLineEdit(this);
  edSCA->setGeometry(144, 8, 161, EditHeight);

  lblMR = FixedDialog::Label(this, "Message reference:", 8, 35);
  spedMR = new QSpinBox(this);
  spedMR->setGeometry(144, 32, 161, 22);
  spedMR->setRange(0, 255);

  lblVP = FixedDialog::Label(this, "Validity period:", 8, 59);
  combxVP = new QComboBox(this);
  combxVP->setGeometry(144, 56, 161, EditHeight);
  combxVP->setEditable(false);
  combxVP->addItems({QStringLiteral("None/SMSC Standard"), QStringLiteral("Relative"), QStringLiteral("Absolute")});

  pctrlVP = new QStackedWidget(this);
  pctrlVP->setGeometry(140, 74, 325, 32);
  // A page lies inside the page control's border, 4 pixels on each side: its fields stand in line
  // with the fields above and clear of the drop-down list over it.
  pctrlVP->setContentsMargins(4, 4, 4, 4);
  pctrlVP->setFocusPolicy(Qt::NoFocus);
  tsVPNone = new QWidget(pctrlVP);
  tsVPRelative = new QWidget(pctrlVP);
  tsVPAbsolute = new QWidget(pctrlVP);
  pctrlVP->addWidget(tsVPNone);
  pctrlVP->addWidget(tsVPRelative);
  pctrlVP->addWidget(tsVPAbsolute);

  edVPRelative = new QLineEdit(tsVPRelative);
  edVPRelative->setGeometry(0, 0, 145, EditHeight);
  edVPRelative->setReadOnly(true);
  udVPRelative = new TUpDown(tsVPRelative, 0, 255);
  udVPRelative->setGeometry(144, 0, 16, EditHeight);
  udVPRelative->Associate(edVPRelative);

  lblVPDate = FixedDialog::Label(tsVPAbsolute, "Date:", 0, 4);
  dtpVPDate = new QDateEdit(tsVPAbsolute);
  dtpVPDate->setGeometry(28, 0, 81, EditHeight);
  dtpVPDate->setCalendarPopup(true);
  dtpVPDate->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
  lblVPTime = FixedDialog::Label(tsVPAbsolute, "Time:", 114, 4);
  dtpVPTime = new QTimeEdit(tsVPAbsolute);
  dtpVPTime->setGeometry(141, 0, 69, EditHeight);
  dtpVPTime->setDisplayFormat(LongTimeFormat(QLocale()));
  lblVPTZ = FixedDialog::Label(tsVPAbsolute, "TZ:", 215, 3);
  edVPTZ = new QLineEdit(tsVPAbsolute);
  edVPTZ->setGeometry(232, 0, 65, EditHeight);
  edVPTZ->setReadOnly(true);
  udVPTZ = new TUpDown(tsVPAbsolute, -48, 48);
  udVPTZ->setGeometry(296, 0, 16, EditHeight);
  udVPTZ->Associate(edVPTZ);

  lblDA = FixedDialog::Label(this, "Destination address:", 8, 107);
  combxDA = new QComboBox(this);
  combxDA->setGeometry(144, 104, 313, EditHeight);
  combxDA->setEditable(true);
  combxDA->setInsertPolicy(QComboBox::NoInsert);
  combxDA->setMaxVisibleItems(12);

  lblUD = FixedDialog::Label(this, "Text:", 8, 131);
  memUD = new QPlainTextEdit(this);
  memUD->setGeometry(144, 128, 313, 73);
  memUD->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memUD->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memUD->setTabChangesFocus(true);

  lblChars = FixedDialog::Label(this, "0/160", 144, 204);
  // Between the counter and the buttons; its tooltip lists what it cannot show.
  lblUncarried = new QLabel(this);
  lblUncarried->setGeometry(186, 202, 271, 14);

  cbxSRR = FixedDialog::CheckBox(this, QStringLiteral("Status report requested"), 320, 8, 137, 17);
  cbxRD = FixedDialog::CheckBox(this, QStringLiteral("Reject duplicates"), 320, 32, 105, 17);
  cbxFlash = FixedDialog::CheckBox(this, QStringLiteral("Flash message"), 320, 56, 97, 17);

  // A screen reader names each field by the label beside it; the fields without one get a name.
  lblSCA->setBuddy(edSCA);
  lblMR->setBuddy(spedMR);
  lblVP->setBuddy(combxVP);
  lblDA->setBuddy(combxDA);
  lblUD->setBuddy(memUD);
  lblVPDate->setBuddy(dtpVPDate);
  lblVPTime->setBuddy(dtpVPTime);
  lblVPTZ->setBuddy(edVPTZ);
  combxDA->lineEdit()->setAccessibleName(QStringLiteral("Destination address"));
  combxDA->view()->setAccessibleName(QStringLiteral("Phone book"));
  combxVP->view()->setAccessibleName(QStringLiteral("Validity period formats"));
  edVPRelative->setAccessibleName(QStringLiteral("Relative validity period"));
  udVPRelative->setAccessibleName(QStringLiteral("Relative validity period up-down"));
  udVPTZ->setAccessibleName(QStringLiteral("Time zone up-down"));
  lblChars->setAccessibleName(QStringLiteral("Characters"));
  lblUncarried->setAccessibleName(QStringLiteral("Characters not sent as typed"));

  btnSend = Button(this, "&Send", 200);
  btnStore = Button(this, "S&tore", 288);
  btnCancel = Button(this, "&Cancel", 376);

  const std::pair<QWidget*, const char*> Names[] = {
      {edSCA, "edSCA"},
      {spedMR, "spedMR"},
      {combxVP, "combxVP"},
      {pctrlVP, "pctrlVP"},
      {tsVPNone, "tsVPNone"},
      {tsVPRelative, "tsVPRelative"},
      {edVPRelative, "edVPRelative"},
      {udVPRelative, "udVPRelative"},
      {tsVPAbsolute, "tsVPAbsolute"},
      {dtpVPDate, "dtpVPDate"},
      {dtpVPTime, "dtpVPTime"},
      {edVPTZ, "edVPTZ"},
      {udVPTZ, "udVPTZ"},
      {combxDA, "combxDA"},
      {memUD, "memUD"},
      {lblChars, "lblChars"},
      {lblUncarried, "lblUncarried"},
      {cbxSRR, "cbxSRR"},
      {cbxRD, "cbxRD"},
      {cbxFlash, "cbxFlash"},
      {btnSend, "btnSend"},
      {btnStore, "btnStore"},
      {btnCancel, "btnCancel"},
  };
  for (const auto& [Widget, Name] : Names) Widget->setObjectName(QString::fromLatin1(Name));

  QWidget* const TabOrder[] = {edSCA,     spedMR,   combxVP, edVPRelative, udVPRelative, dtpVPDate,
                               dtpVPTime, edVPTZ,   udVPTZ,  combxDA,      memUD,        cbxSRR,
                               cbxRD,     cbxFlash, btnSend, btnStore,     btnCancel};
  for (std::size_t i = 1; i < std::size(TabOrder); ++i) setTabOrder(TabOrder[i - 1], TabOrder[i]);

  connect(edSCA, &QLineEdit::textChanged, this, [this] { edSCAChange(); });
  connect(combxDA, &QComboBox::editTextChanged, this, [this] { combxDAChange(); });
  connect(combxVP, &QComboBox::currentIndexChanged, this, [this] { combxVPChange(); });
  udVPRelative->OnClick = [this](TUDBtnType Button) { udVPRelativeClick(Button); };
  udVPTZ->OnClick = [this](TUDBtnType Button) { udVPTZClick(Button); };
  connect(memUD, &QPlainTextEdit::textChanged, this, [this] { memUDChange(); });
  connect(btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
  connect(btnStore, &QPushButton::clicked, this, [this] { btnStoreClick(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
}

TfrmSend::~TfrmSend() {
  if (frmSend == this) frmSend = nullptr;
}

std::string TfrmSend::DestinationText() const { return QStringToCp1252(combxDA->currentText()); }

std::string TfrmSend::MemoText() const {
  QString Text = memUD->toPlainText();
  Text.replace(u'\n', QStringLiteral("\r\n"));
  return QStringToCp1252(Text);
}

void TfrmSend::SetMemoText(const std::string& Text) {
  QString Plain = Cp1252ToQString(Text);
  Plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  memUD->setPlainText(Plain);
}

TComposedMessage TfrmSend::Composed() const {
  // The list's entries in order: none, relative, absolute.
  static const int Formats[] = {SMSEngine::VPFNone, SMSEngine::VPFRelative, SMSEngine::VPFAbsolute};
  TComposedMessage Message;
  Message.SCA = QStringToCp1252(edSCA->text());
  Message.SRR = cbxSRR->isChecked();
  Message.VPF = Formats[std::clamp(combxVP->currentIndex(), 0, 2)];
  Message.RD = cbxRD->isChecked();
  // Text that is not a number (a cleared field) counts as 0.
  bool Number = false;
  const int MR = spedMR->cleanText().toInt(&Number);
  Message.MR = Number ? std::clamp(MR, 0, 255) : 0;
  Message.DA = DestinationNumber(DestinationText());
  Message.Flash = cbxFlash->isChecked();
  Message.VPRelative = udVPRelative->Position();
  const QDate Date = dtpVPDate->date();
  const QTime Time = dtpVPTime->time();
  Message.VPAbsolute = SMSEngine::EncodeDate(Date.year(), Date.month(), Date.day()) +
                       SMSEngine::EncodeTime(Time.hour(), Time.minute(), Time.second(), 0);
  Message.VPTZ = udVPTZ->Position();
  Message.UD = MemoText();
  return Message;
}

// ---- Opening and editing ----

void TfrmSend::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) {
    FormShow();
    FixedDialog::CentreOnScreen(this);
  }
  QDialog::showEvent(Event);
}

void TfrmSend::FormShow() {
  edSCA->setText(frmMain ? Cp1252ToQString(frmMain->PhoneSCA) : QString());

  // The list is filled anew; the typed or prefilled destination stays.
  const QString Destination = combxDA->currentText();
  combxDA->clear();
  if (frmMain && frmMain->PhonebookRead) {
    QStringList Items;
    for (const TPhonebookList& Entry : frmMain->Phonebook)
      Items << Cp1252ToQString(Entry.Name + " (" + Entry.Number + ")");
    // Alphabetically as the user reads: case and accents do not split the list.
    // The C locale would compare by code points and put every accented name after Z.
    QCollator Collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    Collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(Items.begin(), Items.end(),
                     [&Collator](const QString& A, const QString& B) { return Collator.compare(A, B) < 0; });
    combxDA->addItems(Items);
  }
  combxDA->setCurrentIndex(-1);
  combxDA->setEditText(Destination);
  // An empty list says why it is empty.
  combxDA->lineEdit()->setPlaceholderText(combxDA->count() > 0 ? QStringLiteral("Number, or a name from the list")
                                          : frmMain && frmMain->PhonebookRead
                                              ? QStringLiteral("Number (the phone book has no entries)")
                                              : QStringLiteral("Number (Show names lists the phone book here)"));

  spedMR->setValue(0);
  combxVP->setCurrentIndex(0);
  pctrlVP->setCurrentWidget(tsVPNone);
  QDate Today;
  QTime Time;
  ClockNow(Today, Time);
  dtpVPDate->setMinimumDate(Today);
  cbxSRR->setChecked(false);
  cbxRD->setChecked(false);
  cbxFlash->setChecked(false);
  FDone = false;
  FEdited = false;
  UpdateButtons();

  if (edSCA->text().isEmpty())
    edSCA->setFocus();
  else if (combxDA->currentText().isEmpty())
    combxDA->setFocus();
  else
    memUD->setFocus();
}

void TfrmSend::UpdateButtons() {
  const bool Both = !edSCA->text().isEmpty() && !combxDA->currentText().isEmpty();
  // Once the phone has the message, a second press would send or store it again.
  const bool Ready = !FBusy && !FDone && Both;
  btnSend->setEnabled(Ready);
  // The memory is looked at from the first edit of an address on; until then Store is offered as
  // at the opening, also after a press that failed.
  btnStore->setEnabled(Ready && (!FEdited || (frmMain && frmMain->MessagesUsed < frmMain->MessagesTotal)));
  btnCancel->setEnabled(!FBusy);
}

void TfrmSend::edSCAChange() {
  FEdited = true;
  UpdateButtons();
}

void TfrmSend::combxDAChange() {
  FEdited = true;
  UpdateButtons();
}

void TfrmSend::combxVPChange() {
  const int Page = std::clamp(combxVP->currentIndex(), 0, 2);
  pctrlVP->setCurrentIndex(Page);
  // A page keeps nothing between showings.
  if (Page == 1)
    tsVPRelativeShow();
  else if (Page == 2)
    tsVPAbsoluteShow();
}

void TfrmSend::tsVPRelativeShow() {
  udVPRelative->SetPosition(173);
  edVPRelative->setText(QStringLiteral("07 days"));
}

void TfrmSend::udVPRelativeClick(TUDBtnType) {
  edVPRelative->setText(Cp1252ToQString(SMSEngine::VPRelativeToText(udVPRelative->Position())));
}

void TfrmSend::tsVPAbsoluteShow() {
  QDate Today;
  QTime Time;
  ClockNow(Today, Time);
  dtpVPDate->setDate(Today.addDays(7));
  dtpVPTime->setTime(Time);
  udVPTZ->SetPosition(0);
  edVPTZ->setText(QStringLiteral("GMT +0,00"));
  FitPickerFont(dtpVPDate, font());
  FitPickerFont(dtpVPTime, font());
}

void TfrmSend::udVPTZClick(TUDBtnType) { edVPTZ->setText(QStringLiteral("GMT ") + TimeZoneText(udVPTZ->Position())); }

void TfrmSend::memUDChange() {
  const QList<uint> Codes = memUD->toPlainText().toUcs4();
  const TTypedText Typed = TypedText(std::u32string(Codes.begin(), Codes.end()));
  lblChars->setText(QStringLiteral("%1/160").arg(Typed.Septets));
  lblChars->adjustSize();
  // Over 160 the phone refuses the message: the counter says so without the beep.
  lblChars->setPalette(Typed.Septets > 160 ? WarningPalette(*lblChars) : palette());
  if (Typed.Septets > 160 && Beep) Beep();

  // What goes otherwise than typed, shown as it is typed, not on every key in a box.
  if (Typed.Label.empty()) {
    lblUncarried->clear();
    lblUncarried->setToolTip(QString());
    return;
  }
  const QString Text = QString::fromUcs4(Typed.Label.data(), static_cast<qsizetype>(Typed.Label.size()));
  lblUncarried->setPalette(WarningPalette(*lblUncarried));
  lblUncarried->setText(QFontMetrics(lblUncarried->font()).elidedText(Text, Qt::ElideRight, lblUncarried->width()));
  lblUncarried->setToolTip(Text);
}

// ---- Closing ----

void TfrmSend::reject() {
  // Esc, Cancel and the close box wait until the phone has answered.
  if (FBusy) return;
  QDialog::reject();
}

void TfrmSend::closeEvent(QCloseEvent* Event) {
  if (FBusy) {
    Event->ignore();
    return;
  }
  QDialog::closeEvent(Event);
}

// ---- Sending and storing ----

bool TfrmSend::Encode(TComposedMessage& Message, int& PDULength, std::string& PDU) {
  // The encoder writes the addresses digit by digit: anything but a number would make the PDU
  // something the phone cannot take.
  const auto SCA = CleanAddress(Message.SCA);
  if (!SCA) {
    ErrorBox("ERROR: Invalid Service Centre address.");
    return false;
  }
  const auto DA = CleanAddress(Message.DA);
  if (!DA) {
    ErrorBox("ERROR: Invalid destination address.");
    return false;
  }
  Message.SCA = *SCA;
  Message.DA = *DA;
  return SMSEngine::EncodeSubmitPDU(Message, PDULength, PDU);
}

void TfrmSend::btnSendClick() {
  if (FBusy || !frmMain) return;
  TfrmMain& Main = *frmMain;
  // Declared first so that it runs last, on every way out.
  TfrmMain::TTimeOutFor TimeOut(Main, SendTimeOut);
  TBusy Busy(*this);

  TComposedMessage Message = Composed();
  int PDULength = 0;
  std::string PDU;
  if (!Encode(Message, PDULength, PDU)) return;
  if (!SendMessageCommands(Main, "AT+CMGS=", PDULength, PDU, SMSEngine::CountSeptets(MemoText()))) return;

  // The phone has taken the message: from here on it is sent, whatever it says about it.
  MessageTaken(AsRead(PDU, PDULength));
  if (const auto Reference = ReplyNumber(Main.ReplyBuffer, "+CMGS:"))
    InfoBox("Message sent successfully.\r\nMessage reference is " + std::to_string(*Reference) + ".");
  else
    InfoBox("Message sent successfully.");

  if (Main.PhoneSCA.empty() && ConfirmBox("Store Service Centre address in phone?")) {
    if (!Main.SendCommand("AT+CSCA=\"" + Message.SCA + "\"\r\n")) return;
    Main.PhoneSCA = Message.SCA;
  }
  accept();
}

void TfrmSend::MessageTaken(const SMSEngine::TMessageList& AsRead) {
  FDone = true;
  // Should the dialog stay open (the address could not be written), it shows what went.
  std::string Typed = MemoText();
  if (Typed.ends_with("\r\n")) Typed.resize(Typed.size() - 2);  // the encoder leaves a last line break out
  if (AsRead.UD != Typed) SetMemoText(AsRead.UD);
}

void TfrmSend::btnStoreClick() {
  if (FBusy || !frmMain) return;
  TfrmMain& Main = *frmMain;
  TBusy Busy(*this);

  TComposedMessage Message = Composed();
  int PDULength = 0;
  std::string PDU;
  if (!Encode(Message, PDULength, PDU)) return;
  if (!SendMessageCommands(Main, "AT+CMGW=", PDULength, PDU, SMSEngine::CountSeptets(MemoText()))) return;

  // The entry is what a reading of the location will show.
  SMSEngine::TMessageList Entry = AsRead(PDU, PDULength);
  MessageTaken(Entry);
  if (const auto Location = ReplyNumber(Main.ReplyBuffer, "+CMGW:")) {
    InfoBox("Message was stored in memory location #" + std::to_string(*Location) + ".");
    Entry.Index = *Location;
    Main.AddStoredMessage(Entry);
  } else {
    // Stored, but where is unknown: the list is read again once the dialog has closed.
    InfoBox("Message was stored, but the phone did not tell its memory location.");
    Main.ReadAfterCompose = true;
  }

  if (Message.SCA != Main.PhoneSCA && ConfirmBox("Store Service Centre address in phone?")) {
    if (!Main.SendCommand("AT+CSCA=\"" + Message.SCA + "\"\r\n")) return;
    Main.PhoneSCA = Message.SCA;
  }
  accept();
}
