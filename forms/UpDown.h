// An up-down control: two small arrow buttons that step a position between Min and Max, without
// wrap-around, beside the read-only edit that shows what the position means. The Up and Down keys
// step it too, on the control and on its edit.
#pragma once

#include <QWidget>
#include <functional>

class QLineEdit;
class QToolButton;

enum class TUDBtnType { btNext, btPrev };

class TUpDown : public QWidget {
  Q_OBJECT
 public:
  TUpDown(QWidget* Parent, int Min, int Max);

  int Position() const { return FPosition; }
  // Sets the position, held within Min..Max; no click.
  void SetPosition(int Position);
  int Min() const { return FMin; }
  int Max() const { return FMax; }

  // The edit whose Up and Down keys step the control.
  void Associate(QLineEdit* Edit);
  // One arrow click as the user makes it: steps the position and calls OnClick.
  void Click(TUDBtnType Button);

  QToolButton* UpButton() const { return FUp; }
  QToolButton* DownButton() const { return FDown; }

  std::function<void(TUDBtnType Button)> OnClick;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  QToolButton* FUp;
  QToolButton* FDown;
  int FMin;
  int FMax;
  int FPosition;
};
