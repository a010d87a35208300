// The progress window of the long phone operations. No logic of its own: the caller sets the bar
// and the label, shows it without waiting and closes it at the end.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

class TfrmProgress : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProgress(QWidget* Parent = nullptr);

  QProgressBar* ProgressBar;  // 0 to 100
  QLabel* lblProgress;

  // Advances the bar by Step; it stops at its maximum.
  void StepBy(int Step);

 protected:
  void showEvent(QShowEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
};

extern TfrmProgress* frmProgress;
