#include "forms/ViewOut.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "forms/FixedDialog.h"

TfrmViewOut* frmViewOut = nullptr;

TfrmViewOut::TfrmViewOut(QWidget* Parent) : TViewDialog(Parent) {
  using namespace FixedDialog;
  setObjectName("frmViewOut");
  SetUpDialog(this, "View outgoing message", 465, 273);
}

void TfrmViewOut::Build() {
  using namespace FixedDialog;
  if (lblIndex) return;
  FixedDialog::UseDialogFont(this);
  BuildHeader(16);
  lblMR = Label(this, "Message reference:", 8, 83);
  edMR = Edit(this, 144, 80, 161);
  lblVP = Label(this, "Validity period:", 8, 107);
  edVP = Edit(this, 144, 104, 161);
  lblDA = Label(this, "Destination address:", 8, 131);
  edDA = Edit(this, 144, 128, 313);
  BuildText(152);
  cbxSRR = CheckBox(this, "Status report requested", 320, 8, 137, 17);
  cbxRD = CheckBox(this, "Reject duplicates", 320, 32, 105, 17);
  cbxFlash = CheckBox(this, "Flash message", 320, 56, 97, 17);
  // A screen reader names each field by the label beside it.
  lblMR->setBuddy(edMR);
  lblVP->setBuddy(edVP);
  lblDA->setBuddy(edDA);
  btnOK = OKButton(this, 376, 240);

  setTabOrder(btnOK, edIndex);
  setTabOrder(edIndex, edStatus);
  setTabOrder(edStatus, edSCA);
  setTabOrder(edSCA, edMR);
  setTabOrder(edMR, edDA);
  setTabOrder(edDA, edVP);
  setTabOrder(edVP, memUD);
  setTabOrder(memUD, cbxSRR);
  setTabOrder(cbxSRR, cbxRD);
  setTabOrder(cbxRD, cbxFlash);
}

TfrmViewOut::~TfrmViewOut() {
  if (frmViewOut == this) frmViewOut = nullptr;
}
