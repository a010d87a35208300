#include "forms/Info.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

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
  imgInfo = new QLabel(this);
  imgInfo->setObjectName(QStringLiteral("imgInfo"));
  imgInfo->setPixmap(ProgramIcon32());
  imgInfo->setGeometry(8, 8, 32, 32);

  lblInfo1 = MakeLabel(this, "lblInfo1", QStringLiteral("Pelmo"), 56, 8);
  lblInfo1->setFont(FormFont(10, true));
  lblInfo2 = MakeLabel(this, "lblInfo2", QStringLiteral("Version 1.1"), 56, 24);
  lblInfo3 = MakeLabel(this, "lblInfo3", QStringLiteral("SMS on the SIM card"), 56, 48);
  lblInfo4 = MakeLabel(this, "lblInfo4", QStringLiteral("of the Siemens S40."), 56, 64);
  lblInfo5 = MakeLabel(this, "lblInfo5", QStringLiteral("Free to use and share."), 56, 88);
  lblInfo6 = MakeLabel(this, "lblInfo6", QStringLiteral("No warranty of any kind."), 56, 104);

  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setGeometry(60, 136, 89, 25);
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
