// What the window tests share: message boxes answered from a queue, fresh windows per test, and a
// simulated phone that a COM port number points at.
//
//   class TMyTest : public TFormsTest {};
//   TEST_F(TMyTest, Something) {
//     StartPhone();                  // the demo SIM on COM 4, echo on
//     Boxes.Answer();                // one box is expected; OK closes it
//     frmMain->btnRead->click();
//     EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{"..."}));
//   }
//
// A box that no test queued an answer for fails the test (and is closed with OK or No), so a
// test never blocks on a box. The simulated phone runs on a Linux pseudo-terminal: built for
// Windows, the fixture has the boxes and the windows only.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include "emulator/SimPhone.h"
#endif
#include "forms/AllWindows.h"
#include "forms/Dialogs.h"
#include "forms/Info.h"
#include "forms/MSend.h"
#include "forms/Main.h"
#include "forms/Progress.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"

#ifndef _WIN32
// A message of the simulated phone's SIM with its status and PDU.
inline TSimMessage Sms(int Status, const std::string& PDU, bool HasSCA = true) {
  TSimMessage Message;
  Message.Status = Status;
  Message.PDU = PDU;
  Message.HasSCA = HasSCA;
  return Message;
}
#endif

class TScriptedDialogs : public TDialogs {
 public:
  struct TAnswer {
    TBoxButton Button = TBoxButton::OK;
    std::function<void(const TBoxRequest&)> While;  // runs while the box is "open"
  };

  std::vector<TBoxRequest> Shown;       // every box, in order
  std::vector<TSaveRequest> SaveAsked;  // every save dialog, in order
  std::deque<TAnswer> Answers;          // the answers for the coming boxes
  struct TSaveAnswer {
    std::optional<std::string> FileName;
    std::string Filter;  // the type the user selected; empty: the one proposed
  };
  std::deque<TSaveAnswer> SaveAnswers;

  // Queues the answer for the next box. While runs before the box closes, with window messages
  // flowing as in a real modal box if it pumps them (QTest::qWait...).
  void Answer(TBoxButton Button = TBoxButton::OK, std::function<void(const TBoxRequest&)> While = {}) {
    Answers.push_back({Button, std::move(While)});
  }
  void AnswerSave(std::optional<std::string> FileName, std::string Filter = {}) {
    SaveAnswers.push_back({std::move(FileName), std::move(Filter)});
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : Shown) texts.push_back(box.Text);
    return texts;
  }

  TBoxButton MessageBox(const TBoxRequest& Request) override {
    Shown.push_back(Request);
    if (Answers.empty()) {
      ADD_FAILURE() << "a box nobody expected: \"" << Request.Text << "\"";
      return Request.Kind == TBoxKind::Confirmation ? TBoxButton::No : TBoxButton::OK;
    }
    TAnswer answer = std::move(Answers.front());
    Answers.pop_front();
    if (answer.While) answer.While(Request);
    return answer.Button;
  }

  std::optional<std::string> SaveFileName(const TSaveRequest& Request) override {
    SaveAsked.push_back(Request);
    if (SaveAnswers.empty()) {
      ADD_FAILURE() << "a save dialog nobody expected: \"" << Request.FileName << "\"";
      return std::nullopt;
    }
    TSaveAnswer answer = std::move(SaveAnswers.front());
    SaveAnswers.pop_front();
    if (Request.SelectedFilter && !answer.Filter.empty()) *Request.SelectedFilter = answer.Filter;
    return answer.FileName;
  }
};

// The main window's controls that are enabled now, by name, in tab order; empty when none is.
inline std::string EnabledControls() {
  std::string Names;
  for (QWidget* Control :
       std::initializer_list<QWidget*>{frmMain->btnRead, frmMain->btnView, frmMain->btnNew, frmMain->btnSave,
                                       frmMain->btnDelete, frmMain->btnAnswer, frmMain->btnForward, frmMain->btnNames,
                                       frmMain->btnInfo, frmMain->btnExit, frmMain->sgMessages, frmMain->cbxCOMPort}) {
    if (!Control->isEnabled()) continue;
    if (!Names.empty()) Names += ' ';
    Names += Control->objectName().toStdString();
  }
  return Names;
}

// The controls as every reading leaves them, whatever its outcome: the grid, Read messages, Info,
// Exit and the port list on; Show names with the port open, New too but on the status reports'
// row; the progress window closed and the cursor back.
inline void ExpectControlsAfterReading() {
  const std::string Enabled = " " + EnabledControls() + " ";
  const auto On = [&Enabled](const char* Name) {
    return Enabled.find(std::string(" ") + Name + " ") != std::string::npos;
  };
  for (const char* Name : {"btnRead", "btnInfo", "btnExit", "sgMessages", "cbxCOMPort"}) EXPECT_TRUE(On(Name)) << Name;
  const bool Open = frmMain->KoComm->IsOpen();
  EXPECT_EQ(On("btnNames"), Open);
  EXPECT_EQ(On("btnNew"), Open && !frmMain->StatusReportRow(frmMain->sgMessages->Row()));
  EXPECT_FALSE(frmProgress->isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

class TFormsTest : public ::testing::Test {
 protected:
  TScriptedDialogs Boxes;
#ifndef _WIN32
  std::unique_ptr<TSimPhone> Phone;
#endif

  void SetUp() override {
    SetDialogs(&Boxes);
    CreateAllWindows().release();  // deleted with frmMain in TearDown
    // Time-outs of a test need not last five seconds.
    frmMain->Timer->setInterval(TimeOutMs);
  }

  void TearDown() override {
    delete frmMain;  // its dialogs go with it
    ForgetAllWindows();
#ifndef _WIN32
    if (Phone) Phone->Stop();
    Phone.reset();
    for (int n : FPortsSet) ::unsetenv(("PELMO_COM" + std::to_string(n)).c_str());
#endif
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "a window outlived its test";
    EXPECT_TRUE(Boxes.Answers.empty()) << Boxes.Answers.size() << " expected box(es) never shown";
    SetDialogs(nullptr);
  }

#ifndef _WIN32
  // Starts a simulated phone and points COM Port at it (PELMO_COMn); the window's channel opens it
  // when its PortNum is Port.
  TSimPhone& StartPhone(TSimCard Sim = DemoSim(), TPhoneOptions Options = {}, int Port = 4) {
    Phone = std::make_unique<TSimPhone>(std::move(Sim), std::move(Options));
    Phone->Start();
    PointPort(Port, Phone->DevicePath());
    return *Phone;
  }

  void PointPort(int Port, const std::string& Device) {
    ::setenv(("PELMO_COM" + std::to_string(Port)).c_str(), Device.c_str(), 1);
    FPortsSet.push_back(Port);
  }
#endif

  // Opens the window's channel on Port, as a reading does before its first command.
  void OpenPort(int Port = 4) {
    frmMain->KoComm->SetPortNum(Port);
    frmMain->ReplyComplete = false;
    frmMain->KoComm->OpenPort();
    ASSERT_TRUE(frmMain->KoComm->IsOpen());
  }

  static constexpr int TimeOutMs = 400;

 private:
#ifndef _WIN32
  std::vector<int> FPortsSet;
#endif
};
