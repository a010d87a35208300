#include "forms/Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

#include "forms/Cp1252String.h"
#include "forms/SaveText.h"

namespace {

const char* const AppTitle = "Pelmo";

class TRealDialogs : public TDialogs {
 public:
  TBoxButton MessageBox(const TBoxRequest& Request) override {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(Cp1252ToQString(Request.Caption));
    box.setText(Cp1252ToQString(Request.Text));
    switch (Request.Kind) {
      case TBoxKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
      case TBoxKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
      case TBoxKind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok);
        break;
      case TBoxKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
    const int answer = box.exec();
    if (Request.Kind != TBoxKind::Confirmation) return TBoxButton::OK;
    return answer == QMessageBox::Yes ? TBoxButton::Yes : TBoxButton::No;
  }

  std::optional<std::string> SaveFileName(const TSaveRequest& Request) override {
    QFileDialog dialog(QApplication::activeWindow(), Cp1252ToQString(Request.Caption), QString(),
                       Cp1252ToQString(Request.Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(Cp1252ToQString(Request.DefaultExt));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);  // an existing file is only replaced on Yes
    // A name typed without an extension gets the one of the type selected.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& Filter) {
      const QRegularExpressionMatch Match = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(Filter);
      if (Match.hasMatch()) dialog.setDefaultSuffix(Match.captured(1));
    });
    if (!Request.Folder.empty()) dialog.setDirectory(FileSystemPath(Request.Folder));
    dialog.selectFile(Cp1252ToQString(Request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    if (Request.SelectedFilter) *Request.SelectedFilter = QStringToCp1252(dialog.selectedNameFilter());
    // The path keeps every character of the folders the user went through.
    return FileSystemName(dialog.selectedFiles().first());
  }
};

TRealDialogs RealDialogs;
TDialogs* Installed = nullptr;

TBoxButton Show(TBoxKind Kind, const std::string& Text) { return Dialogs().MessageBox({Kind, AppTitle, Text}); }

}  // namespace

TDialogs& Dialogs() { return Installed ? *Installed : RealDialogs; }

void SetDialogs(TDialogs* Dialogs) { Installed = Dialogs; }

void ErrorBox(const std::string& Text) { Show(TBoxKind::Error, Text); }

void InfoBox(const std::string& Text) { Show(TBoxKind::Information, Text); }

bool ConfirmBox(const std::string& Text) { return Show(TBoxKind::Confirmation, Text) == TBoxButton::Yes; }

void WarningBox(const std::string& Text) { Show(TBoxKind::Warning, Text); }

std::string ExceptionBoxText(const std::string& Message) {
  if (!Message.empty() && static_cast<unsigned char>(Message.back()) > static_cast<unsigned char>('.'))
    return Message + ".";
  return Message;
}

void ShowException(const std::string& Message) { ErrorBox(ExceptionBoxText(Message)); }

void ShowException(std::exception_ptr Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& e) {
    ShowException(std::string(e.what()));
  } catch (...) {
    ShowException(std::string("Unknown error"));
  }
}
