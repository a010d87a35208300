// Settings objects of the channel: a persistent base with change notification and the three
// groups of settings (flow control, special characters, buffers).
#pragma once

#include <functional>

#include "link/KoTypes.h"

// A settings object whose owner hears of every change. Changes made between BeginUpdate and
// EndUpdate are told once, at the outermost EndUpdate.
class TKoPersistent {
 public:
  TKoPersistent() = default;
  // A copy carries the values only; the owner's callback stays with the original.
  TKoPersistent(const TKoPersistent&) {}
  TKoPersistent& operator=(const TKoPersistent&) { return *this; }
  virtual ~TKoPersistent() = default;

  virtual const char* ClassName() const { return "TKoPersistent"; }

  void BeginUpdate();
  void EndUpdate();
  // Copies all properties of an object of the same class, telling the owner once. From any
  // other class it falls back to Assign.
  virtual void CopyFrom(const TKoPersistent& Source);
  // General copy: an object of another class cannot be copied (std::invalid_argument).
  virtual void Assign(const TKoPersistent& Source);

  // Installed by the owning channel.
  std::function<void(TKoPersistent* Sender)> OnChange;

 protected:
  void Changed();
  int FUpdateCount = 0;
};

class TKoFlowControl : public TKoPersistent {
 public:
  const char* ClassName() const override { return "TKoFlowControl"; }
  void CopyFrom(const TKoPersistent& Source) override;

  bool OutCtsFlow() const { return FOutCtsFlow; }
  void SetOutCtsFlow(bool Value);
  bool OutDsrFlow() const { return FOutDsrFlow; }
  void SetOutDsrFlow(bool Value);
  TKoControlDtr ControlDtr() const { return FControlDtr; }
  void SetControlDtr(TKoControlDtr Value);
  TKoControlRts ControlRts() const { return FControlRts; }
  void SetControlRts(TKoControlRts Value);
  bool XonXoffOut() const { return FXonXoffOut; }
  void SetXonXoffOut(bool Value);
  bool XonXoffIn() const { return FXonXoffIn; }
  void SetXonXoffIn(bool Value);
  bool DsrSensitivity() const { return FDsrSensitivity; }
  void SetDsrSensitivity(bool Value);
  bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
  void SetTxContinueOnXoff(bool Value);

 private:
  template <typename T>
  void Store(T& Field, T Value);

  bool FOutCtsFlow = false;
  bool FOutDsrFlow = false;
  TKoControlDtr FControlDtr = dtrDisabled;
  TKoControlRts FControlRts = rtsDisabled;
  bool FXonXoffOut = false;
  bool FXonXoffIn = false;
  bool FDsrSensitivity = false;
  bool FTxContinueOnXoff = false;
};

class TKoEventChars : public TKoPersistent {
 public:
  const char* ClassName() const override { return "TKoEventChars"; }
  void CopyFrom(const TKoPersistent& Source) override;

  char XonChar() const { return FChars[0]; }
  char XoffChar() const { return FChars[1]; }
  char ErrorChar() const { return FChars[2]; }
  char EventChar() const { return FChars[3]; }
  char EofChar() const { return FChars[4]; }
  // Index 1 to 5: XonChar, XoffChar, ErrorChar, EventChar, EofChar. Tells the owner on every
  // assignment, changed or not.
  char GetIndexedChar(int Index) const;
  void SetIndexedChar(int Index, char Value);
  void SetXonChar(char Value) { SetIndexedChar(1, Value); }
  void SetXoffChar(char Value) { SetIndexedChar(2, Value); }
  void SetErrorChar(char Value) { SetIndexedChar(3, Value); }
  void SetEventChar(char Value) { SetIndexedChar(4, Value); }
  void SetEofChar(char Value) { SetIndexedChar(5, Value); }

 private:
  char FChars[5] = {17, 19, 0, 0, 0};
};

class TKoBuffers : public TKoPersistent {
 public:
  const char* ClassName() const override { return "TKoBuffers"; }
  void CopyFrom(const TKoPersistent& Source) override;

  // Bytes of the driver's input queue.
  TKoIntW ReadSize() const { return FReadSize; }
  void SetReadSize(TKoIntW Value);
  // Bytes of the driver's output queue and capacity of the transmit queue.
  TKoIntW WriteSize() const { return FWriteSize; }
  void SetWriteSize(TKoIntW Value);
  // Milliseconds; plain values, the owner is not told of their changes.
  TKoIntW ReadTimeout() const { return FReadTimeout; }
  void SetReadTimeout(TKoIntW Value) { FReadTimeout = Value; }
  TKoIntW WriteTimeout() const { return FWriteTimeout; }
  void SetWriteTimeout(TKoIntW Value) { FWriteTimeout = Value; }

 private:
  TKoIntW FReadSize = 4096;
  TKoIntW FWriteSize = 2048;
  TKoIntW FReadTimeout = 1000;
  TKoIntW FWriteTimeout = 1000;
};
