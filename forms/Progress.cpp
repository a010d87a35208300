#include "forms/Progress.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "forms/Icons.h"

TfrmProgress* frmProgress = nullptr;

namespace {

// MS Sans Serif where it is installed, else the form font.
QFont ProgressFont() {
  QFont font = FormFont();
  if (FontInstalled(QStringLiteral("MS Sans Serif")))
    font.setFamilies(QStringList{QStringLiteral("MS Sans Serif")} + font.families());
  return font;
}

}  // namespace

TfrmProgress::TfrmProgress(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("frmProgress"));
  setWindowTitle(QStringLiteral("Reading..."));
  setFont(ProgressFont());
  setFixedSize(217, 65);
  setModal(false);

  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setGeometry(8, 16, 200, 16);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  ProgressBar->setAccessibleName(QStringLiteral("Progress"));

  lblProgress = new QLabel(this);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  lblProgress->setGeometry(8, 40, 201, 16);
  lblProgress->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  FRedraw = new QTimer(this);
  FRedraw->setSingleShot(true);
  connect(FRedraw, &QTimer::timeout, this, [this] { ResumeDrawing(); });
}

void TfrmProgress::StepBy(int Step) {
  const int value = std::clamp(ProgressBar->value() + Step, ProgressBar->minimum(), ProgressBar->maximum());
  constexpr int PauseMs = 250;
  if (isVisible() && !FRedraw->isActive()) {
    if (!FLastDrawn.isValid() || FLastDrawn.hasExpired(PauseMs)) {
      FLastDrawn.start();  // this step is drawn as usual
    } else {
      // Changes until the pause ends are drawn together then. Only the bar and the label pause: a
      // window that pauses is drawn twice when it resumes.
      lblProgress->setUpdatesEnabled(false);
      FRedraw->start(static_cast<int>(PauseMs - FLastDrawn.elapsed()));
    }
  }
  // The bar pauses only when it moves (a large memory steps by 0): drawing resumes by redrawing
  // what paused.
  if (FRedraw->isActive() && value != ProgressBar->value()) ProgressBar->setUpdatesEnabled(false);
  ProgressBar->setValue(value);
}

void TfrmProgress::ResumeDrawing() {
  FRedraw->stop();
  FLastDrawn.start();
  // Draws what paused as it stands; what did not pause is not drawn again.
  ProgressBar->setUpdatesEnabled(true);
  lblProgress->setUpdatesEnabled(true);
}

void TfrmProgress::hideEvent(QHideEvent* Event) {
  ResumeDrawing();
  FLastDrawn.invalidate();
  QDialog::hideEvent(Event);
}

void TfrmProgress::showEvent(QShowEvent* Event) {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  QDialog::showEvent(Event);
}

// The window offers no way to close it: the operation that showed it closes it.
void TfrmProgress::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(Event);
}

void TfrmProgress::closeEvent(QCloseEvent* Event) {
  if (Event->spontaneous())
    Event->ignore();
  else
    QDialog::closeEvent(Event);
}
