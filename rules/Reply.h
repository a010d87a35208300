// The reply recogniser of the AT command exchange, apart from any window: it takes each arrival of
// text from the phone, keeps the reply buffer and says what the arrival means. The main window
// shows the boxes, moves the progress window and sets its flags from the outcome.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What the recogniser remembers about the current exchange besides the buffer itself. A new
// command starts with a fresh TReplyScan and an empty buffer.
struct TReplyScan {
  bool Finished = false;  // a final result or the prompt ended the exchange
  // Where the next arrival's searches start, so that each arrival costs time in proportion to
  // itself and not to the whole reply: the buffer before these positions has been searched.
  std::size_t UnsolicitedFrom = 0;  // the first line break that may still open an unsolicited code
  bool CodePending = false;         // ... and it does: an unsolicited code whose lines are arriving
  int CodeLinesDone = 0;            // its lines complete so far
  std::size_t CodeEnd = 0;          // the end of those lines
  std::size_t CodeSearchFrom = 0;   // where to look on for the end of its next line
  std::size_t ResultsFrom = 0;      // final results and the prompt
  std::size_t HeadersFrom = 0;      // listing headers
  struct TErrorSeen {
    std::size_t At = std::string::npos;  // an error line's start, its end not arrived yet
    std::size_t EndFrom = 0;             // where to look on for its end
  } Cme, Cms;
  std::size_t Settled = 0;  // high-water mark of the reply text that no unsolicited code can take away
};

struct TReplyOutcome {
  bool Complete = false;           // a final result or the PDU prompt arrived
  bool Failed = false;             // ERROR, +CME ERROR or +CMS ERROR
  int Headers = 0;                 // listing headers ("\r\n+CMGL: ") completed by this arrival
  std::vector<std::string> Boxes;  // error texts to show, in this order
  bool Grew = false;               // the arrival added to the reply text (not only unsolicited codes)
  bool TooLong = false;            // the reply outgrew MaxReplySize: the exchange ended as failed
};

// A reply longer than this is no reply of a phone (a full listing is some 90 KB): the exchange
// ends as failed and the buffer is emptied, so that a stream without end cannot fill the memory.
constexpr std::size_t MaxReplySize = 8u << 20;
// The box that says so.
inline constexpr const char* ReplyTooLongText = "ERROR: Reply from phone too long (over 8 MB).";

// Text of the phone for a box: at most Max characters of it, control characters (a NUL among
// them) shown as '?', and "..." where it was cut.
std::string PhoneText(std::string_view Text, std::size_t Max = 200);

// Appends Arrival to Buffer and recognises the reply. After a final OK the buffer is cut down to the
// information text (echo and OK removed). Unsolicited result codes (RING, +CMTI:, ...) are taken
// out of the buffer as soon as their line is complete, so they never become part of a reply. Once
// the exchange has ended, later arrivals are ignored: they would only repeat its boxes.
TReplyOutcome RecogniseArrival(std::string& Buffer, TReplyScan& Scan, const std::string& Arrival);

// How many lines the unsolicited result code at the start of From spans: 1, or 2 for the message
// indications that carry a PDU on the next line (+CMT:, +CDS:, +CBM:); 0 when From starts no such
// code.
int UnsolicitedLines(std::string_view From);

// Removes every complete unsolicited result code, with the line break in front of it, from Text,
// searching from the line break at From. Returns where the next search must start: the first line
// break whose line may still become an unsolicited code when more text arrives (or the end).
// Erased tells the first position where text was taken out (npos: none).
std::size_t RemoveUnsolicited(std::string& Text, std::size_t From = 0, std::size_t* Erased = nullptr);

// The English texts of the equipment (+CME) and message service (+CMS) error codes.
std::string CmeErrorText(int Code);  // empty for a code not in the table
std::string CmsErrorText(int Code);  // "Unspecified error cause" for a code not in the table
