// The compose dialog: a short message with all of its sending options, written for a new message,
// an answer or a forward, and then sent through the phone or stored on its SIM. Created once at
// start; the main window prefills it and shows it modally.
#pragma once

#include <functional>
#include <string>
#include "forms/LazyDialog.h"

#include "engine/SMSEngine.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;
class TUpDown;
enum class TUDBtnType;

// The values of the dialog, as the encoder takes them.
using TComposedMessage = SMSEngine::TSubmitFields;

class TfrmSend : public TLazyDialog {
  Q_OBJECT
 public:
  explicit TfrmSend(QWidget* Parent = nullptr);
  ~TfrmSend() override;

  // Components.
  QLabel* lblSCA = nullptr;
  QLineEdit* edSCA = nullptr;
  QLabel* lblMR = nullptr;
  QSpinBox* spedMR = nullptr;
  QLabel* lblVP = nullptr;
  QComboBox* combxVP = nullptr;
  QStackedWidget* pctrlVP = nullptr;
  QWidget* tsVPNone = nullptr;
  QWidget* tsVPRelative = nullptr;
  QLineEdit* edVPRelative = nullptr;
  TUpDown* udVPRelative = nullptr;
  QWidget* tsVPAbsolute = nullptr;
  QLabel* lblVPDate = nullptr;
  QDateEdit* dtpVPDate = nullptr;
  QLabel* lblVPTime = nullptr;
  QTimeEdit* dtpVPTime = nullptr;
  QLabel* lblVPTZ = nullptr;
  QLineEdit* edVPTZ = nullptr;
  TUpDown* udVPTZ = nullptr;
  QLabel* lblDA = nullptr;
  QComboBox* combxDA = nullptr;
  QLabel* lblUD = nullptr;
  QPlainTextEdit* memUD = nullptr;
  QLabel* lblChars = nullptr;
  // Beside the counter: the typed characters that the message cannot carry as typed.
  QLabel* lblUncarried = nullptr;
  QCheckBox* cbxSRR = nullptr;
  QCheckBox* cbxRD = nullptr;
  QCheckBox* cbxFlash = nullptr;
  QPushButton* btnSend = nullptr;
  QPushButton* btnStore = nullptr;
  QPushButton* btnCancel = nullptr;

  // The command time-out while a message is being sent; afterwards it is 5000 ms again.
  int SendTimeOut = 20000;
  // The system beep of a text above 160 characters.
  std::function<void()> Beep;

  // Makes the components (see TLazyDialog); whoever fills them in before the first showing calls it.
  void Build() override;

  // The text of the destination field and of the memo, in the program's code page; the memo's
  // line breaks as CR LF.
  std::string DestinationText() const;
  std::string MemoText() const;
  void SetMemoText(const std::string& Text);

  // The values as the buttons hand them to the encoder; DA is DestinationNumber of the destination
  // text. Addresses are taken as typed here; the buttons check them.
  TComposedMessage Composed() const;

  // True while an exchange of the dialog waits for the phone.
  bool Busy() const { return FBusy; }
  // True once the phone has taken the message of this opening: it is not sent or stored again.
  bool Done() const { return FDone; }

  // Event handlers.
  void FormShow();
  void edSCAChange();
  void combxDAChange();
  void combxVPChange();
  void tsVPRelativeShow();
  void udVPRelativeClick(TUDBtnType Button);
  void tsVPAbsoluteShow();
  void udVPTZClick(TUDBtnType Button);
  void memUDChange();
  void btnSendClick();
  void btnStoreClick();

  void reject() override;

 protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  class TBusy;
  // Checks the addresses and encodes; false when something was refused (the box has been shown).
  bool Encode(TComposedMessage& Message, int& PDULength, std::string& PDU);
  // Send, Store and Cancel as the addresses, the memory, a waiting exchange and a message already
  // taken allow.
  void UpdateButtons();

  // After the phone took the message: Send and Store stay off, and the memo shows what went.
  void MessageTaken(const SMSEngine::TMessageList& AsRead);

  bool FBusy = false;
  bool FDone = false;
  bool FEdited = false;  // an address was edited since the opening
};

extern TfrmSend* frmSend;
