// The incoming viewer: one received message with every decoded field. A plain form; the main
// window fills it and shows it modally.
#pragma once

#include "forms/ViewDialog.h"

class QLabel;
class QLineEdit;

class TfrmViewIn : public TViewDialog {
  Q_OBJECT
 public:
  explicit TfrmViewIn(QWidget* Parent = nullptr);
  ~TfrmViewIn() override;

  QLabel* lblSCTS = nullptr;
  QLineEdit* edSCTS = nullptr;
  QLabel* lblOA = nullptr;
  QLineEdit* edOA = nullptr;

  void Build() override;
};

extern TfrmViewIn* frmViewIn;
