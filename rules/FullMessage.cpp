#include "rules/FullMessage.h"

#include "rules/Cp1252.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <tuple>

namespace {

using TOctets = std::vector<unsigned char>;

int HexDigit(char Ch) {
  if (Ch >= '0' && Ch <= '9') return Ch - '0';
  if (Ch >= 'A' && Ch <= 'F') return Ch - 'A' + 10;
  if (Ch >= 'a' && Ch <= 'f') return Ch - 'a' + 10;
  return -1;
}

// The octets of the hex text, up to the first pair that is not two hex digits.
TOctets Octets(std::string_view Hex) {
  TOctets Out;
  Out.reserve(Hex.size() / 2);
  for (std::size_t I = 0; I + 1 < Hex.size(); I += 2) {
    const int High = HexDigit(Hex[I]), Low = HexDigit(Hex[I + 1]);
    if (High < 0 || Low < 0) break;
    Out.push_back(static_cast<unsigned char>(High * 16 + Low));
  }
  return Out;
}

const char* const HexDigits = "0123456789ABCDEF";

std::string ToHex(const unsigned char* Data, std::size_t Size) {
  std::string Out;
  for (std::size_t I = 0; I < Size; ++I) {
    Out += HexDigits[Data[I] >> 4];
    Out += HexDigits[Data[I] & 15];
  }
  return Out;
}

// The GSM 7-bit default alphabet (23.038 6.2.1); 0x1B is the escape to the extension table.
const char32_t DefaultAlphabet[128] = {
    U'@',      U'\u00A3', U'$',      U'\u00A5', U'\u00E8', U'\u00E9', U'\u00F9', U'\u00EC', U'\u00F2', U'\u00C7',
    U'\n',     U'\u00D8', U'\u00F8', U'\r',     U'\u00C5', U'\u00E5', U'\u0394', U'_',      U'\u03A6', U'\u0393',
    U'\u039B', U'\u03A9', U'\u03A0', U'\u03A8', U'\u03A3', U'\u0398', U'\u039E', U' ',      U'\u00C6', U'\u00E6',
    U'\u00DF', U'\u00C9', U' ',      U'!',      U'"',      U'#',      U'\u00A4', U'%',      U'&',      U'\'',
    U'(',      U')',      U'*',      U'+',      U',',      U'-',      U'.',      U'/',      U'0',      U'1',
    U'2',      U'3',      U'4',      U'5',      U'6',      U'7',      U'8',      U'9',      U':',      U';',
    U'<',      U'=',      U'>',      U'?',      U'\u00A1', U'A',      U'B',      U'C',      U'D',      U'E',
    U'F',      U'G',      U'H',      U'I',      U'J',      U'K',      U'L',      U'M',      U'N',      U'O',
    U'P',      U'Q',      U'R',      U'S',      U'T',      U'U',      U'V',      U'W',      U'X',      U'Y',
    U'Z',      U'\u00C4', U'\u00D6', U'\u00D1', U'\u00DC', U'\u00A7', U'\u00BF', U'a',      U'b',      U'c',
    U'd',      U'e',      U'f',      U'g',      U'h',      U'i',      U'j',      U'k',      U'l',      U'm',
    U'n',      U'o',      U'p',      U'q',      U'r',      U's',      U't',      U'u',      U'v',      U'w',
    U'x',      U'y',      U'z',      U'\u00E4', U'\u00F6', U'\u00F1', U'\u00FC', U'\u00E0',
};

constexpr unsigned char Escape = 0x1B;

// The character after an escape; a code the extension table lacks shows as its default character,
// and the escape reserved for a further table as a space (23.038 6.2.1.1).
char32_t Extension(unsigned char Code) {
  switch (Code) {
    case 0x0A:
      return U'\f';
    case 0x14:
      return U'^';
    case 0x28:
      return U'{';
    case 0x29:
      return U'}';
    case 0x2F:
      return U'\\';
    case 0x3C:
      return U'[';
    case 0x3D:
      return U'~';
    case 0x3E:
      return U']';
    case 0x40:
      return U'|';
    case 0x65:
      return U'\u20AC';
    default:
      return DefaultAlphabet[Code & 0x7F];
  }
}

// Septets to text; an escape at the very end stands for nothing.
std::u32string SeptetsToText(const std::vector<unsigned char>& Septets) {
  std::u32string Out;
  for (std::size_t I = 0; I < Septets.size(); ++I) {
    if (Septets[I] != Escape) {
      Out += DefaultAlphabet[Septets[I]];
    } else if (I + 1 < Septets.size()) {
      Out += Extension(Septets[++I]);
    }
  }
  return Out;
}

// Count septets packed from the first bit of Data on (least significant bit first), starting at septet
// First; stops at the last whole septet there is.
std::vector<unsigned char> Unpack(const unsigned char* Data, std::size_t Size, std::size_t First, std::size_t Count) {
  std::vector<unsigned char> Out;
  for (std::size_t I = First; I < First + Count; ++I) {
    const std::size_t Bit = 7 * I;
    if (Bit + 7 > 8 * Size) break;
    unsigned Value = Data[Bit / 8] >> (Bit % 8);
    if (Bit % 8 > 1) Value |= static_cast<unsigned>(Data[Bit / 8 + 1]) << (8 - Bit % 8);
    Out.push_back(static_cast<unsigned char>(Value & 0x7F));
  }
  return Out;
}

class TReader {
 public:
  explicit TReader(const TOctets& Data) : Data(Data) {}
  bool Has(std::size_t N) const { return Data.size() - Pos >= N; }
  int Take() { return Data[Pos++]; }
  const unsigned char* Here() const { return Data.data() + Pos; }
  void Skip(std::size_t N) { Pos += N; }
  std::size_t Left() const { return Data.size() - Pos; }

 private:
  const TOctets& Data;
  std::size_t Pos = 0;
};

// Semi-octet digits, the filler F left out; A to E are the signs 23.040 9.1.2.3 gives them.
std::u32string Digits(const unsigned char* Data, std::size_t SemiOctets) {
  static const char32_t Signs[] = U"0123456789*#abc";
  std::u32string Out;
  for (std::size_t I = 0; I < SemiOctets; ++I) {
    const int Nibble = I % 2 == 0 ? Data[I / 2] & 15 : Data[I / 2] >> 4;
    if (Nibble != 15) Out += Signs[Nibble];
  }
  return Out;
}

// An address of SemiOctets useful semi-octets after its type octet: digits, "+" in front of an
// international number, or GSM 7-bit text.
std::u32string Address(int Type, const unsigned char* Data, std::size_t SemiOctets) {
  const int Number = Type & SMSEngine::TypeOfNumberMask;
  if (Number == SMSEngine::TypeOfNumberAlphanumeric)
    return SeptetsToText(Unpack(Data, (SemiOctets + 1) / 2, 0, SemiOctets * 4 / 7));
  std::u32string Out = Digits(Data, SemiOctets);
  if (Number == SMSEngine::TypeOfNumberInternational && !Out.empty()) Out.insert(Out.begin(), U'+');
  return Out;
}

// The year of a two-digit year by the codec's window, so that the file shows the years the grid
// shows; a clock the codec cannot read leaves this century.
int FullYear(int YY) {
  try {
    return SMSEngine::FullYear(YY);
  } catch (...) {
    return 2000 + YY;
  }
}

// Seven octets of swapped BCD; false for a digit above 9 or a date or time that does not exist.
bool TimeStamp(const unsigned char* Data, TFullTimeStamp& Stamp) {
  int Values[6];
  for (int I = 0; I < 6; ++I) {
    const int Low = Data[I] & 15, High = Data[I] >> 4;
    if (Low > 9 || High > 9) return false;
    Values[I] = Low * 10 + High;
  }
  // The zone: the tens digit's top bit is the sign.
  const int Tens = Data[6] & 7, Units = Data[6] >> 4;
  if (Units > 9) return false;
  Stamp.Year = FullYear(Values[0]);
  Stamp.Month = Values[1];
  Stamp.Day = Values[2];
  Stamp.Hour = Values[3];
  Stamp.Minute = Values[4];
  Stamp.Second = Values[5];
  Stamp.ZoneQuarters = (Data[6] & 8 ? -1 : 1) * (Tens * 10 + Units);
  try {  // a date or a time that does not exist
    SMSEngine::EncodeDate(Stamp.Year, Stamp.Month, Stamp.Day);
    SMSEngine::EncodeTime(Stamp.Hour, Stamp.Minute, Stamp.Second, 0);
  } catch (const SMSEngine::EConvertError&) {
    return false;
  }
  return true;
}

void ReadCoding(TFullMessage& M) {
  const int Group = M.DCS >> 4;
  if (Group <= 7) {  // general data coding, also marked for automatic deletion
    M.Compressed = M.DCS & 0x20;
    const int Alphabet = (M.DCS >> 2) & 3;
    M.Coding = Alphabet == 0 ? TFullCoding::Default7Bit : Alphabet == 2 ? TFullCoding::UCS2 : TFullCoding::Data8Bit;
  } else if (Group == 0xC || Group == 0xD) {  // message waiting, discard or store
    M.Coding = TFullCoding::Default7Bit;
  } else if (Group == 0xE) {  // message waiting, store, UCS2
    M.Coding = TFullCoding::UCS2;
  } else if (Group == 0xF) {  // data coding and message class
    M.Coding = M.DCS & 4 ? TFullCoding::Data8Bit : TFullCoding::Default7Bit;
  } else {  // reserved groups: the octets as they are
    M.Coding = TFullCoding::Data8Bit;
  }
}

// The user data header: the concatenation element, the last one when it is repeated.
void ReadHeader(const unsigned char* Header, std::size_t Size, TFullConcat& Concat) {
  for (std::size_t Pos = 0; Pos + 2 <= Size;) {
    const int Id = Header[Pos], Length = Header[Pos + 1];
    const unsigned char* Data = Header + Pos + 2;
    if (Pos + 2 + Length > Size) break;
    if (Id == 0x00 && Length == 3) Concat = {true, false, Data[0], Data[1], Data[2]};
    if (Id == 0x08 && Length == 4) Concat = {true, true, Data[0] * 256 + Data[1], Data[2], Data[3]};
    Pos += 2 + Length;
  }
}

std::u32string UCS2ToText(const unsigned char* Data, std::size_t Size) {
  std::u32string Out;
  for (std::size_t I = 0; I + 1 < Size; I += 2) {
    const char32_t Unit = Data[I] * 256u + Data[I + 1];
    if (Unit >= 0xD800 && Unit < 0xDC00 && I + 3 < Size) {
      const char32_t Low = Data[I + 2] * 256u + Data[I + 3];
      if (Low >= 0xDC00 && Low < 0xE000) {
        Out += 0x10000 + ((Unit - 0xD800) << 10) + (Low - 0xDC00);
        I += 2;
        continue;
      }
    }
    Out += Unit >= 0xD800 && Unit < 0xE000 ? U'\uFFFD' : Unit;
  }
  return Out;
}

void ReadUserData(TReader& R, bool HasHeader, TFullMessage& M) {
  const std::size_t Length = static_cast<std::size_t>(R.Take());
  const bool Septets = M.Coding == TFullCoding::Default7Bit;
  const std::size_t Needed = Septets ? (7 * Length + 7) / 8 : Length;
  M.Complete = R.Left() >= Needed;
  const std::size_t Size = std::min(Needed, R.Left());
  const unsigned char* Data = R.Here();
  std::size_t HeaderSize = 0;  // in octets, with its length octet
  if (HasHeader && Length > 0 && Size > 0) {
    HeaderSize = 1 + static_cast<std::size_t>(Data[0]);
    if (HeaderSize > Size) {  // a header past the user data: there is no text to find
      M.Complete = false;
      return;
    }
    ReadHeader(Data + 1, HeaderSize - 1, M.Concat);
  }
  M.UserDataHex = ToHex(Data + HeaderSize, Size - HeaderSize);
  if (M.Compressed) return;
  switch (M.Coding) {
    case TFullCoding::Default7Bit: {
      const std::size_t First = (8 * HeaderSize + 6) / 7;  // the text starts on a septet after the fill bits
      if (First >= Length) break;
      const auto Text = Unpack(Data, Size, First, Length - First);
      if (Text.size() < Length - First) M.Complete = false;
      M.Text = SeptetsToText(Text);
      break;
    }
    case TFullCoding::UCS2:
      M.Text = UCS2ToText(Data + HeaderSize, Size - HeaderSize);
      break;
    case TFullCoding::Data8Bit:
      for (std::size_t I = HeaderSize; I < Size; ++I) M.Text += Cp1252::ToUnicode(Data[I]);
      break;
  }
}

TFullMessage Decode(std::string_view PDUHex) {
  TFullMessage M;
  const TOctets Data = Octets(PDUHex);
  TReader R(Data);

  if (!R.Has(1)) return M;
  const std::size_t SCALength = static_cast<std::size_t>(R.Take());
  if (SCALength > 0) {
    if (!R.Has(SCALength)) return M;
    const int Type = R.Take();
    M.SCA = Address(Type, R.Here(), 2 * (SCALength - 1));
    R.Skip(SCALength - 1);
  }

  if (!R.Has(1)) return M;
  const int First = R.Take();
  const int Kind = First & 3;
  if (Kind > 1) return M;
  M.Kind = Kind == 0 ? TFullKind::Deliver : TFullKind::Submit;
  if (M.Kind == TFullKind::Submit) {
    if (!R.Has(1)) return M;
    R.Skip(1);  // message reference
  }

  if (!R.Has(2)) return M;
  const std::size_t SemiOctets = static_cast<std::size_t>(R.Take());
  const int Type = R.Take();
  if (!R.Has((SemiOctets + 1) / 2)) return M;
  M.Address = Address(Type, R.Here(), SemiOctets);
  R.Skip((SemiOctets + 1) / 2);

  if (!R.Has(2)) return M;
  R.Skip(1);  // protocol identifier
  M.DCS = R.Take();
  ReadCoding(M);

  if (M.Kind == TFullKind::Deliver) {
    if (!R.Has(7)) return M;
    M.HasTimeStamp = TimeStamp(R.Here(), M.TimeStamp);
    if (!M.HasTimeStamp) M.TimeStamp = {};
    R.Skip(7);
  } else {
    static const std::size_t ValiditySize[] = {0, 7, 1, 7};  // none, enhanced, relative, absolute
    const std::size_t Validity = ValiditySize[(First >> 3) & 3];
    if (!R.Has(Validity)) return M;
    R.Skip(Validity);
  }

  if (!R.Has(1)) return M;
  M.Readable = true;
  ReadUserData(R, First & 0x40, M);
  return M;
}

}  // namespace

TFullMessage DecodeFullMessage(std::string_view PDUHex) noexcept { return Decode(PDUHex); }

std::int64_t TimeStampMs(const TFullTimeStamp& Stamp) noexcept {
  std::int64_t Days = 0;
  try {
    Days =
        static_cast<std::int64_t>(SMSEngine::EncodeDate(Stamp.Year, Stamp.Month, Stamp.Day)) - SMSEngine::UnixEpochDay;
  } catch (const SMSEngine::EConvertError&) {  // no such day: the day count of 1970
  }
  return ((Days * 24 + Stamp.Hour) * 60 + Stamp.Minute - Stamp.ZoneQuarters * 15) * 60000 + Stamp.Second * 1000;
}

std::string ToUtf8(std::u32string_view Text) {
  std::string Out;
  for (char32_t Code : Text) {
    if ((Code >= 0xD800 && Code < 0xE000) || Code > 0x10FFFF) Code = 0xFFFD;
    if (Code < 0x80) {
      Out += static_cast<char>(Code);
    } else if (Code < 0x800) {
      Out += static_cast<char>(0xC0 | (Code >> 6));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
      Out += static_cast<char>(0xE0 | (Code >> 12));
      Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else {
      Out += static_cast<char>(0xF0 | (Code >> 18));
      Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
      Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    }
  }
  return Out;
}

std::u32string BodyText(const TFullMessage& Message, std::string_view PDUHex) {
  if (!Message.Readable) return U"(This message could not be read.) PDU: " + Cp1252::ToUnicode(PDUHex);
  if (Message.Compressed)
    return U"(The text of this message is compressed and cannot be read.) User data: " +
           Cp1252::ToUnicode(Message.UserDataHex);
  return Message.Complete ? Message.Text : Message.Text + std::u32string(MissingPartMark);
}

std::vector<TJoinedMessage> JoinMessages(const std::vector<SMSEngine::TMessageList>& Messages) {
  struct TEntry {
    std::size_t Index;
    TFullMessage Message;
    int Group = -1;  // the long message it is a part of
  };
  std::vector<TEntry> Entries;
  for (std::size_t I = 0; I < Messages.size(); ++I)
    if (!Messages[I].PDU.empty()) Entries.push_back({I, DecodeFullMessage(Messages[I].PDU)});

  // The parts of each long message by number (0-based slots, -1 while missing), in the order met.
  using TKey = std::tuple<TFullKind, bool, int, int, std::u32string>;
  std::map<TKey, int> Groups;
  std::vector<std::vector<int>> Slots;
  for (std::size_t E = 0; E < Entries.size(); ++E) {
    const TFullMessage& M = Entries[E].Message;
    const TFullConcat& C = M.Concat;
    if (!M.Readable || !C.Present || C.Number < 1 || C.Number > C.Count) continue;
    const TKey Key{M.Kind, C.SixteenBit, C.Reference, C.Count, M.Address};
    const auto [It, New] = Groups.try_emplace(Key, static_cast<int>(Slots.size()));
    if (New) Slots.emplace_back(static_cast<std::size_t>(C.Count), -1);
    int& Slot = Slots[static_cast<std::size_t>(It->second)][static_cast<std::size_t>(C.Number - 1)];
    if (Slot >= 0) continue;  // a second part of the same number stays on its own
    Slot = static_cast<int>(E);
    Entries[E].Group = It->second;
  }

  std::vector<TJoinedMessage> Out;
  for (std::size_t E = 0; E < Entries.size(); ++E) {
    const TEntry& Entry = Entries[E];
    const std::string& PDU = Messages[Entry.Index].PDU;
    if (Entry.Group < 0) {
      Out.push_back({Entry.Index, {Entry.Index}, Entry.Message, BodyText(Entry.Message, PDU), 0});
      continue;
    }
    const std::vector<int>& Parts = Slots[static_cast<std::size_t>(Entry.Group)];
    const int Lowest = *std::find_if(Parts.begin(), Parts.end(), [](int Slot) { return Slot >= 0; });
    if (Lowest != static_cast<int>(E)) continue;  // joined at the place of the lowest part present
    TJoinedMessage Joined{Entry.Index, {}, Entry.Message, {}, 0};
    for (const int Slot : Parts) {
      if (Slot < 0) {
        Joined.Body += MissingPartMark;
        ++Joined.MissingParts;
        continue;
      }
      const TEntry& Part = Entries[static_cast<std::size_t>(Slot)];
      Joined.Parts.push_back(Part.Index);
      Joined.Body += BodyText(Part.Message, Messages[Part.Index].PDU);
    }
    Out.push_back(std::move(Joined));
  }
  return Out;
}
