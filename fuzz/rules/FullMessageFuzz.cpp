// The fuller reading of any PDU text: it agrees with the bit-string reference on every field it
// shares, and the backup file of any list holds no character outside its markup that XML 1.0 lacks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/SMSEngine.h"
#include "rules/AndroidBackup.h"
#include "rules/FullMessage.h"
#include "tests/engine/ReferenceCodec.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

void Decode(const std::string& PDU) {
  const TFullMessage M = DecodeFullMessage(PDU);
  const ReferenceCodec::Full::TReading R = ReferenceCodec::Full::Read(PDU);
  Check(M.Readable == R.Readable);
  Check((M.Kind == TFullKind::Deliver) == R.Deliver && (M.Kind == TFullKind::Submit) == R.Submit);
  Check(M.SCA == R.SCA && M.Address == R.Address && M.Text == R.Text);
  Check(M.Complete == R.Complete && M.Compressed == R.Compressed);
  Check(M.Concat.Present == R.Concat && M.Concat.SixteenBit == R.Wide && M.Concat.Reference == R.Reference &&
        M.Concat.Count == R.Count && M.Concat.Number == R.Number);
  Check(M.HasTimeStamp == R.HasTimeStamp && M.TimeStamp.ZoneQuarters == R.Zone && M.TimeStamp.Year == R.Year);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SMSEngine::SetErrorReporter([](const std::string&) { __builtin_trap(); });
  SMSEngine::SetClock([] { return SMSEngine::EncodeDate(2026, 1, 15) + 0.5; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string Input(reinterpret_cast<const char*>(Data), Size);
  // As given, and with every byte an uppercase hex digit so that the readings get past the fields.
  std::string Hex;
  for (const char Ch : Input) Hex += "0123456789ABCDEF"[static_cast<std::uint8_t>(Ch) & 15];
  Decode(Input);
  Decode(Hex);

  // The lines of the input as a list, the statuses from their first bytes.
  std::vector<SMSEngine::TMessageList> List;
  for (std::size_t Pos = 0; Pos <= Input.size();) {
    const std::size_t End = std::min(Input.find('\n', Pos), Input.size());
    SMSEngine::TMessageList Entry;
    Entry.PDU = Input.substr(Pos, End - Pos);
    Entry.Status = Entry.PDU.empty() ? 0 : static_cast<std::uint8_t>(Entry.PDU[0]) % 6 - 1;
    Entry.Name = Entry.PDU.substr(0, 3);
    List.push_back(Entry);
    Pos = End + 1;
  }
  const std::string Xml = AndroidBackupXml(List, static_cast<std::int64_t>(Size) * 86400000 - 1, 60);
  for (const char Ch : Xml) Check(static_cast<std::uint8_t>(Ch) >= 0x20 || Ch == '\n');
  return 0;
}
