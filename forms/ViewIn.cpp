#include "forms/ViewIn.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "forms/FixedDialog.h"

TfrmViewIn* frmViewIn = nullptr;

TfrmViewIn::TfrmViewIn(QWidget* Parent) : TViewDialog(Parent) {
  using namespace FixedDialog;
  setObjectName("frmViewIn");
  SetUpDialog(this, "View incoming message", 465, 249);
}

void TfrmViewIn::Build() {
  using namespace FixedDialog;
  if (lblIndex) return;
  FixedDialog::UseDialogFont(this);
  BuildHeader(19);
  lblSCTS = Label(this, "Service Centre timestamp:", 8, 83);
  edSCTS = Edit(this, 144, 80, 161);
  lblOA = Label(this, "Originating address", 8, 107);
  edOA = Edit(this, 144, 104, 313);
  BuildText(128);
  cbxFlash = CheckBox(this, "Flash message", 360, 8, 97, 17);
  // A screen reader names each field by the label beside it.
  lblSCTS->setBuddy(edSCTS);
  lblOA->setBuddy(edOA);
  btnOK = OKButton(this, 376, 216);

  setTabOrder(btnOK, edIndex);
  setTabOrder(edIndex, edStatus);
  setTabOrder(edStatus, edSCA);
  setTabOrder(edSCA, edOA);
  setTabOrder(edOA, edSCTS);
  setTabOrder(edSCTS, memUD);
  setTabOrder(memUD, cbxFlash);
}

TfrmViewIn::~TfrmViewIn() {
  if (frmViewIn == this) frmViewIn = nullptr;
}
