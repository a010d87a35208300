#include "link/KoPrst.h"

#include <stdexcept>
#include <string>

void TKoPersistent::BeginUpdate() { ++FUpdateCount; }

void TKoPersistent::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  Changed();
}

void TKoPersistent::Changed() {
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TKoPersistent::CopyFrom(const TKoPersistent& Source) { Assign(Source); }

void TKoPersistent::Assign(const TKoPersistent& Source) {
  throw std::invalid_argument(std::string("Cannot assign a ") + Source.ClassName() + " to a " + ClassName());
}

template <typename T>
void TKoFlowControl::Store(T& Field, T Value) {
  if (Field != Value) {
    Field = Value;
    Changed();
  }
}

void TKoFlowControl::SetOutCtsFlow(bool Value) { Store(FOutCtsFlow, Value); }
void TKoFlowControl::SetOutDsrFlow(bool Value) { Store(FOutDsrFlow, Value); }
void TKoFlowControl::SetControlDtr(TKoControlDtr Value) { Store(FControlDtr, Value); }
void TKoFlowControl::SetControlRts(TKoControlRts Value) { Store(FControlRts, Value); }
void TKoFlowControl::SetXonXoffOut(bool Value) { Store(FXonXoffOut, Value); }
void TKoFlowControl::SetXonXoffIn(bool Value) { Store(FXonXoffIn, Value); }
void TKoFlowControl::SetDsrSensitivity(bool Value) { Store(FDsrSensitivity, Value); }
void TKoFlowControl::SetTxContinueOnXoff(bool Value) { Store(FTxContinueOnXoff, Value); }

void TKoFlowControl::CopyFrom(const TKoPersistent& Source) {
  auto* S = dynamic_cast<const TKoFlowControl*>(&Source);
  if (!S) return TKoPersistent::CopyFrom(Source);
  BeginUpdate();
  SetOutCtsFlow(S->FOutCtsFlow);
  SetOutDsrFlow(S->FOutDsrFlow);
  SetControlDtr(S->FControlDtr);
  SetControlRts(S->FControlRts);
  SetXonXoffOut(S->FXonXoffOut);
  SetXonXoffIn(S->FXonXoffIn);
  SetDsrSensitivity(S->FDsrSensitivity);
  SetTxContinueOnXoff(S->FTxContinueOnXoff);
  EndUpdate();
}

char TKoEventChars::GetIndexedChar(int Index) const {
  if (Index < 1 || Index > 5) throw std::out_of_range("event character index");
  return FChars[Index - 1];
}

void TKoEventChars::SetIndexedChar(int Index, char Value) {
  if (Index < 1 || Index > 5) throw std::out_of_range("event character index");
  FChars[Index - 1] = Value;
  Changed();
}

void TKoEventChars::CopyFrom(const TKoPersistent& Source) {
  auto* S = dynamic_cast<const TKoEventChars*>(&Source);
  if (!S) return TKoPersistent::CopyFrom(Source);
  BeginUpdate();
  for (int I = 1; I <= 5; ++I) SetIndexedChar(I, S->FChars[I - 1]);
  EndUpdate();
}

void TKoBuffers::SetReadSize(TKoIntW Value) {
  if (FReadSize != Value) {
    FReadSize = Value;
    Changed();
  }
}

void TKoBuffers::SetWriteSize(TKoIntW Value) {
  if (FWriteSize != Value) {
    FWriteSize = Value;
    Changed();
  }
}

void TKoBuffers::CopyFrom(const TKoPersistent& Source) {
  auto* S = dynamic_cast<const TKoBuffers*>(&Source);
  if (!S) return TKoPersistent::CopyFrom(Source);
  BeginUpdate();
  SetReadSize(S->FReadSize);
  SetWriteSize(S->FWriteSize);
  FReadTimeout = S->FReadTimeout;
  FWriteTimeout = S->FWriteTimeout;
  EndUpdate();
}
