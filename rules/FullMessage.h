// The fuller reading of a listed PDU for saving every message: UCS2 and 8-bit text, the user data
// header skipped and its concatenation read, any time zone, alphanumeric addresses; and the joining
// of the parts of a long message. The viewer's codec (engine/SMSEngine) stays the strict one.
// Nothing here throws or reports through the codec's error reporter: a PDU it cannot read says so.
#pragma once

#include "engine/SMSEngine.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TFullKind { None, Deliver, Submit };

// How the text of the user data is coded (from the data coding scheme).
enum class TFullCoding { Default7Bit, Data8Bit, UCS2 };

// The service centre time stamp of an SMS-DELIVER: the local time of the centre and its zone.
struct TFullTimeStamp {
  int Year = 0;  // four digits, the century by the codec's window around its clock
  int Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  int ZoneQuarters = 0;  // quarters of an hour east of UTC: -3.75 h is -15
};

// The concatenation element of the user data header (IE 00: 8-bit reference, IE 08: 16-bit).
struct TFullConcat {
  bool Present = false;
  bool SixteenBit = false;
  int Reference = 0;
  int Count = 0;
  int Number = 0;
};

struct TFullMessage {
  // A DELIVER or SUBMIT whose fields up to the user data length are all there. Any other type, or a
  // PDU that ends before its user data, is not readable; the fields read before that are kept.
  bool Readable = false;
  TFullKind Kind = TFullKind::None;
  std::u32string SCA;         // "+" in front for an international number; empty when absent
  std::u32string Address;     // OA of a DELIVER, DA of a SUBMIT
  bool HasTimeStamp = false;  // a DELIVER with a valid time stamp
  TFullTimeStamp TimeStamp;
  int DCS = 0;
  TFullCoding Coding = TFullCoding::Default7Bit;
  bool Compressed = false;  // the text is compressed: Text stays empty, UserDataHex holds it
  bool Complete = false;    // the user data is as long as announced (else Text holds what is there)
  TFullConcat Concat;
  std::u32string Text;
  std::string UserDataHex;  // the user data after the header, as hex (for compressed text)
};

// Reads the PDU hex as the phone lists it, starting with the SCA field ("00" for none). Upper- or
// lowercase digits; the octets end at the first character that is not a hex digit pair.
TFullMessage DecodeFullMessage(std::string_view PDUHex) noexcept;

// Milliseconds since 1970-01-01 UTC of a time stamp, its zone applied.
std::int64_t TimeStampMs(const TFullTimeStamp& Stamp) noexcept;

// Unicode to UTF-8; a surrogate or a value beyond U+10FFFF becomes U+FFFD.
std::string ToUtf8(std::u32string_view Text);

// "[…]": the place of a missing part in a joined message.
inline constexpr std::u32string_view MissingPartMark = U"[\u2026]";

// One message to save: a single entry, or the parts of a long message joined.
struct TJoinedMessage {
  std::size_t First = 0;           // the list entry that stands for it (the lowest part present)
  std::vector<std::size_t> Parts;  // the list entries joined, in part order (First alone when not joined)
  TFullMessage Message;            // of the entry First
  std::u32string Body;             // BodyText of each part in part order, MissingPartMark for a missing one
  int MissingParts = 0;
};

// The messages of the list in grid order: the parts of a long message (same reference of the same
// width, address, part count and kind) joined at the place of the lowest part present, each missing part marked
// with MissingPartMark. Entries without a PDU (the status reports' row) are left out. A part whose
// number is 0 or above its count, or a second part of the same number, stays a message of its own.
std::vector<TJoinedMessage> JoinMessages(const std::vector<SMSEngine::TMessageList>& Messages);

// The text to save of one decoded PDU: its text (MissingPartMark after it when the user data ends
// early), or for a PDU not readable or compressed, a note saying so and the hex (the PDU taken as
// code page 1252, or the compressed user data).
std::u32string BodyText(const TFullMessage& Message, std::string_view PDUHex);
