#include "forms/ViewDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "forms/FixedDialog.h"

void TViewDialog::BuildHeader(int IconWidth) {
  using namespace FixedDialog;
  lblIndex = Label(this, "SIM memory index:", 8, 11);
  edIndex = Edit(this, 144, 8, 161);
  lblStatus = Label(this, "Status:", 8, 35);
  edStatus = Edit(this, 144, 32, 161);
  imgStatus = Image(this, 124, 34, IconWidth, 16);
  lblSCA = Label(this, "Service Centre address:", 8, 59);
  edSCA = Edit(this, 144, 56, 161);
  // A screen reader names each field by the label beside it, and the icon by what it shows.
  lblIndex->setBuddy(edIndex);
  lblStatus->setBuddy(edStatus);
  lblSCA->setBuddy(edSCA);
  imgStatus->setAccessibleName(QStringLiteral("Status icon"));
}

void TViewDialog::BuildText(int Top) {
  using namespace FixedDialog;
  lblUD = Label(this, "Text:", 8, Top + 3);
  memUD = Memo(this, 144, Top, 313, 73);
  lblChars = Label(this, "", 144, Top + 76);
  lblUD->setBuddy(memUD);
  lblChars->setAccessibleName(QStringLiteral("Characters"));
}

void TViewDialog::showEvent(QShowEvent* Event) {
  FixedDialog::CentreOnScreen(this);
  btnOK->setFocus();
  QDialog::showEvent(Event);
}

void TViewDialog::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
    btnOK->click();
    return;
  }
  // In a field Enter does nothing.
  if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
    if (btnOK->hasFocus()) btnOK->click();
    return;
  }
  QDialog::keyPressEvent(Event);
}
