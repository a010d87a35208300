// The reading of a full SIM through the program's windows, built for Windows and run under Wine
// against the simulated phone on COM 4 (tools/wine-read-bench): presses "Read messages", then
// closes the port, so that the phone's log holds the reading from the port's opening to its
// closing. Prints the rows read and the time the press took by the program's own clock.
//
//   wine_read_bench
// The exit status is 0 when the grid holds messages and no box came up.
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/reading/BenchSupport.h"
#include "forms/AllWindows.h"
#include "forms/Application.h"
#include "forms/Grid.h"
#include "forms/Main.h"
#include "link/KoComm.h"

int main(int argc, char** argv) {
  TApplication Application(argc, argv);
  Application.setApplicationName(QStringLiteral("Pelmo"));
  TFailingDialogs Boxes;
  SetDialogs(&Boxes);
  auto Main = CreateAllWindows();
  frmMain->show();

  int Result = 1;
  QTimer::singleShot(0, [&Result, &Boxes] {
    const auto Start = std::chrono::steady_clock::now();
    frmMain->btnRead->click();
    const double Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    frmMain->KoComm->ClosePort();
    const int Rows = frmMain->sgMessages->RowCount() - 1;
    std::printf("messages read      %d (memory %s)\n", Rows, frmMain->lblMemory->text().toStdString().c_str());
    std::printf("press to grid      %.3f s (the program's clock)\n", Wall);
    std::fflush(stdout);
    Result = Rows > 0 && Boxes.Boxes == 0 ? 0 : 1;
    // Ends the loop without closing the windows first, as the Windows reading check does.
    QApplication::exit(Result);
  });
  Application.exec();
  Main.reset();
  SetDialogs(nullptr);
  return Result;
}
