// The fuller reading of a PDU against the bit-string reference (tests/engine/ReferenceCodec.h,
// ReferenceCodec::Full): real phones' PDUs, the demo SIM, every prefix and one-character change of
// them, and generated PDUs with headers in every coding. The backup file of the real PDUs holds,
// for each message, the reference's text, the parts of a long message joined.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "emulator/SimPhone.h"
#include "engine/SMSEngine.h"
#include "rules/AndroidBackup.h"
#include "rules/FullMessage.h"
#include "tests/engine/ReferenceCodec.h"
#include "tests/engine/Variations.h"

namespace {

using SMSEngine::TMessageList;
namespace Full = ReferenceCodec::Full;

struct TRealPDU {
  std::string Id, Kind, PDU;
};

// The PDUs of real phones kept in tests/engine/data/pdus.tsv (id, kind, PDU).
std::vector<TRealPDU> RealPDUs() {
  std::ifstream File(PELMO_ENGINE_TEST_DATA "/pdus.tsv");
  std::vector<TRealPDU> PDUs;
  for (std::string Line; std::getline(File, Line);) {
    if (Line.empty() || Line[0] == '#') continue;
    std::istringstream Row(Line);
    TRealPDU P;
    std::getline(Row, P.Id, '\t');
    std::getline(Row, P.Kind, '\t');
    std::getline(Row, P.PDU, '\t');
    PDUs.push_back(P);
  }
  return PDUs;
}

class Reference : public ::testing::Test {
 protected:
  void SetUp() override {
    SMSEngine::SetClock([] { return SMSEngine::EncodeDate(2026, 1, 15) + 0.5; });
    SMSEngine::SetErrorReporter([this](const std::string& Text) { Reports.push_back(Text); });
  }
  void TearDown() override {
    EXPECT_TRUE(Reports.empty()) << Reports.front();
    SMSEngine::SetClock(nullptr);
    SMSEngine::SetErrorReporter(nullptr);
  }
  std::vector<std::string> Reports;
};

std::string Describe(bool Readable, int Kind, const std::u32string& SCA, const std::u32string& Address,
                     const std::u32string& Text, const std::string& UserDataHex, int DCS, bool Compressed,
                     bool Complete, std::tuple<bool, bool, int, int, int> Concat, bool HasTimeStamp,
                     std::vector<int> Stamp) {
  std::string S = "readable=" + std::to_string(Readable) + " kind=" + std::to_string(Kind) + " SCA=" + ToUtf8(SCA) +
                  " address=" + ToUtf8(Address) + " text=" + ToUtf8(Text) + " ud=" + UserDataHex +
                  " dcs=" + std::to_string(DCS) + " compressed=" + std::to_string(Compressed) +
                  " complete=" + std::to_string(Complete);
  const auto [Present, Wide, Ref, Count, Number] = Concat;
  S += " concat=" + std::to_string(Present) + "/" + std::to_string(Wide) + "/" + std::to_string(Ref) + "/" +
       std::to_string(Count) + "/" + std::to_string(Number) + " stamp=" + std::to_string(HasTimeStamp);
  for (const int V : Stamp) S += " " + std::to_string(V);
  return S;
}

// Empty when both readings agree on PDU; otherwise both.
std::string Compare(const std::string& PDU) {
  const TFullMessage M = DecodeFullMessage(PDU);
  const TFullTimeStamp& T = M.TimeStamp;
  const std::string Ours =
      Describe(M.Readable, static_cast<int>(M.Kind), M.SCA, M.Address, M.Text, M.UserDataHex, M.DCS, M.Compressed,
               M.Complete, {M.Concat.Present, M.Concat.SixteenBit, M.Concat.Reference, M.Concat.Count, M.Concat.Number},
               M.HasTimeStamp, {T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second, T.ZoneQuarters});
  const Full::TReading R = Full::Read(PDU);
  const int Kind = R.Deliver ? 1 : R.Submit ? 2 : 0;
  const std::string Theirs =
      Describe(R.Readable, Kind, R.SCA, R.Address, R.Text, R.Readable ? R.UserDataHex : std::string(), R.DCS,
               R.Compressed, R.Complete, {R.Concat, R.Wide, R.Reference, R.Count, R.Number}, R.HasTimeStamp,
               {R.Year, R.Month, R.Day, R.Hour, R.Minute, R.Second, R.Zone});
  // The texts themselves too: UTF-8 would hide a lone surrogate.
  if (Ours == Theirs && M.Text == R.Text && M.Address == R.Address && M.SCA == R.SCA) return {};
  return "PDU " + PDU + "\n  rules:     " + Ours + "\n  reference: " + Theirs + "\n";
}

std::vector<std::string> DemoPDUs() {
  std::vector<std::string> PDUs;
  for (const auto& [Location, Message] : DemoSim().Messages)
    if (!Message.Hidden) PDUs.push_back(Message.PDU);
  return PDUs;
}

TEST_F(Reference, RealAndDemoPDUsWithEveryPrefixAndChange) {
  std::vector<std::string> PDUs = DemoPDUs();
  for (const TRealPDU& P : RealPDUs()) PDUs.push_back(P.PDU);
  ASSERT_GT(PDUs.size(), 250u) << "tests/engine/data/pdus.tsv not read";
  std::string Differences;
  ForEachVariation(PDUs, [&Differences](const std::string& PDU) {
    if (Differences.size() < 4000) Differences += Compare(PDU);
  });
  EXPECT_TRUE(Differences.empty()) << Differences;
}

// Every message of the real PDUs is read in full, as the kind the data file gives it; what is not
// (status reports, broken records) is listed there as another kind.
TEST_F(Reference, EveryRealMessageIsReadInFull) {
  for (const TRealPDU& P : RealPDUs()) {
    if (P.Kind != "deliver" && P.Kind != "submit") continue;
    const TFullMessage M = DecodeFullMessage(P.PDU);
    EXPECT_TRUE(M.Readable && M.Complete && !M.Compressed) << P.Id;
    EXPECT_EQ(M.Kind, P.Kind == "deliver" ? TFullKind::Deliver : TFullKind::Submit) << P.Id;
  }
}

// PDUs of random fields built to reach the user data often: headers with concatenation elements,
// every coding group, lengths that do and do not fit.
std::string RandomPDU(std::mt19937& Random) {
  auto Pick = [&Random](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
  auto Octet = [](int V) { return std::string{"0123456789ABCDEF"[(V >> 4) & 15], "0123456789ABCDEF"[V & 15]}; };
  auto Octets = [&](int N) {
    std::string S;
    for (int I = 0; I < N; ++I) S += Octet(Pick(256));
    return S;
  };
  std::string PDU = Pick(3) ? "07919471016700F0" : Pick(2) ? "00" : Octet(Pick(12)) + Octets(Pick(12));
  const int FirstOctets[] = {0x04, 0x44, 0x00, 0x40, 0x11, 0x51, 0x01, 0x41, 0x19, 0x59, 0x02, 0x03};
  const int First = Pick(6) ? FirstOctets[Pick(12)] : Pick(256);
  PDU += Octet(First);
  if (First & 1) PDU += Octets(1);
  const int Digits = Pick(22);
  const int Types[] = {0x81, 0x91, 0xD0, 0xA1, 0x50};
  PDU += Octet(Digits) + Octet(Types[Pick(5)]) + Octets((Digits + 1) / 2);
  const int Schemes[] = {0x00, 0x04, 0x08, 0x0C, 0x24, 0x48, 0x80, 0xC0, 0xD4, 0xE8, 0xF0, 0xF4, 0xF9};
  PDU += "00" + Octet(Pick(4) ? Schemes[Pick(13)] : Pick(256));
  if ((First & 3) == 0) {
    std::string Stamp;
    for (int I = 0; I < 7; ++I) Stamp += Octet(Pick(5) ? (Pick(10) << 4) | Pick(10) : Pick(256));
    PDU += Stamp;
  } else {
    const int Format = (First >> 3) & 3;
    PDU += Octets(Format == 0 ? 0 : Format == 2 ? 1 : 7);
  }
  std::string Header;
  if (Pick(2)) {
    const int Elements = Pick(4);
    for (int I = 0; I < Elements; ++I) {
      switch (Pick(4)) {
        case 0:
          Header += "0003" + Octets(1) + Octet(Pick(5)) + Octet(Pick(6));
          break;
        case 1:
          Header += "0804" + Octets(2) + Octet(Pick(5)) + Octet(Pick(6));
          break;
        case 2:
          Header += Octets(1) + Octet(Pick(6)) + Octets(Pick(6));
          break;
        default:
          Header += "0A03" + Octets(3);
          break;
      }
    }
    Header = Octet(static_cast<int>(Header.size() / 2) + Pick(3) - 1) + Header;
  }
  const std::string Data = Header + Octets(Pick(140));
  const int Length = Pick(4) ? static_cast<int>(Data.size() / 2) * (Pick(2) ? 8 : 7) / 7 : Pick(256);
  PDU += Octet(std::min(Length, 255)) + Data;
  if (Pick(5) == 0) PDU.resize(static_cast<std::size_t>(Pick(static_cast<int>(PDU.size()) + 1)));
  return PDU;
}

TEST_F(Reference, GeneratedPDUs) {
  std::mt19937 Random(20261211);
  std::string Differences;
  for (int I = 0; I < 20000 && Differences.size() < 4000; ++I) Differences += Compare(RandomPDU(Random));
  EXPECT_TRUE(Differences.empty()) << Differences;
}

// ---- The backup file of a SIM against the reference's texts ----

std::u32string Cp1252Of(const std::string& Text) {
  std::u32string Out;
  for (const char Ch : Text) Out += Full::Windows1252(static_cast<unsigned char>(Ch));
  return Out;
}

// The text a message's body holds, read by the reference.
std::u32string ReferenceBody(const Full::TReading& R, const std::string& PDU) {
  if (!R.Readable) return U"(This message could not be read.) PDU: " + Cp1252Of(PDU);
  if (R.Compressed)
    return U"(The text of this message is compressed and cannot be read.) User data: " + Cp1252Of(R.UserDataHex);
  return R.Complete ? R.Text : R.Text + U"[\u2026]";
}

// The bodies of the list, each long message joined at its lowest part present, in grid order.
std::vector<std::u32string> ReferenceBodies(const std::vector<TMessageList>& List) {
  using TKey = std::tuple<bool, bool, int, int, std::u32string>;
  std::vector<Full::TReading> Readings;
  for (const TMessageList& Entry : List) Readings.push_back(Full::Read(Entry.PDU));
  // The entries of each long message by part number; a second part of a number is not one of them.
  std::map<TKey, std::map<int, std::size_t>> Parts;
  std::vector<bool> Joined(List.size(), false);
  for (std::size_t I = 0; I < List.size(); ++I) {
    const Full::TReading& R = Readings[I];
    if (List[I].PDU.empty() || !R.Readable || !R.Concat || R.Number < 1 || R.Number > R.Count) continue;
    Joined[I] = Parts[{R.Deliver, R.Wide, R.Reference, R.Count, R.Address}].emplace(R.Number, I).second;
  }
  std::vector<std::u32string> Bodies;
  for (std::size_t I = 0; I < List.size(); ++I) {
    if (List[I].PDU.empty()) continue;
    const Full::TReading& R = Readings[I];
    if (!Joined[I]) {
      Bodies.push_back(ReferenceBody(R, List[I].PDU));
      continue;
    }
    const auto& Group = Parts[{R.Deliver, R.Wide, R.Reference, R.Count, R.Address}];
    if (Group.begin()->second != I) continue;
    std::u32string Body;
    for (int Number = 1; Number <= R.Count; ++Number) {
      const auto It = Group.find(Number);
      Body += It == Group.end() ? U"[\u2026]" : ReferenceBody(Readings[It->second], List[It->second].PDU);
    }
    Bodies.push_back(Body);
  }
  return Bodies;
}

// Text as the backup can hold it: a character XML 1.0 lacks becomes U+FFFD.
std::string AsSaved(std::u32string Text) {
  for (char32_t& C : Text) {
    const bool Allowed = C == 9 || C == 10 || C == 13 || (C >= 0x20 && C <= 0xD7FF) || (C >= 0xE000 && C <= 0xFFFD) ||
                         (C >= 0x10000 && C <= 0x10FFFF);
    if (!Allowed) C = 0xFFFD;
  }
  return ToUtf8(Text);
}

// The body attributes of the file, their references resolved.
std::vector<std::string> SavedBodies(const std::string& Xml) {
  const std::pair<std::string, std::string> Entities[] = {{"&lt;", "<"},   {"&gt;", ">"},   {"&quot;", "\""},
                                                          {"&apos;", "'"}, {"&#13;", "\r"}, {"&#10;", "\n"},
                                                          {"&#9;", "\t"},  {"&amp;", "&"}};
  std::vector<std::string> Bodies;
  for (std::size_t Pos = Xml.find(" body=\""); Pos != std::string::npos; Pos = Xml.find(" body=\"", Pos)) {
    Pos += 7;
    std::string Body = Xml.substr(Pos, Xml.find('"', Pos) - Pos);
    std::string Out;
    for (std::size_t I = 0; I < Body.size();) {
      bool Replaced = false;
      for (const auto& [Entity, Text] : Entities)
        if (Body.compare(I, Entity.size(), Entity) == 0) {
          Out += Text;
          I += Entity.size();
          Replaced = true;
          break;
        }
      if (!Replaced) Out += Body[I++];
    }
    Bodies.push_back(Out);
  }
  return Bodies;
}

void ExpectBackupHoldsReferenceTexts(const std::vector<TMessageList>& List) {
  const std::string Xml = AndroidBackupXml(List, 1768478400000, 60);
  const std::vector<std::u32string> Expected = ReferenceBodies(List);
  const std::vector<std::string> Saved = SavedBodies(Xml);
  EXPECT_NE(Xml.find("<smses count=\"" + std::to_string(Expected.size()) + "\">"), std::string::npos);
  ASSERT_EQ(Saved.size(), Expected.size());
  for (std::size_t I = 0; I < Saved.size(); ++I) EXPECT_EQ(Saved[I], AsSaved(Expected[I])) << "message " << I;
}

TEST_F(Reference, BackupOfRealPDUsHoldsTheReferenceTextsJoined) {
  std::vector<TMessageList> List;
  for (const TRealPDU& P : RealPDUs()) {
    TMessageList Entry;
    Entry.PDU = P.PDU;
    Entry.Status = P.Kind == "submit" ? SMSEngine::StatusStoredSent : SMSEngine::StatusReceivedRead;
    List.push_back(Entry);
  }
  ASSERT_GT(List.size(), 250u);
  ExpectBackupHoldsReferenceTexts(List);
}

TEST_F(Reference, BackupOfTheDemoSimHoldsTheReferenceTexts) {
  std::vector<TMessageList> List;
  for (const auto& [Location, Message] : DemoSim().Messages) {
    if (Message.Hidden) continue;
    TMessageList Entry;
    Entry.Index = Location;
    Entry.PDU = Message.PDU;
    Entry.Status = Message.Status;
    List.push_back(Entry);
  }
  ExpectBackupHoldsReferenceTexts(List);
}

}  // namespace
