// Filling the message viewers from a list entry.
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTime>

#include "forms/Cp1252String.h"
#include "forms/ViewFill.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"
#include "rules/MessageStatus.h"

using SMSEngine::TMessageList;

namespace {

QString AddressText(const std::string& Address, const std::string& Name) {
  if (Name.empty()) return Cp1252ToQString(Address);
  return Cp1252ToQString(Address + " (" + Name + ")");
}

QString SCAText(const std::string& SCA) { return SCA.empty() ? QStringLiteral("<Not present>") : Cp1252ToQString(SCA); }

// A field longer than its box shows its beginning, as the user reads it.
void SetEdit(QLineEdit* Edit, const QString& Text) {
  Edit->setText(Text);
  Edit->setCursorPosition(0);
}

void SetIcon(QLabel* Image, const QPixmap* Icon) {
  if (Icon)
    Image->setPixmap(Icon->copy());
  else
    Image->clear();
}

void SetText(QPlainTextEdit* Memo, QLabel* Chars, const std::string& UD) {
  // The memo takes the line breaks as they are; CR LF is one break.
  QString Text = Cp1252ToQString(UD);
  Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  Memo->setPlainText(Text);
  Chars->setText(QString::number(SMSEngine::CountSeptets(UD)));
  Chars->adjustSize();
}

}  // namespace

QString LongTimeFormat(const QLocale& Locale) {
  const QString Format = Locale.timeFormat(QLocale::LongFormat);
  QString Result;
  bool Quoted = false;
  for (const QChar C : Format) {
    if (C == u'\'') Quoted = !Quoted;
    if (!Quoted && C == u't') continue;
    Result += C;
  }
  return Result.trimmed();
}

QString DateTimeText(SMSEngine::TDateTime DateTime) {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Min = 0, Sec = 0, MSec = 0;
  SMSEngine::DecodeDateTime(DateTime, Year, Month, Day, Hour, Min, Sec, MSec);
  const QLocale Locale;
  QString Text = Locale.toString(QDate(Year, Month, Day), QLocale::ShortFormat);
  if (Hour != 0 || Min != 0 || Sec != 0 || MSec != 0)
    Text += u' ' + Locale.toString(QTime(Hour, Min, Sec, MSec), LongTimeFormat(Locale));
  return Text;
}

QString TimeZoneText(int QuarterHours) {
  const int Hundredths = QuarterHours * 25;  // hours × 100, exact
  const int Whole = std::abs(Hundredths) / 100;
  const int Fraction = std::abs(Hundredths) % 100;
  return QString(Hundredths < 0 ? u'-' : u'+') + QString::number(Whole) + QLocale().decimalPoint() +
         QStringLiteral("%1").arg(Fraction, 2, 10, QLatin1Char('0'));
}

QString ValidityText(const TMessageList& Entry) {
  switch (Entry.VPF) {
    case 0:
      return QStringLiteral("<Not present>");
    case 2:
      return Cp1252ToQString(SMSEngine::VPRelativeToText(Entry.VPRelative));
    case 3:
      return DateTimeText(Entry.VPAbsolute) + QStringLiteral(" GMT ") + TimeZoneText(Entry.VPTZ);
    default:
      // The enhanced format is kept on the phone as it is but not taken apart here.
      return QStringLiteral("<Enhanced format>");
  }
}

void FillViewIn(TfrmViewIn& Form, const TMessageList& Entry, const QPixmap* Icon) {
  Form.Build();
  SetEdit(Form.edIndex, QString::number(Entry.Index));
  SetEdit(Form.edStatus, QString::fromLatin1(StatusText(Entry.Status)));
  SetIcon(Form.imgStatus, Icon);
  SetEdit(Form.edSCA, SCAText(Entry.SCA));
  SetEdit(Form.edOA, AddressText(Entry.OA, Entry.Name));
  Form.cbxFlash->setChecked(Entry.Flash);
  SetEdit(Form.edSCTS, DateTimeText(Entry.SCTS));
  SetText(Form.memUD, Form.lblChars, Entry.UD);
}

void FillViewOut(TfrmViewOut& Form, const TMessageList& Entry, const QPixmap* Icon) {
  Form.Build();
  SetEdit(Form.edIndex, QString::number(Entry.Index));
  SetEdit(Form.edStatus, QString::fromLatin1(StatusText(Entry.Status)));
  SetIcon(Form.imgStatus, Icon);
  SetEdit(Form.edSCA, SCAText(Entry.SCA));
  Form.cbxSRR->setChecked(Entry.SRR);
  Form.cbxRD->setChecked(Entry.RD);
  SetEdit(Form.edMR, QString::number(Entry.MR));
  SetEdit(Form.edDA, AddressText(Entry.DA, Entry.Name));
  Form.cbxFlash->setChecked(Entry.Flash);
  SetEdit(Form.edVP, ValidityText(Entry));
  SetText(Form.memUD, Form.lblChars, Entry.UD);
}
