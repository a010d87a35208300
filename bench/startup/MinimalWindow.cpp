// The yardstick for the program's start-up: a plain 620 x 360 window with a 5-column table and 11
// buttons, nothing else.
#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication Application(argc, argv);
  QWidget Window;
  Window.setWindowTitle(QStringLiteral("Minimal"));
  Window.setFixedSize(620, 360);
  auto* Table = new QTableWidget(2, 5, &Window);
  Table->setGeometry(8, 8, 604, 270);
  for (int I = 0; I < 11; ++I) {
    auto* Button = new QPushButton(QStringLiteral("Button %1").arg(I + 1), &Window);
    Button->setGeometry(8 + (I % 6) * 100, 290 + (I / 6) * 32, 89, 25);
  }
  Window.show();
  return Application.exec();
}
