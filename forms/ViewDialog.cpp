#include "forms/ViewDialog.h"

#include <QKeyEvent>
#include <QPushButton>

#include "forms/FixedDialog.h"

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
