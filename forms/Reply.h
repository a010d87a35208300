// The reply recogniser of the AT command exchange, apart from any window: it takes each arrival of
// text from the phone, keeps the reply buffer and says what the arrival means. The main window
// shows the boxes, moves the progress window and sets its flags from the outcome.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the recogniser remembers about the current exchange besides the buffer itself. A new
// command starts with a fresh TReplyScan and an empty buffer.
struct TReplyScan {
  int HeadersSeen = 0;    // listing headers already counted in the buffer
  bool Finished = false;  // a final result or the prompt ended the exchange
  // So that each arrival reads only the text it adds (a listing comes in hundreds of arrivals):
  // what the earlier arrivals found in the buffer as they left it. A buffer changed in between is
  // read afresh.
  size_t Size = 0;                   // the buffer's size after the last arrival
  size_t Settled = 0;                // no unsolicited code can start at a line break before this
  int Headers = 0;                   // listing headers in the buffer
  size_t CmeAt = std::string::npos;  // the first "\r\n+CME ERROR:" while its line is arriving
  size_t CmsAt = std::string::npos;  // the same for "\r\n+CMS ERROR:"
};

struct TReplyOutcome {
  bool Complete = false;           // a final result or the PDU prompt arrived
  bool Failed = false;             // ERROR, +CME ERROR or +CMS ERROR
  int Headers = 0;                 // listing headers ("\r\n+CMGL: ") completed by this arrival
  std::vector<std::string> Boxes;  // error texts to show, in this order
};

// Appends Arrival to Buffer and recognises the reply. After a final OK the buffer is cut down to the
// information text (echo and OK removed). Unsolicited result codes (RING, +CMTI:, ...) are taken
// out of the buffer as soon as their line is complete, so they never become part of a reply. Once
// the exchange has ended, later arrivals are ignored: they would only repeat its boxes.
TReplyOutcome RecogniseArrival(std::string& Buffer, TReplyScan& Scan, const std::string& Arrival);

// How many lines the unsolicited result code at the start of From spans: 1, or 2 for the message
// indications that carry a PDU on the next line (+CMT:, +CDS:, +CBM:); 0 when From starts no such
// code.
int UnsolicitedLines(std::string_view From);

// Removes every complete unsolicited result code, with the line break in front of it, from Text.
void RemoveUnsolicited(std::string& Text);

// The English texts of the equipment (+CME) and message service (+CMS) error codes.
std::string CmeErrorText(int Code);  // empty for a code not in the table
std::string CmsErrorText(int Code);  // "Unspecified error cause" for a code not in the table
