// Starts the program's windows as Pelmo does, presses "Read messages" on the port the window
// proposes, and writes what the window then shows to a file: the port, the memory label, every
// grid row and any box that came up. Run under Wine against a simulated phone on COM 4.
//
//   wine_reading OUTFILE
// The exit status is 0 when the grid holds messages and no box came up.
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "forms/AllWindows.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "forms/Grid.h"
#include "forms/Info.h"
#include "forms/MSend.h"
#include "forms/Main.h"
#include "forms/Progress.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"

namespace {

FILE* GOut = nullptr;
int GBoxes = 0;

// A box would wait for a person: it is written down and answered at once.
class TLoggedDialogs : public TDialogs {
 public:
  TBoxButton MessageBox(const TBoxRequest& Request) override {
    ++GBoxes;
    std::fprintf(GOut, "box: %s\n", Request.Text.c_str());
    return Request.Kind == TBoxKind::Confirmation ? TBoxButton::No : TBoxButton::OK;
  }
  std::optional<std::string> SaveFileName(const TSaveRequest&) override { return std::nullopt; }
};

int Dump() {
  std::fprintf(GOut, "port: %s\n", frmMain->cbxCOMPort->currentText().toStdString().c_str());
  std::fprintf(GOut, "memory: %s\n", frmMain->lblMemory->text().toStdString().c_str());
  const TStringGrid& Grid = *frmMain->sgMessages;
  for (int R = 1; R < Grid.RowCount(); ++R) {
    int Status = -1;
    for (int S = 0; S < 4; ++S)
      if (Grid.Objects(1, R) == frmMain->StatusBitmap(S)) Status = S;
    // The cells are code page 1252, written as they are.
    std::fprintf(GOut, "row: %s|%d|%s|%s|%s\n", Grid.Cells(0, R).c_str(), Status, Grid.Cells(2, R).c_str(),
                 Grid.Cells(3, R).c_str(), Grid.Cells(4, R).c_str());
  }
  return Grid.RowCount() > 1 && GBoxes == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wine_reading OUTFILE\n");
    return 2;
  }
  GOut = std::fopen(argv[1], "wb");
  if (!GOut) return 2;
  TApplication Application(argc, argv);
  Application.setApplicationName(QStringLiteral("Pelmo"));
  // Time stamps in one fixed format, whatever the system's locale.
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
  TLoggedDialogs Boxes;
  SetDialogs(&Boxes);

  auto Main = CreateAllWindows();
  frmMain->show();

  int Result = 1;
  QTimer::singleShot(0, [&Result] {
    frmMain->btnRead->click();
    Result = Dump();
    // Ends the loop without closing the windows first: on the windows platform under Wine
    // without an X display, closing them all never returns.
    QApplication::exit(Result);
  });
  Application.exec();
  std::fclose(GOut);
  Main.reset();
  SetDialogs(nullptr);
  return Result;
}
