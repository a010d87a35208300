// Every modal message box and file dialog of the program goes through one object, so that the
// program's texts can be checked and answered without a person at the screen. The program uses the
// real boxes; a test installs its own TDialogs before it drives a window.
#pragma once

#include <exception>
#include <optional>
#include <string>

enum class TBoxKind { Error, Information, Confirmation, Warning };
enum class TBoxButton { OK, Yes, No };

struct TBoxRequest {
  TBoxKind Kind = TBoxKind::Error;
  std::string Caption;  // code page 1252
  std::string Text;     // code page 1252
};

struct TSaveRequest {
  std::string Caption;
  std::string FileName;    // proposed name, code page 1252
  std::string Filter;      // "Text (*.txt)", or several types apart by ";;", the first one selected
  std::string DefaultExt;  // "txt", for the first type; each other type adds its own extension
  std::string Folder;      // where the dialog opens, in the file system's encoding
  // When given, gets the type (one of Filter's) that was selected as the dialog closed.
  std::string* SelectedFilter = nullptr;
};

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // Shows a modal box and returns the button that closed it: OK for error and information boxes,
  // Yes or No for confirmations.
  virtual TBoxButton MessageBox(const TBoxRequest& Request) = 0;
  // Asks for the name of a file to write; nothing when the user cancels. The name is a path in the
  // file system's encoding (QFile::encodeName; UTF-8 on Windows), not in the code page, so that any
  // folder can be chosen.
  virtual std::optional<std::string> SaveFileName(const TSaveRequest& Request) = 0;
};

// The installed dialogs; the real boxes unless a test installed others.
TDialogs& Dialogs();
// Installs Dialogs (not owned); nullptr goes back to the real boxes.
void SetDialogs(TDialogs* Dialogs);

// The boxes the windows show. All carry the application title as caption.
void ErrorBox(const std::string& Text);
void InfoBox(const std::string& Text);
bool ConfirmBox(const std::string& Text);  // true only for Yes
void WarningBox(const std::string& Text);

// The application's central error box for an error that escaped a handler: the message gets a full
// stop when its last character sorts after '.' (a letter or a digit), so that every message reads as
// a sentence while one already ending in ')' or '.' is left alone.
std::string ExceptionBoxText(const std::string& Message);
void ShowException(const std::string& Message);
// The same for a caught error: its message, or "Unknown error" for one that is no std::exception.
void ShowException(std::exception_ptr Error);
