#include "forms/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

TUpDown::TUpDown(QWidget* Parent, int Min, int Max)
    : QWidget(Parent), FMin(Min), FMax(Max), FPosition(std::clamp(0, Min, Max)) {
  setFocusPolicy(Qt::StrongFocus);
  FUp = new QToolButton(this);
  FUp->setArrowType(Qt::UpArrow);
  FDown = new QToolButton(this);
  FDown->setArrowType(Qt::DownArrow);
  FUp->setAccessibleName(QStringLiteral("Up"));
  FDown->setAccessibleName(QStringLiteral("Down"));
  for (QToolButton* Button : {FUp, FDown}) {
    Button->setFocusPolicy(Qt::NoFocus);
    Button->setAutoRepeat(true);
    Button->setIconSize(QSize(7, 7));
  }
  connect(FUp, &QToolButton::clicked, this, [this] { Click(TUDBtnType::btNext); });
  connect(FDown, &QToolButton::clicked, this, [this] { Click(TUDBtnType::btPrev); });
}

void TUpDown::SetPosition(int Position) { FPosition = std::clamp(Position, FMin, FMax); }

void TUpDown::Associate(QLineEdit* Edit) { Edit->installEventFilter(this); }

void TUpDown::Click(TUDBtnType Button) {
  SetPosition(FPosition + (Button == TUDBtnType::btNext ? 1 : -1));
  if (OnClick) OnClick(Button);
}

void TUpDown::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Up)
    Click(TUDBtnType::btNext);
  else if (Event->key() == Qt::Key_Down)
    Click(TUDBtnType::btPrev);
  else
    QWidget::keyPressEvent(Event);
}

void TUpDown::resizeEvent(QResizeEvent* Event) {
  const int Half = height() / 2;
  FUp->setGeometry(0, 0, width(), Half);
  FDown->setGeometry(0, Half, width(), height() - Half);
  QWidget::resizeEvent(Event);
}

bool TUpDown::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::KeyPress && isEnabled()) {
    const int Key = static_cast<QKeyEvent*>(Event)->key();
    if (Key == Qt::Key_Up || Key == Qt::Key_Down) {
      Click(Key == Qt::Key_Up ? TUDBtnType::btNext : TUDBtnType::btPrev);
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}
