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
  lblIndex = Label(this, "SIM memory index:", 8, 11);
  edIndex = Edit(this, 144, 8, 161);
  lblStatus = Label(this, "Status:", 8, 35);
  edStatus = Edit(this, 144, 32, 161);
  imgStatus = Image(this, 124, 34, 19, 16);
  lblSCA = Label(this, "Service Centre address:", 8, 59);
  edSCA = Edit(this, 144, 56, 161);
  lblSCTS = Label(this, "Service Centre timestamp:", 8, 83);
  edSCTS = Edit(this, 144, 80, 161);
  lblOA = Label(this, "Originating address", 8, 107);
  edOA = Edit(this, 144, 104, 313);
  lblUD = Label(this, "Text:", 8, 131);
  memUD = Memo(this, 144, 128, 313, 73);
  lblChars = Label(this, "", 144, 204);
  cbxFlash = CheckBox(this, "Flash message", 360, 8, 97, 17);
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
