// The progress window of the long phone operations. No logic of its own: the caller sets the bar
// and the label, shows it without waiting and closes it at the end.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QTimer;

class QLabel;
class QProgressBar;

class TfrmProgress : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProgress(QWidget* Parent = nullptr);

  QProgressBar* ProgressBar;  // 0 to 100
  QLabel* lblProgress;

  // Advances the bar by Step; it stops at its maximum. Items may come faster than anyone can read
  // them: after a step the bar and the label are drawn again at most every 250 ms, as they stand
  // then.
  void StepBy(int Step);

 protected:
  void showEvent(QShowEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  QTimer* FRedraw;           // ends a pause in drawing
  QElapsedTimer FLastDrawn;  // since the window was last allowed to draw a step
  void ResumeDrawing();
};

extern TfrmProgress* frmProgress;
