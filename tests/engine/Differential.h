// Runs the codec and its bit-string reference on the same input and describes every difference:
// the result, each output field (also the ones left untouched), the refusals and their texts, and
// the text of a conversion error. Used by the differential test and the fuzzer.
#pragma once

#include "engine/SMSEngine.h"
#include "tests/engine/ReferenceCodec.h"

#include <cstdio>
#include <string>
#include <vector>

namespace Differential {

using namespace SMSEngine;

// The refusals of the codec; install Record as its error reporter.
inline std::vector<std::string> Refusals;
inline void Record(const std::string& Text) { Refusals.push_back(Text); }

// A date-time to the last bit.
inline std::string Exact(TDateTime T) {
  char Buffer[64];
  std::snprintf(Buffer, sizeof Buffer, "%a", T);
  return Buffer;
}

inline std::string Quoted(const std::string& S) {
  std::string Out = "\"";
  for (const unsigned char Ch : S) {
    if (Ch >= 0x20 && Ch < 0x7F && Ch != '"' && Ch != '\\') {
      Out += static_cast<char>(Ch);
    } else {
      char Buffer[8];
      std::snprintf(Buffer, sizeof Buffer, "\\x%02X", Ch);
      Out += Buffer;
    }
  }
  return Out + "\"";
}

inline std::string Joined(const std::vector<std::string>& Texts) {
  std::string Out;
  for (const auto& T : Texts) Out += Quoted(T) + " ";
  return Out;
}

// Runs Call and gives its result (or the conversion error) and the refusals it reported, as text.
template <typename TCall>
std::string Run(std::vector<std::string>& Reports, TCall Call) {
  Reports.clear();
  std::string Out;
  try {
    Out = Call() ? "true " : "false ";
  } catch (const EConvertError& E) {
    Out = std::string("EConvertError ") + Quoted(E.what()) + " ";
  }
  return Out + Joined(Reports);
}

// The outputs of a decoder. They start from values no decoder gives, so that fields left alone are
// compared too.
struct TFields {
  std::string SCA = "?", OA = "?", DA = "?", UD = "?";
  bool Flash = true, SRR = true, RD = true;
  int VPF = -7, MR = -7, VPRelative = -7, VPTZ = -7;
  TDateTime SCTS = -7, VPAbsolute = -7;
  std::string Describe() const {
    return "SCA=" + Quoted(SCA) + " OA=" + Quoted(OA) + " DA=" + Quoted(DA) + " UD=" + Quoted(UD) +
           " Flash=" + std::to_string(Flash) + " SRR=" + std::to_string(SRR) + " RD=" + std::to_string(RD) +
           " VPF=" + std::to_string(VPF) + " MR=" + std::to_string(MR) + " VPRelative=" + std::to_string(VPRelative) +
           " VPTZ=" + std::to_string(VPTZ) + " SCTS=" + Exact(SCTS) + " VPAbsolute=" + Exact(VPAbsolute);
  }
};

// Empty when both decoders agree on PDU; otherwise both outcomes.
inline std::string CompareDecoders(const std::string& PDU) {
  std::string Differences;
  auto Compare = [&](const char* Name, auto Fast, auto Reference) {
    TFields A, B;
    // Run first, then describe the fields (the operands of + are not sequenced).
    std::string FastText = Run(Refusals, [&] { return Fast(A); });
    FastText += A.Describe();
    std::string ReferenceText = Run(ReferenceCodec::Refusals, [&] { return Reference(B); });
    ReferenceText += B.Describe();
    if (FastText != ReferenceText)
      Differences += std::string(Name) + " of " + Quoted(PDU) + "\n  codec:     " + FastText +
                     "\n  reference: " + ReferenceText + "\n";
  };
  Compare(
      "DecodeDeliverPDU", [&](TFields& F) { return DecodeDeliverPDU(PDU, F.SCA, F.OA, F.Flash, F.SCTS, F.UD); },
      [&](TFields& F) { return ReferenceCodec::DecodeDeliverPDU(PDU, F.SCA, F.OA, F.Flash, F.SCTS, F.UD); });
  Compare(
      "DecodeSubmitPDU",
      [&](TFields& F) {
        return DecodeSubmitPDU(PDU, F.SCA, F.SRR, F.VPF, F.RD, F.MR, F.DA, F.Flash, F.VPRelative, F.VPAbsolute, F.VPTZ,
                               F.UD);
      },
      [&](TFields& F) {
        return ReferenceCodec::DecodeSubmitPDU(PDU, F.SCA, F.SRR, F.VPF, F.RD, F.MR, F.DA, F.Flash, F.VPRelative,
                                               F.VPAbsolute, F.VPTZ, F.UD);
      });
  return Differences;
}

// Empty when both encoders agree; otherwise both outcomes.
inline std::string CompareEncoders(const SMSEngine::TSubmitFields& M) {
  int LengthA = -7, LengthB = -7;
  std::string PDUA = "?", PDUB = "?";
  const std::string A = Run(Refusals, [&] { return EncodeSubmitPDU(M, LengthA, PDUA); });
  const std::string B = Run(ReferenceCodec::Refusals, [&] {
    return ReferenceCodec::EncodeSubmitPDU(M.SCA, M.SRR, M.VPF, M.RD, M.MR, M.DA, M.Flash, M.VPRelative, M.VPAbsolute,
                                           M.VPTZ, M.UD, LengthB, PDUB);
  });
  const std::string FastText = A + std::to_string(LengthA) + " " + Quoted(PDUA);
  const std::string ReferenceText = B + std::to_string(LengthB) + " " + Quoted(PDUB);
  if (FastText == ReferenceText) return {};
  return "EncodeSubmitPDU of SCA " + Quoted(M.SCA) + " DA " + Quoted(M.DA) + " VPF " + std::to_string(M.VPF) + " MR " +
         std::to_string(M.MR) + " VPTZ " + std::to_string(M.VPTZ) + " VPAbsolute " + Exact(M.VPAbsolute) + " UD " +
         Quoted(M.UD) + "\n  codec:     " + FastText + "\n  reference: " + ReferenceText + "\n";
}

}  // namespace Differential
