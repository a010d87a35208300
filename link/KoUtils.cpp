#include "link/KoUtils.h"

#include <cstdlib>
#include <cstring>

#include "link/KoConst.h"
#include "link/KoOS.h"

std::string KoSysErrorText(int Code) {
  std::string Text = std::strerror(Code);
  while (!Text.empty() && (Text.back() == ' ' || Text.back() == '.')) Text.pop_back();
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

std::string KoResolveDevice(const std::string& Name) {
  if (!Name.empty() && Name[0] == '/') return Name;
  if (Name.size() > 3 && Name.compare(0, 3, "COM") == 0) {
    std::string Digits = Name.substr(3);
    bool AllDigits = Digits.find_first_not_of("0123456789") == std::string::npos;
    if (AllDigits && Digits.size() <= 9) {
      if (const char* Env = std::getenv(("PELMO_" + Name).c_str()); Env && *Env) return Env;
      int N = std::atoi(Digits.c_str());
      if (N >= 1) return "/dev/ttyS" + std::to_string(N - 1);
    }
  }
  // Anything else names a device in /dev.
  return "/dev/" + Name;
}

std::uint32_t KoBuildEventMask(TKoCommEvents Events, bool DirectWrite) {
  std::uint32_t Mask = 0;
  for (int E = ceBreak; E <= ceEvent2; ++E)
    if (Events.Contains(static_cast<TKoCommEvent>(E))) Mask |= KoCommEventMasks[E];
  if (!DirectWrite) Mask &= ~KO_EV_TXEMPTY;
  return Mask;
}
