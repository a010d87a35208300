#include "forms/Info.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "forms/Icons.h"

TfrmInfo* frmInfo = nullptr;

namespace {

QLabel* MakeLabel(QWidget* Parent, const char* Name, const QString& Text, int Left, int Top) {
  auto* label = new QLabel(Text, Parent);
  label->setObjectName(QString::fromLatin1(Name));
  // Not sized here: Qt sizes a label that was never resized to its text when it first shows, and
  // measuring text now would load fonts at start-up for a box that may never be opened.
  label->move(Left, Top);
  return label;
}

}  // namespace

TfrmInfo::TfrmInfo(QWidget* Parent)
    : TLazyDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmInfo"));
  setWindowTitle(QStringLiteral("Info about Pelmo"));
  setFont(FormFont());
  setFixedSize(209, 169);
}

void TfrmInfo::Build() {
  if (btnOK) return;
  // A window manager writes the caption larger than the form's font, beside its icon and buttons:
  // the box grows, its contents centred, until "Info about Pelmo" has room in the title bar.
  QFont titleFont = QApplication::font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(std::max(titleFont.pointSizeF(), 10.0) * 1.1);
  const int wanted = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + 120;
  const int shift = std::max(wanted - 209, 0) / 2;
  setFixedSize(209 + 2 * shift, 169);
  imgInfo = new QLabel(this);
  imgInfo->setObjectName(QStringLiteral("imgInfo"));
  imgInfo->setPixmap(ProgramIcon32());
  imgInfo->setGeometry(shift + 8, 8, 32, 32);

  lblInfo1 = MakeLabel(this, "lblInfo1", QStringLiteral("Pelmo"), shift + 56, 8);
  lblInfo1->setFont(FormFont(10, true));
  lblInfo2 = MakeLabel(this, "lblInfo2", QStringLiteral("Version 1.1"), shift + 56, 24);
  lblInfo3 = MakeLabel(this, "lblInfo3", QStringLiteral("SMS on the SIM card"), shift + 56, 48);
  lblInfo4 = MakeLabel(this, "lblInfo4", QStringLiteral("of the Siemens S40."), shift + 56, 64);
  lblInfo5 = MakeLabel(this, "lblInfo5", QStringLiteral("Free to use and share."), shift + 56, 88);
  lblInfo6 = MakeLabel(this, "lblInfo6", QStringLiteral("No warranty of any kind."), shift + 56, 104);

  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setGeometry(shift + 60, 136, 89, 25);
  btnOK->setDefault(true);
  btnOK->setFocus();
  connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
}

void TfrmInfo::btnOKClick() { accept(); }

void TfrmInfo::showEvent(QShowEvent* Event) {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  btnOK->setFocus();
  QDialog::showEvent(Event);
}
