// The about box, shown modally from the main window's Info button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TfrmInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmInfo(QWidget* Parent = nullptr);

  QLabel* imgInfo;
  QLabel* lblInfo1;
  QLabel* lblInfo2;
  QLabel* lblInfo3;
  QLabel* lblInfo4;
  QLabel* lblInfo5;
  QLabel* lblInfo6;
  QPushButton* btnOK;

  void btnOKClick();

 protected:
  void showEvent(QShowEvent* Event) override;
};

extern TfrmInfo* frmInfo;
