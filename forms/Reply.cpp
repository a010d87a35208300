#include "Reply.h"

#include <algorithm>
#include <map>

namespace {

const std::map<int, const char*> CmeTexts = {
    {0, "Phone failure"},
    {1, "No connection to phone"},
    {2, "Phone-adaptor link reserved"},
    {3, "Operation not allowed"},
    {4, "Operation not supported"},
    {5, "PH-SIM PIN required"},
    {6, "PH-FSIM PIN required"},
    {7, "PH-FSIM PUK required"},
    {10, "SIM not inserted"},
    {11, "SIM PIN required"},
    {12, "SIM PUK required"},
    {13, "SIM failure"},
    {14, "SIM busy"},
    {15, "SIM wrong"},
    {16, "Incorrect password"},
    {17, "SIM PIN2 required"},
    {18, "SIM PUK2 required"},
    {20, "Memory full"},
    {21, "Invalid index"},
    {22, "Not found"},
    {23, "Memory failure"},
    {24, "Text string too long"},
    {25, "Invalid characters in text string"},
    {26, "Dial string too long"},
    {27, "Invalid characters in dial string"},
    {30, "No network service"},
    {31, "Network timeout"},
    {32, "Network not allowed - emergency calls only"},
    {40, "Network personalisation PIN required"},
    {41, "Network personalisation PUK required"},
    {42, "Network subset personalisation PIN required"},
    {43, "Network subset personalisation PUK required"},
    {44, "Service provider personalisation PIN required"},
    {45, "Service provider personalisation PUK required"},
    {46, "Corporate personalisation PIN required"},
    {47, "Corporate personalisation PUK required"},
    {100, "Unknown"},
    {103, "Illegal MS"},
    {106, "Illegal ME"},
    {107, "GPRS services not allowed"},
    {111, "PLMN not allowed"},
    {112, "Location area not allowed"},
    {113, "Roaming not allowed in this location area"},
};

const std::map<int, const char*> CmsTexts = {
    {1, "Unassigned (unallocated) number"},
    {8, "Operator determined barring"},
    {10, "Call barred"},
    {21, "Short message transfer rejected"},
    {27, "Destination out of service"},
    {28, "Unidentified subscriber"},
    {29, "Facility rejected"},
    {30, "Unknown subscriber"},
    {38, "Network out of order"},
    {41, "Temporary failure"},
    {42, "Congestion"},
    {47, "Resources unavailable, unspecified"},
    {50, "Requested facility not subscribed"},
    {69, "Requested facility not implemented"},
    {81, "Invalid short message transfer reference value"},
    {95, "Invalid message, unspecified"},
    {96, "Invalid mandatory information"},
    {97, "Message type non-existent or not implemented"},
    {98, "Message not compatible with short message protocol state"},
    {99, "Information element non-existent or not implemented"},
    {111, "Protocol error, unspecified"},
    {127, "Interworking, unspecified"},
    {128, "TP-PID error: telematic interworking not supported"},
    {129, "TP-PID error: short message Type 0 not supported"},
    {130, "TP-PID error: cannot replace short message"},
    {143, "TP-PID error: unspecified TP-PID error"},
    {144, "TP-DCS error: data coding scheme (alphabet) not supported"},
    {145, "TP-DCS error: message class not supported"},
    {159, "TP-DCS error: unspecified TP-DCS error"},
    {160, "TP-Command error: command cannot be actioned"},
    {161, "TP-Command error: command unsupported"},
    {175, "TP-Command error: unspecified TP-COMMAND error"},
    {176, "TPDU not supported"},
    {192, "SC busy"},
    {193, "No SC subscription"},
    {194, "SC system failure"},
    {195, "Invalid SME address"},
    {196, "Destination SME barred"},
    {197, "SM rejected - duplicate SM"},
    {198, "TP-VPF not supported"},
    {199, "TP-VP not supported"},
    {208, "SIM SMS storage full"},
    {209, "No SMS storage capability in SIM"},
    {210, "Error in MS"},
    {211, "Memory capacity exceeded"},
    {212, "SIM application toolkit busy"},
    {213, "SIM data download error"},
    {300, "ME failure"},
    {301, "SMS service of ME reserved"},
    {302, "Operation not allowed"},
    {303, "Operation not supported"},
    {304, "Invalid PDU mode paramter"},
    {305, "Invalid text mode parameter"},
    {310, "SIM not inserted"},
    {311, "SIM PIN required"},
    {312, "PH-SIM PIN required"},
    {313, "SIM failure"},
    {314, "SIM busy"},
    {315, "SIM wrong"},
    {316, "SIM PUK required"},
    {317, "SIM PIN2 required"},
    {318, "SIM PUK2 required"},
    {320, "Memory failure"},
    {321, "Invalid memory index"},
    {322, "Memory full"},
    {330, "SMSC address unknown"},
    {331, "No network service"},
    {332, "Network timeout"},
    {340, "No +CMA acknowledgement expected"},
    {500, "Unknown error"},
};

// The message service error that means "no service centre address stored"; the caller asking for
// the address takes the failure as that answer, so it is not shown.
constexpr int SilentCmsError = 330;

const std::string CRLF = "\r\n";
const std::string ListingHeader = "\r\n+CMGL: ";

int CountOccurrences(const std::string& Text, const std::string& Pattern, size_t From = 0) {
  int count = 0;
  for (auto p = Text.find(Pattern, From); p != std::string::npos; p = Text.find(Pattern, p + Pattern.size()))
    ++count;
  return count;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string Trim(const std::string& Text) {
  size_t first = 0, last = Text.size();
  while (first < last && IsBlank(Text[first])) ++first;
  while (last > first && IsBlank(Text[last - 1])) --last;
  return Text.substr(first, last - first);
}

// The code of the first complete error line that begins with Prefix ("\r\n+CME ERROR:"), read from
// the whole buffer. Nothing while that line is still arriving.
struct TErrorLine {
  bool Found = false;
  bool Numeric = false;
  int Code = 0;
  std::string Text;  // what follows the colon, trimmed
};

// At holds the prefix's first place once found (npos before); the search for it starts at From,
// as the text before holds none.
TErrorLine FindErrorLine(const std::string& Buffer, const std::string& Prefix, size_t& At, size_t From) {
  TErrorLine line;
  if (At == std::string::npos) At = Buffer.find(Prefix, From);
  const auto start = At;
  if (start == std::string::npos) return line;
  const auto from = start + Prefix.size();
  const auto end = Buffer.find(CRLF, from);
  if (end == std::string::npos) return line;
  line.Found = true;
  line.Text = Trim(Buffer.substr(from, end - from));
  line.Numeric = !line.Text.empty() && line.Text.size() <= 9 &&
                 std::all_of(line.Text.begin(), line.Text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (line.Numeric) line.Code = std::stoi(line.Text);
  return line;
}

std::string ErrorBoxText(const char* Name, const TErrorLine& Line, const std::string& TableText) {
  if (Line.Numeric) return std::string(Name) + " " + std::to_string(Line.Code) + ": " + TableText + ".";
  // Text-mode error reports ("+CME ERROR: operation not allowed") are shown as the phone put them.
  std::string text = std::string(Name) + ": " + Line.Text;
  if (text.back() != '.') text += '.';
  return text;
}

}  // namespace

std::string CmeErrorText(int Code) {
  const auto it = CmeTexts.find(Code);
  return it == CmeTexts.end() ? std::string() : it->second;
}

std::string CmsErrorText(int Code) {
  const auto it = CmsTexts.find(Code);
  return it == CmsTexts.end() ? std::string("Unspecified error cause") : it->second;
}

int UnsolicitedLines(std::string_view From) {
  static const char* const OneLine[] = {"+CRING:", "+CLIP:",  "+CCWA:", "+CMTI:", "+CDSI:", "+CBMI:",
                                        "+CREG:",  "+CGREG:", "+CEREG:", "+CUSD:", "+CIEV:", "+CSSI:",
                                        "+CSSU:",  "^"};
  static const char* const TwoLines[] = {"+CMT:", "+CDS:", "+CBM:"};
  if (From.starts_with("RING\r\n")) return 1;
  for (const char* p : OneLine)
    if (From.starts_with(p)) return 1;
  for (const char* p : TwoLines)
    if (From.starts_with(p)) return 2;
  return 0;
}

// At least the longest start of an unsolicited code that UnsolicitedLines looks at ("+CGREG:").
constexpr size_t LongestCodeStart = 16;

// RemoveUnsolicited from the line break at or after From on. Returns the place before which no
// line break can start a code as long as text is only appended: 0 after a removal, which may have
// closed up text into a new code, or while a code is still arriving.
size_t RemoveUnsolicitedFrom(std::string& Text, size_t From, bool& Removed) {
  size_t at = From;
  while ((at = Text.find(CRLF, at)) != std::string::npos) {
    const int lines = UnsolicitedLines(std::string_view(Text).substr(at + 2));
    if (lines == 0) {
      at += 1;
      continue;
    }
    // Its own lines must be complete; the rest of it is still on its way.
    size_t end = at + 2;
    bool complete = true;
    for (int i = 0; i < lines && complete; ++i) {
      const auto e = Text.find(CRLF, end);
      if (e == std::string::npos) complete = false;
      else end = e + 2;
    }
    if (!complete) return 0;
    // The code came framed by line breaks of its own: the text around it closes up as if it had
    // never been sent.
    Text.erase(at, end - at);
    Removed = true;
  }
  return Removed || Text.size() < LongestCodeStart + 2 ? 0 : Text.size() - LongestCodeStart - 2;
}

void RemoveUnsolicited(std::string& Text) {
  bool removed = false;
  RemoveUnsolicitedFrom(Text, 0, removed);
}

TReplyOutcome RecogniseArrival(std::string& Buffer, TReplyScan& Scan, const std::string& Arrival) {
  TReplyOutcome out;
  if (Scan.Finished) return out;
  if (Buffer.size() != Scan.Size) Scan = TReplyScan{.HeadersSeen = Scan.HeadersSeen};
  // Text before Known was read by the earlier arrivals and has not changed since.
  size_t Known = Scan.Size;
  Buffer += Arrival;
  bool removed = false;
  Scan.Settled = RemoveUnsolicitedFrom(Buffer, Scan.Settled, removed);
  auto ReadAfresh = [&Scan, &Known] {
    Known = 0;
    Scan.Headers = 0;
    Scan.CmeAt = Scan.CmsAt = std::string::npos;
  };
  if (removed) ReadAfresh();
  // Where Pattern may newly begin: it must reach into the text not read before.
  auto NewFrom = [&Known](const std::string& Pattern) {
    return Known >= Pattern.size() ? Known - Pattern.size() + 1 : 0;
  };
  auto Contains = [&Buffer, &NewFrom](const std::string& Pattern) {
    return Buffer.find(Pattern, NewFrom(Pattern)) != std::string::npos;
  };

  // Headers are counted in the whole buffer, so one split between two arrivals still counts once.
  Scan.Headers += CountOccurrences(Buffer, ListingHeader, NewFrom(ListingHeader));
  const int headers = Scan.Headers;
  if (headers > Scan.HeadersSeen) out.Headers = headers - Scan.HeadersSeen;
  Scan.HeadersSeen = std::max(Scan.HeadersSeen, headers);

  if (Contains("\r\nOK\r\n")) {
    Buffer = Trim(Buffer);
    if (Buffer.compare(0, 3, "AT+") == 0) {
      const auto p = Buffer.find("\r\n\r\n");
      Buffer.erase(0, p == std::string::npos ? 3 : p + 4);
    }
    const auto ok = Buffer.find("\r\nOK");
    if (ok != std::string::npos) Buffer.erase(ok, 4);
    out.Complete = true;
    ReadAfresh();
  }
  if (Contains("\r\n> ")) out.Complete = true;
  if (Contains("\r\nERROR\r\n")) {
    out.Boxes.push_back("ERROR: Invalid command.");
    out.Complete = true;
    out.Failed = true;
  }
  static const std::string CmePrefix = "\r\n+CME ERROR:", CmsPrefix = "\r\n+CMS ERROR:";
  if (const auto cme = FindErrorLine(Buffer, CmePrefix, Scan.CmeAt, NewFrom(CmePrefix)); cme.Found) {
    out.Boxes.push_back(ErrorBoxText("+CME ERROR", cme, CmeErrorText(cme.Code)));
    out.Complete = true;
    out.Failed = true;
  }
  if (const auto cms = FindErrorLine(Buffer, CmsPrefix, Scan.CmsAt, NewFrom(CmsPrefix)); cms.Found) {
    if (!(cms.Numeric && cms.Code == SilentCmsError))
      out.Boxes.push_back(ErrorBoxText("+CMS ERROR", cms, CmsErrorText(cms.Code)));
    out.Complete = true;
    out.Failed = true;
  }
  if (out.Complete) Scan.Finished = true;
  Scan.Size = Buffer.size();
  return out;
}
