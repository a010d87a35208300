#include "rules/Reply.h"

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

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string Trim(const std::string& Text) {
  size_t first = 0, last = Text.size();
  while (first < last && IsBlank(Text[first])) ++first;
  while (last > first && IsBlank(Text[last - 1])) --last;
  return Text.substr(first, last - first);
}

const char* const OneLineCodes[] = {"RING\r\n", "+CRING:", "+CLIP:", "+CCWA:", "+CMTI:", "+CDSI:", "+CBMI:", "+CREG:",
                                    "+CGREG:",  "+CEREG:", "+CUSD:", "+CIEV:", "+CSSI:", "+CSSU:", "^"};
const char* const TwoLineCodes[] = {"+CMT:", "+CDS:", "+CBM:"};

// From is the start of a line that may still turn into an unsolicited code when more text comes:
// the start of one, or blank lines (the line break in front of a code) up to the end of the text.
bool MayBecomeUnsolicited(std::string_view From) {
  while (From.starts_with("\r\n")) From.remove_prefix(2);
  if (From == "\r") return true;
  auto opens = [&](std::string_view Code) { return From.size() < Code.size() && Code.starts_with(From); };
  for (const char* code : OneLineCodes)
    if (opens(code)) return true;
  for (const char* code : TwoLineCodes)
    if (opens(code)) return true;
  return false;
}

size_t Back(size_t Position, size_t By) { return Position > By ? Position - By : 0; }

// Removes the complete unsolicited codes behind Scan.UnsolicitedFrom and moves it on; returns the
// first position where text was taken out, npos for none.
size_t RemoveUnsolicitedFrom(std::string& Text, TReplyScan& Scan) {
  size_t erased = std::string::npos;
  size_t at = Scan.UnsolicitedFrom;
  for (;;) {
    int lines = 0, done = 0;
    size_t end = 0, searchFrom = 0;
    if (Scan.CodePending) {
      Scan.CodePending = false;
      lines = UnsolicitedLines(std::string_view(Text).substr(at + 2));
      done = Scan.CodeLinesDone;
      end = Scan.CodeEnd;
      searchFrom = Scan.CodeSearchFrom;
    } else {
      at = Text.find(CRLF, at);
      if (at == std::string::npos) break;
      const std::string_view rest = std::string_view(Text).substr(at + 2);
      lines = UnsolicitedLines(rest);
      if (lines == 0) {
        if (MayBecomeUnsolicited(rest)) {
          Scan.UnsolicitedFrom = at;
          return erased;
        }
        at += 1;
        continue;
      }
      end = searchFrom = at + 2;
    }
    for (; done < lines; ++done) {
      const auto e = Text.find(CRLF, searchFrom);
      if (e == std::string::npos) {
        // The rest of it is still on its way.
        Scan.CodePending = true;
        Scan.CodeLinesDone = done;
        Scan.CodeEnd = end;
        Scan.CodeSearchFrom = std::max(searchFrom, Text.size() - 1);
        Scan.UnsolicitedFrom = at;
        return erased;
      }
      end = searchFrom = e + 2;
    }
    // The code came framed by line breaks of its own: the text around it closes up as if it had
    // never been sent. The line break before it may now open another one.
    Text.erase(at, end - at);
    erased = std::min(erased, at);
    at = Back(at, 2);
  }
  // A CR at the very end may be the first half of a line break.
  Scan.UnsolicitedFrom = !Text.empty() && Text.back() == '\r' ? Text.size() - 1 : Text.size();
  return erased;
}

// Finds Pattern in Text, starting where an occurrence could have been completed by new text.
bool FoundFrom(const std::string& Text, const std::string& Pattern, size_t From) {
  return Text.find(Pattern, Back(From, Pattern.size() - 1)) != std::string::npos;
}

// The code of the first complete error line that begins with Prefix ("\r\n+CME ERROR:"), searched
// behind From; nothing while that line is still arriving (Seen remembers where it is).
struct TErrorLine {
  bool Found = false;
  bool Numeric = false;
  int Code = 0;
  std::string Text;  // what follows the colon, trimmed
};

TErrorLine FindErrorLine(const std::string& Buffer, const std::string& Prefix, size_t From,
                         TReplyScan::TErrorSeen& Seen) {
  TErrorLine line;
  if (Seen.At == std::string::npos) {
    const auto start = Buffer.find(Prefix, Back(From, Prefix.size() - 1));
    if (start == std::string::npos) return line;
    Seen.At = start;
    Seen.EndFrom = start + Prefix.size();
  }
  const auto from = Seen.At + Prefix.size();
  const auto end = Buffer.find(CRLF, Seen.EndFrom);
  if (end == std::string::npos) {
    Seen.EndFrom = std::max(Seen.EndFrom, Buffer.size() - 1);
    return line;
  }
  line.Found = true;
  // Only as much of it as a box shows is looked at.
  line.Text = Trim(Buffer.substr(from, std::min<size_t>(end - from, 1024)));
  line.Numeric = !line.Text.empty() && line.Text.size() <= 9 &&
                 std::all_of(line.Text.begin(), line.Text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (line.Numeric) line.Code = std::stoi(line.Text);
  return line;
}

std::string ErrorBoxText(const char* Name, const TErrorLine& Line, const std::string& TableText) {
  if (Line.Numeric) return std::string(Name) + " " + std::to_string(Line.Code) + ": " + TableText + ".";
  // Text-mode error reports ("+CME ERROR: operation not allowed") are shown as the phone put them.
  std::string text = std::string(Name) + ": " + PhoneText(Line.Text);
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
  for (const char* p : OneLineCodes)
    if (From.starts_with(p)) return 1;
  for (const char* p : TwoLineCodes)
    if (From.starts_with(p)) return 2;
  return 0;
}

std::size_t RemoveUnsolicited(std::string& Text, std::size_t From, std::size_t* Erased) {
  TReplyScan scan;
  scan.UnsolicitedFrom = std::min(From, Text.size());
  const size_t erased = RemoveUnsolicitedFrom(Text, scan);
  if (Erased) *Erased = erased;
  return scan.UnsolicitedFrom;
}

std::string PhoneText(std::string_view Text, std::size_t Max) {
  std::string out;
  const std::size_t n = std::min(Text.size(), Max);
  out.reserve(n + 3);
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(Text[i]);
    out += c < 32 || c == 127 ? '?' : static_cast<char>(c);
  }
  if (Text.size() > Max) out += "...";
  return out;
}

TReplyOutcome RecogniseArrival(std::string& Buffer, TReplyScan& Scan, const std::string& Arrival) {
  TReplyOutcome out;
  if (Scan.Finished) return out;
  Buffer += Arrival;
  const size_t erased = RemoveUnsolicitedFrom(Buffer, Scan);
  if (erased != std::string::npos) {
    // Text closed up there: what stands around the seam is searched again.
    Scan.ResultsFrom = std::min(Scan.ResultsFrom, erased);
    Scan.HeadersFrom = std::min(Scan.HeadersFrom, Back(erased, ListingHeader.size() - 1));
    for (auto* seen : {&Scan.Cme, &Scan.Cms})
      if (seen->At != std::string::npos && seen->At + 2 >= erased) *seen = {};
  }
  // Only text that stays in the reply counts as the phone answering: unsolicited codes do not.
  if (Scan.UnsolicitedFrom > Scan.Settled) {
    out.Grew = true;
    Scan.Settled = Scan.UnsolicitedFrom;
  }

  // Headers are counted in the buffer, so one split between two arrivals still counts once; and
  // only before an unsolicited code still arriving, whose lines may yet be taken out.
  const std::string_view settled = std::string_view(Buffer).substr(0, Scan.UnsolicitedFrom);
  size_t p = Scan.HeadersFrom;
  while ((p = settled.find(ListingHeader, p)) != std::string::npos) {
    ++out.Headers;
    p += ListingHeader.size();
  }
  Scan.HeadersFrom = std::max(Back(settled.size(), ListingHeader.size() - 1), Scan.HeadersFrom);

  const size_t from = Scan.ResultsFrom;
  Scan.ResultsFrom = Buffer.size();
  // The other results are looked for in the text as it came: taking the OK out below could join
  // two lines into one that looks like a result the phone never sent.
  const bool ok = FoundFrom(Buffer, "\r\nOK\r\n", from);
  // The PDU prompt: most phones put a line break before it; some send it straight behind the
  // echoed command line, which ends in CR alone, or with echo off as the very first thing.
  if (FoundFrom(Buffer, "\r\n> ", from) || FoundFrom(Buffer, "\r> ", from) || Buffer.starts_with("> "))
    out.Complete = true;
  if (FoundFrom(Buffer, "\r\nERROR\r\n", from)) {
    out.Boxes.push_back("ERROR: Invalid command.");
    out.Complete = true;
    out.Failed = true;
  }
  if (const auto cme = FindErrorLine(Buffer, "\r\n+CME ERROR:", from, Scan.Cme); cme.Found) {
    out.Boxes.push_back(ErrorBoxText("+CME ERROR", cme, CmeErrorText(cme.Code)));
    out.Complete = true;
    out.Failed = true;
  }
  if (const auto cms = FindErrorLine(Buffer, "\r\n+CMS ERROR:", from, Scan.Cms); cms.Found) {
    if (!(cms.Numeric && cms.Code == SilentCmsError))
      out.Boxes.push_back(ErrorBoxText("+CMS ERROR", cms, CmsErrorText(cms.Code)));
    out.Complete = true;
    out.Failed = true;
  }
  if (ok) {
    Buffer = Trim(Buffer);
    if (Buffer.compare(0, 3, "AT+") == 0) {
      const auto q = Buffer.find("\r\n\r\n");
      Buffer.erase(0, q == std::string::npos ? 3 : q + 4);
    }
    const auto at = Buffer.find("\r\nOK");
    if (at != std::string::npos) Buffer.erase(at, 4);
    out.Complete = true;
  }
  if (!out.Complete && Buffer.size() > MaxReplySize) {
    // No phone sends this much for one command: whatever it is, it ends here, and the memory goes.
    std::string().swap(Buffer);
    out.TooLong = true;
    out.Complete = true;
    out.Failed = true;
  }
  if (out.Complete) Scan.Finished = true;
  return out;
}
