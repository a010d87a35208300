#include "link/KoUtils.h"

#include "link/KoConst.h"
#include "link/KoOS.h"

std::string KoSysErrorText(int Code) {
  std::string Text = KoOSErrorText(Code);
  // The system's texts may end in a full stop and a line break.
  while (!Text.empty() && (Text.back() == ' ' || Text.back() == '.' || Text.back() == '\r' || Text.back() == '\n'))
    Text.pop_back();
  return Text;
}

std::string KoFormatInt(const std::string& Format, int Value) {
  std::string S = Format;
  auto P = S.find("%d");
  if (P != std::string::npos) S.replace(P, 2, std::to_string(Value));
  return S;
}

std::string KoFormatText(const std::string& Format, const std::string& Text) {
  std::string S = Format;
  auto P = S.find("%s");
  if (P != std::string::npos) S.replace(P, 2, Text);
  return S;
}

std::string KoFormatError(const std::string& Format, int Code) {
  // %d first, so that a %d inside the system text is left alone.
  std::string S = Format;
  auto D = S.find("%d");
  std::string::size_type From = 0;
  if (D != std::string::npos) {
    std::string Num = std::to_string(Code);
    S.replace(D, 2, Num);
    From = D + Num.size();
  }
  auto P = S.find("%s", From);
  if (P != std::string::npos) S.replace(P, 2, KoSysErrorText(Code));
  return S;
}

std::uint32_t KoTickCount() { return KoOSTickCount(); }

std::string KoResolveDevice(const std::string& Name) { return KoOSDeviceForName(Name); }

std::vector<TKoPortEntry> KoListPorts() { return KoOSListPorts(); }

std::uint32_t KoBuildEventMask(TKoCommEvents Events, bool DirectWrite) {
  std::uint32_t Mask = 0;
  for (int E = ceBreak; E <= ceEvent2; ++E)
    if (Events.Contains(static_cast<TKoCommEvent>(E))) Mask |= KoCommEventMasks[E];
  if (!DirectWrite) Mask &= ~KO_EV_TXEMPTY;
  return Mask;
}
