// Starts the program's windows as Pelmo does and works them from outside, as a person would, on the
// port the window proposes: Read messages, Show names, a new message stored and another sent
// through the compose dialog, the message in location 2 deleted, and the one in location 1 saved
// to a file with a non-ASCII name. After each step it writes what the window shows to a file: the
// port, the memory label, every grid row and every box that came up. Run under Wine against a
// simulated phone on COM 4, and on Linux for the same dump to compare with.
//
//   wine_reading OUTFILE
// The message is saved beside OUTFILE, as "<OUTFILE without .txt> Grüße.txt". The exit status is
// 0 when every step got as far as the window and no error box came up.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
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
#include "forms/SaveText.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"
#include "tests/support/WhileModal.h"

namespace {

FILE* GOut = nullptr;
int GErrors = 0;
std::string GSaveName;  // as the save dialog gives it: FileSystemName

// A box would wait for a person: it is written down and answered at once, a question with Yes.
// The save dialog answers with the name beside the output file.
class TScriptDialogs : public TDialogs {
 public:
  TBoxButton MessageBox(const TBoxRequest& Request) override {
    if (Request.Kind == TBoxKind::Error || Request.Kind == TBoxKind::Warning) ++GErrors;
    std::fprintf(GOut, "box: %s\n", Request.Text.c_str());
    return Request.Kind == TBoxKind::Confirmation ? TBoxButton::Yes : TBoxButton::OK;
  }
  std::optional<std::string> SaveFileName(const TSaveRequest& Request) override {
    std::fprintf(GOut, "save dialog: %s (%s)\n", Request.Caption.c_str(), Request.FileName.c_str());
    return GSaveName;
  }
};

void Dump(const char* Step) {
  std::fprintf(GOut, "== %s\n", Step);
  std::fprintf(GOut, "port: %s\n", frmMain->cbxCOMPort->currentText().toStdString().c_str());
  std::fprintf(GOut, "memory: %s\n", frmMain->lblMemory->text().toStdString().c_str());
  const TStringGrid& Grid = *frmMain->sgMessages;
  for (int R = 1; R < Grid.RowCount(); ++R) {
    int Status = -1;
    for (int C = 0; C < Grid.ColCount(); ++C)
      for (int S = 0; S < 4; ++S)
        if (Grid.Objects(C, R) == frmMain->StatusBitmap(S)) Status = S;
    // The cells are code page 1252, written as they are.
    std::fprintf(GOut, "row: %d", Status);
    for (int C = 0; C < Grid.ColCount(); ++C) std::fprintf(GOut, "|%s", Grid.Cells(C, R).c_str());
    std::fprintf(GOut, "\n");
  }
}

// The grid row of memory location Location (column 0), or 0.
int RowOfLocation(int Location) {
  const TStringGrid& Grid = *frmMain->sgMessages;
  for (int R = 1; R < Grid.RowCount(); ++R)
    if (Grid.Cells(0, R) == std::to_string(Location)) return R;
  return 0;
}

bool Select(int Location) {
  const int Row = RowOfLocation(Location);
  if (!Row) {
    std::fprintf(GOut, "no row of location %d\n", Location);
    return false;
  }
  frmMain->sgMessages->SetRow(Row);
  frmMain->sgMessagesSelectCell(0, Row);
  return true;
}

// Opens the compose dialog with New, fills in the destination and the text, presses Button (the
// dialog's Send or Store) and closes the dialog.
bool Compose(const std::string& Destination, const QString& Text, QPushButton* TfrmSend::*Button) {
  const bool Ran = WhileModal(
      frmSend, [] { frmMain->btnNew->click(); },
      [&] {
        frmSend->combxDA->setEditText(QString::fromStdString(Destination));
        frmSend->memUD->setPlainText(Text);
        (frmSend->*Button)->click();
        if (frmSend->isVisible()) frmSend->btnCancel->click();
      });
  if (!Ran) std::fprintf(GOut, "the compose dialog did not open\n");
  return Ran;
}

bool Run() {
  frmMain->btnRead->click();
  Dump("read");
  if (frmMain->sgMessages->RowCount() < 2) return false;

  frmMain->btnNames->click();
  Dump("names");

  if (!Compose("+4917612345678", QStringLiteral("Gespeichert unter Wine: Grüße an Anna"), &TfrmSend::btnStore))
    return false;
  Dump("stored");
  if (!Compose("+4930123456", QStringLiteral("Gesendet unter Wine: 1 € für Jürgen"), &TfrmSend::btnSend)) return false;
  Dump("sent");

  if (!Select(2)) return false;
  frmMain->btnDelete->click();
  Dump("deleted 2");

  if (!Select(1)) return false;
  frmMain->btnSave->click();
  Dump("saved 1");
  return true;
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
  QString SaveName = QFile::decodeName(argv[1]);
  if (SaveName.endsWith(QLatin1String(".txt"))) SaveName.chop(4);
  GSaveName = FileSystemName(SaveName + QStringLiteral(" Grüße.txt"));
  TScriptDialogs Boxes;
  SetDialogs(&Boxes);

  auto Main = CreateAllWindows();
  frmMain->show();

  int Result = 1;
  QTimer::singleShot(0, [&Result] {
    Result = Run() && GErrors == 0 ? 0 : 1;
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
