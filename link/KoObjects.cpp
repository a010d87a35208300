#include "link/KoObjects.h"

#include <stdexcept>

#include "link/KoOS.h"

TKoHandleObject::~TKoHandleObject() { KoOSCloseSignal(FHandle); }

void TKoHandleObject::SetSignal() {
  if (!KoOSSetSignal(FHandle)) FLastError = KoOSLastError();
}

void TKoHandleObject::ResetSignal() {
  if (!KoOSResetSignal(FHandle)) FLastError = KoOSLastError();
}

TKoWaitResult TKoHandleObject::WaitFor(std::uint32_t Timeout) {
  int Index = 0;
  TKoWaitResult R = KoOSWaitFor(&FHandle, 1, KO_INVALID_HANDLE, Timeout, Index);
  if (R == wrError) FLastError = KoOSLastError();
  return R;
}

TKoEvent::TKoEvent(bool InitialState) {
  FHandle = KoOSCreateSignal(InitialState);
  if (FHandle == KO_INVALID_HANDLE) {
    // Without its signals the channel cannot work at all: out of descriptors.
    throw std::runtime_error("Can't create a signal");
  }
}

TKoWaitResult KoWaitForAny(TKoHandleObject* const* Signals, int Count, std::uint32_t Timeout, int& Index) {
  TKoHandle Handles[8];
  if (Count < 1 || Count > 7) return wrError;
  for (int I = 0; I < Count; ++I) Handles[I] = Signals[I]->Handle();
  return KoOSWaitFor(Handles, Count, KO_INVALID_HANDLE, Timeout, Index);
}
