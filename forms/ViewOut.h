// The outgoing viewer: one message stored on the phone for sending, with every decoded field. A
// plain form; the main window fills it and shows it modally.
#pragma once

#include "forms/ViewDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;

class TfrmViewOut : public TViewDialog {
  Q_OBJECT
 public:
  explicit TfrmViewOut(QWidget* Parent = nullptr);
  ~TfrmViewOut() override;

  QLabel* lblMR = nullptr;
  QLineEdit* edMR = nullptr;
  QLabel* lblVP = nullptr;
  QLineEdit* edVP = nullptr;
  QLabel* lblDA = nullptr;
  QLineEdit* edDA = nullptr;
  QCheckBox* cbxSRR = nullptr;
  QCheckBox* cbxRD = nullptr;

  void Build() override;
};

extern TfrmViewOut* frmViewOut;
