// The about box, shown modally from the main window's Info button.
#pragma once

#include "forms/LazyDialog.h"

class QLabel;
class QPushButton;

class TfrmInfo : public TLazyDialog {
  Q_OBJECT
 public:
  explicit TfrmInfo(QWidget* Parent = nullptr);

  // Made when the box first shows (Build), not at start.
  QLabel* imgInfo = nullptr;
  QLabel* lblInfo1 = nullptr;
  QLabel* lblInfo2 = nullptr;
  QLabel* lblInfo3 = nullptr;
  QLabel* lblInfo4 = nullptr;
  QLabel* lblInfo5 = nullptr;
  QLabel* lblInfo6 = nullptr;
  QPushButton* btnOK = nullptr;

  void Build() override;
  void btnOKClick();

 protected:
  void showEvent(QShowEvent* Event) override;
};

extern TfrmInfo* frmInfo;
