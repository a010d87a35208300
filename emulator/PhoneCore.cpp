#include "emulator/PhoneCore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char BS = 8;
constexpr char ESC = 27;
constexpr char CTRLZ = 26;

// Phone identity; the type code 35007780 sits in the serial number of the SIM file.
const char* const Manufacturer = "SIEMENS";
const char* const Model = "S40";
const char* const Revision = "21";
const char* const Imsi = "262011234567890";

// Texts for +CMEE=2; only the codes this phone gives.
std::string CmeText(int code) {
  switch (code) {
    case 3:
      return "operation not allowed";
    case 4:
      return "operation not supported";
    case 20:
      return "memory full";
    case 21:
      return "invalid index";
    case 22:
      return "not found";
    case 24:
      return "text string too long";
    case 25:
      return "invalid characters in text string";
    default:
      return "unknown";
  }
}

std::string CmsText(int code) {
  switch (code) {
    case 302:
      return "operation not allowed";
    case 303:
      return "operation not supported";
    case 304:
      return "invalid PDU mode parameter";
    case 305:
      return "invalid text mode parameter";
    case 321:
      return "invalid memory index";
    case 322:
      return "memory full";
    case 330:
      return "SMSC address unknown";
    default:
      return "unknown error";
  }
}

// GSM 03.38 default alphabet: the Unicode character of each code.
const char32_t GsmDefault[128] = {
    0x40,  0xA3, 0x24,  0xA5,  0xE8,  0xE9,  0xF9,  0xEC,  0xF2,  0xC7,  0x0A,  0xD8, 0xF8, 0x0D, 0xC5, 0xE5,
    0x394, 0x5F, 0x3A6, 0x393, 0x39B, 0x3A9, 0x3A0, 0x3A8, 0x3A3, 0x398, 0x39E, 0x1B, 0xC6, 0xE6, 0xDF, 0xC9,
    0x20,  0x21, 0x22,  0x23,  0xA4,  0x25,  0x26,  0x27,  0x28,  0x29,  0x2A,  0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30,  0x31, 0x32,  0x33,  0x34,  0x35,  0x36,  0x37,  0x38,  0x39,  0x3A,  0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0xA1,  0x41, 0x42,  0x43,  0x44,  0x45,  0x46,  0x47,  0x48,  0x49,  0x4A,  0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50,  0x51, 0x52,  0x53,  0x54,  0x55,  0x56,  0x57,  0x58,  0x59,  0x5A,  0xC4, 0xD6, 0xD1, 0xDC, 0xA7,
    0xBF,  0x61, 0x62,  0x63,  0x64,  0x65,  0x66,  0x67,  0x68,  0x69,  0x6A,  0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70,  0x71, 0x72,  0x73,  0x74,  0x75,  0x76,  0x77,  0x78,  0x79,  0x7A,  0xE4, 0xF6, 0xF1, 0xFC, 0xE0};

struct TGsmExtension {
  char32_t Unicode;
  char Code;
};
const TGsmExtension GsmExtension[] = {{0x0C, 0x0A}, {'^', 0x14}, {'{', 0x28}, {'}', 0x29}, {'\\', 0x2F},
                                      {'[', 0x3C},  {'~', 0x3D}, {']', 0x3E}, {'|', 0x40}, {0x20AC, 0x65}};

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool ParseInt(const std::string& text, int& value, int lo, int hi) {
  std::string s = Trim(text);
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  value = std::stoi(s);
  return value >= lo && value <= hi;
}

// Splits "a,b,c" at commas outside double quotes.
std::vector<std::string> SplitArgs(const std::string& s) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  for (char c : s) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// A quoted string argument; false when it is not one.
bool Unquote(const std::string& arg, std::string& value) {
  std::string s = Trim(arg);
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
  value = s.substr(1, s.size() - 2);
  return value.find('"') == std::string::npos;
}

std::string Hex4(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFFu);
  return buf;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  if (prefix.empty() || s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

}  // namespace

bool IsHexText(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string UpperCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

int TPDULengthOf(const std::string& pduHex) {
  if (pduHex.size() < 2 || pduHex.size() % 2 != 0 || !IsHexText(pduHex)) return -1;
  int scaLength = std::stoi(pduHex.substr(0, 2), nullptr, 16);
  int octets = static_cast<int>(pduHex.size() / 2);
  if (scaLength > 11 || 1 + scaLength >= octets) return -1;
  return octets - 1 - scaLength;
}

bool TPDUIsWhole(const std::string& pduHex) {
  if (pduHex.size() < 2 || pduHex.size() % 2 != 0 || !IsHexText(pduHex)) return false;
  std::vector<int> octets;
  for (size_t i = 0; i < pduHex.size(); i += 2) octets.push_back(std::stoi(pduHex.substr(i, 2), nullptr, 16));
  size_t at = 1 + static_cast<size_t>(octets[0]);  // past the service centre field
  const auto take = [&](size_t n) {
    at += n;
    return at <= octets.size();
  };
  if (at >= octets.size()) return false;
  const int first = octets[at];
  const int mti = first & 3;
  if (mti != 0 && mti != 1) return true;   // no message the SIM checks further
  if (!take(1)) return false;              // first octet
  if (mti == 1 && !take(1)) return false;  // message reference
  if (at >= octets.size()) return false;
  const size_t digits = static_cast<size_t>(octets[at]);
  if (digits > 20 || !take(2 + (digits + 1) / 2)) return false;  // address: length, type, digits
  if (at + 2 > octets.size()) return false;
  const int dcs = octets[at + 1];
  if (!take(2)) return false;  // protocol identifier, coding scheme
  if (mti == 0) {
    if (!take(7)) return false;  // service centre time stamp
  } else {
    const int vpf = (first >> 3) & 3;
    if (!take(vpf == 2 ? 1 : vpf == 0 ? 0 : 7)) return false;
  }
  if (at >= octets.size()) return false;
  const int udl = octets[at];
  if (!take(1)) return false;
  // The alphabet: 7-bit counts septets, 8-bit data and UCS2 count octets.
  bool septets = true;
  if ((dcs & 0xC0) == 0x00)
    septets = ((dcs >> 2) & 3) == 0;
  else if ((dcs & 0xF0) == 0xF0)
    septets = (dcs & 0x04) == 0;
  else if ((dcs & 0xF0) == 0xE0)
    septets = false;
  if (septets ? udl > 160 : udl > 140) return false;
  const size_t udOctets = septets ? (static_cast<size_t>(udl) * 7 + 7) / 8 : static_cast<size_t>(udl);
  return take(udOctets) && at == octets.size();
}

std::vector<char32_t> DecodeUtf8(const std::string& s, bool* ok) {
  std::vector<char32_t> out;
  bool good = true;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int extra = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 0;
    char32_t cp = c & (0x3F >> extra);
    bool valid = extra > 0 && i + extra < s.size();
    for (int k = 1; valid && k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    const char32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    if (!valid || cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      good = false;
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  if (ok) *ok = good;
  return out;
}

TPhoneCore::TPhoneCore(TSimCard sim, TPhoneOptions options) : Sim(std::move(sim)), Options(std::move(options)) {
  PendingUnsolicited = Options.Unsolicited;
  ResetProfile();
}

void TPhoneCore::ResetProfile() {
  FEcho = Options.Echo;
  FCmee = Options.Cmee;
  FCharset = "GSM";
}

void TPhoneCore::SetOptions(const TPhoneOptions& options) {
  bool echoChanged = options.Echo != Options.Echo;
  bool cmeeChanged = options.Cmee != Options.Cmee;
  Options = options;
  if (echoChanged) FEcho = options.Echo;
  if (cmeeChanged) FCmee = options.Cmee;
}

std::vector<TPhoneOutput> TPhoneCore::Feed(const std::string& bytes) {
  std::vector<TPhoneOutput> out;
  if (Options.Silent) return out;
  std::string echo;
  auto flushEcho = [&] {
    if (!echo.empty()) out.push_back({std::move(echo), false});
    echo.clear();
  };
  // The reply to a line waits for the next byte: the LF that clients put after the CR is echoed
  // at once, before the phone has worked out its answer.
  std::string pending;
  bool hasPending = false;
  bool pendingEcho = false;  // echo as it was when the line ended, before ATE0/ATE1 took effect
  auto releasePending = [&] {
    flushEcho();
    if (hasPending) out.push_back({std::move(pending), true});
    pending.clear();
    hasPending = false;
  };
  for (char c : bytes) {
    if (hasPending) {
      if (c == LF) {
        if (pendingEcho) echo += c;
        releasePending();
        continue;
      }
      releasePending();
    }
    if (FEcho) echo += c;
    if (FInPdu) {
      if (c == CTRLZ) {
        pendingEcho = FEcho;
        hasPending = true;
        pending = PduDone();
      } else if (c == ESC) {
        // Abandons the message; nothing is sent or stored.
        FInPdu = false;
        FPdu.clear();
        std::vector<std::vector<std::string>> none;
        pendingEcho = FEcho;
        hasPending = true;
        pending = Assemble(none, TOutcome{});
      } else if (c != CR && c != LF && c != 0) {
        if (FPdu.size() < 1024) FPdu += c;
      }
      continue;
    }
    switch (c) {
      case CR:
        pendingEcho = FEcho;
        hasPending = LineDone(pending);
        break;
      case LF:
      case 0:
        break;  // a line ends with CR; a following LF and stray NULs are noise
      case ESC:
        FLine.clear();
        break;
      case BS:
      case 127:
        if (!FLine.empty()) FLine.pop_back();
        break;
      default:
        if (FLine.size() < 4096) FLine += c;
    }
  }
  releasePending();
  return out;
}

bool TPhoneCore::LineDone(std::string& reply) {
  std::string line = std::move(FLine);
  FLine.clear();
  // The phone waits for "AT"; whatever came before it is line noise.
  size_t at = std::string::npos;
  for (size_t i = 0; i + 1 < line.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(line[i])) == 'A' &&
        std::toupper(static_cast<unsigned char>(line[i + 1])) == 'T') {
      at = i;
      break;
    }
  if (at == std::string::npos) return false;
  line = line.substr(at);

  // Split into commands: "AT" then basic commands and ';'-separated extended ones.
  std::vector<std::string> commands;
  {
    std::string rest = line.substr(2);
    size_t i = 0;
    while (i < rest.size()) {
      char c = rest[i];
      if (c == ';' || c == ' ') {
        ++i;
        continue;
      }
      size_t j = i + 1;
      if (c == '+' || c == '^' || c == '%') {
        bool quoted = false;
        while (j < rest.size() && (quoted || rest[j] != ';')) {
          if (rest[j] == '"') quoted = !quoted;
          ++j;
        }
      } else {
        if (c == '&' && j < rest.size()) ++j;
        while (j < rest.size() && std::isdigit(static_cast<unsigned char>(rest[j]))) ++j;
      }
      commands.push_back(rest.substr(i, j - i));
      i = j;
    }
  }

  auto matches = [&](const std::string& prefix) {
    if (StartsWithNoCase(line, prefix)) return true;
    for (const auto& cmd : commands)
      if (StartsWithNoCase("AT" + cmd, prefix)) return true;
    return false;
  };
  for (const auto& prefix : Options.Mute)
    if (matches(prefix)) return false;
  if (!Options.Stream.empty() && matches(Options.Stream)) {
    StreamDue = true;
    return false;
  }
  for (const auto& [prefix, text] : Options.Fail)
    if (matches(prefix)) {
      std::vector<std::vector<std::string>> none;
      TOutcome outcome;
      outcome.Result = TResult::Custom;
      outcome.Text = text;
      reply = Assemble(none, outcome);
      return true;
    }

  std::vector<std::vector<std::string>> info;
  TOutcome outcome;
  for (const auto& cmd : commands) {
    std::vector<std::string> lines;
    outcome = Execute(cmd, lines);
    if (!lines.empty()) info.push_back(std::move(lines));
    if (outcome.Result != TResult::Ok) break;
  }
  reply = Assemble(info, outcome);
  return true;
}

void TPhoneCore::DropPartialInput() {
  FLine.clear();
  FInPdu = false;
  FPdu.clear();
}

std::string TPhoneCore::PduDone() {
  FInPdu = false;
  std::string pdu = UpperCase(std::move(FPdu));
  FPdu.clear();
  std::vector<std::vector<std::string>> info;
  TOutcome outcome;
  int tpduLength = TPDULengthOf(pdu);
  // A real phone refuses a PDU that is cut short, runs on past its user data, or holds more than one
  // message's user data (160 septets, 140 octets): the network would not carry it whole.
  if (tpduLength < 0 || tpduLength != FPduLength || !TPDUIsWhole(pdu)) {
    outcome = {TResult::Cms, 304, {}};
  } else if (FPduIsSend) {
    int mti = std::stoi(pdu.substr(2 + 2 * std::stoi(pdu.substr(0, 2), nullptr, 16), 2), nullptr, 16) & 3;
    if (mti != 1) {
      outcome = {TResult::Cms, 304, {}};
    } else if (pdu.substr(0, 2) == "00" && Sim.SCA.empty()) {
      outcome = {TResult::Cms, 330, {}};
    } else {
      FReference = (FReference + 1) % 256;
      Outbox.push_back(pdu);
      Notes.push_back("sent PDU, reference " + std::to_string(FReference) + ": " + pdu);
      info.push_back({Options.NoNumbers ? "+CMGS:" : "+CMGS: " + std::to_string(FReference)});
    }
  } else {
    int loc = Options.StoreHighest ? Sim.HighestFreeLocation() : Sim.LowestFreeLocation();
    if (static_cast<int>(pdu.size() / 2) > MaxStoredPduOctets) {
      // The SIM keeps no longer message; its file could not hold it either.
      outcome = {TResult::Cms, 304, {}};
    } else if (loc == 0) {
      outcome = {TResult::Cms, 322, {}};
    } else {
      TSimMessage msg;
      msg.Status = FPduStatus;
      msg.PDU = pdu;
      Sim.Messages[loc] = msg;
      info.push_back({Options.NoNumbers ? "+CMGW:" : "+CMGW: " + std::to_string(loc)});
    }
  }
  return Assemble(info, outcome);
}

std::string TPhoneCore::FinalText(const TOutcome& outcome) const {
  switch (outcome.Result) {
    case TResult::Ok:
      return "OK";
    case TResult::Error:
      return "ERROR";
    case TResult::Custom:
      return outcome.Text;
    case TResult::Cme:
      if (FCmee == 0) return "ERROR";
      return "+CME ERROR: " + (FCmee == 2 ? CmeText(outcome.Code) : std::to_string(outcome.Code));
    case TResult::Cms:
      if (FCmee == 0) return "ERROR";
      return "+CMS ERROR: " + (FCmee == 2 ? CmsText(outcome.Code) : std::to_string(outcome.Code));
    default:
      return {};
  }
}

std::string TPhoneCore::Assemble(std::vector<std::vector<std::string>>& info, const TOutcome& outcome) {
  // An unsolicited line waiting for a long reply goes between the lines of its longest part.
  size_t longest = info.size();
  for (size_t i = 0; i < info.size(); ++i)
    if (info[i].size() >= 2 && (longest == info.size() || info[i].size() > info[longest].size())) longest = i;
  std::string urc;
  if (longest < info.size() && !PendingUnsolicited.empty()) {
    urc = PendingUnsolicited.front();
    PendingUnsolicited.erase(PendingUnsolicited.begin());
  }
  std::string reply;
  for (size_t i = 0; i < info.size(); ++i) {
    reply += "\r\n";
    const auto& lines = info[i];
    size_t split = (i == longest && !urc.empty()) ? lines.size() / 2 : lines.size() + 1;
    for (size_t k = 0; k < lines.size(); ++k) {
      if (k == split) reply += "\r\n" + urc + "\r\n";
      reply += lines[k];
      reply += "\r\n";
    }
  }
  if (outcome.Result == TResult::Prompt)
    reply += "\r\n> ";
  else if (outcome.Result != TResult::None)
    reply += "\r\n" + FinalText(outcome) + "\r\n";
  return reply;
}

TPhoneCore::TOutcome TPhoneCore::Execute(const std::string& cmd, std::vector<std::string>& info) {
  if (cmd.empty()) return {};
  if (cmd[0] != '+') return ExecuteBasic(UpperCase(cmd), info);
  size_t end = cmd.find_first_of("=?");
  std::string name = UpperCase(cmd.substr(0, end));
  std::string suffix = end == std::string::npos ? std::string() : cmd.substr(end);
  return ExecuteExtended(name, suffix, info);
}

TPhoneCore::TOutcome TPhoneCore::ExecuteBasic(const std::string& cmd, std::vector<std::string>& info) {
  if (cmd == "E0" || cmd == "E") {
    FEcho = false;
  } else if (cmd == "E1") {
    FEcho = true;
  } else if (cmd == "V1" || cmd == "Q0" || cmd == "Q") {
  } else if (cmd == "Z" || cmd == "Z0" || cmd == "&F" || cmd == "&F0") {
    ResetProfile();
  } else if (cmd == "I" || cmd == "I0") {
    info = {Manufacturer, Model, std::string("REVISION ") + Revision};
  } else {
    return {TResult::Error, 0, {}};
  }
  return {};
}

TPhoneCore::TOutcome TPhoneCore::ExecuteExtended(const std::string& name, const std::string& suffix,
                                                 std::vector<std::string>& info) {
  const TOutcome ok{}, error{TResult::Error, 0, {}};
  const bool read = suffix == "?";
  const bool test = suffix == "=?";
  const bool set = !test && suffix.size() >= 1 && suffix[0] == '=';
  const std::string arg = set ? suffix.substr(1) : std::string();
  int n = 0;

  if (name == "+CGMI" || name == "+CGMM" || name == "+CGMR" || name == "+CGSN" || name == "+CIMI") {
    if (test) return ok;
    if (!suffix.empty()) return error;
    info = {name == "+CGMI"   ? Manufacturer
            : name == "+CGMM" ? Model
            : name == "+CGMR" ? Revision
            : name == "+CIMI" ? Imsi
                              : Sim.Serial.c_str()};
    return ok;
  }
  // A setting of one number: reading shows it, the test its range, setting takes a number in it.
  // What follows the number in a reading is After.
  auto setting = [&](int& value, int max, const char* range, const std::string& after = {}) -> TOutcome {
    if (read)
      info = {name + ": " + std::to_string(value) + after};
    else if (test)
      info = {name + ": " + range};
    else if (set && ParseInt(arg, n, 0, max))
      value = n;
    else
      return error;
    return ok;
  };
  if (name == "+CMEE") return setting(FCmee, 2, "(0-2)");
  if (name == "+CPIN") {
    if (read)
      info = {"+CPIN: READY"};
    else if (!test)
      return {TResult::Cme, 3, {}};
    return ok;
  }
  if (name == "+CFUN") return setting(FCfun, 1, "(0,1),(0)");
  // Registered at home; with +CREG=2 the location area and the cell come along.
  if (name == "+CREG") return setting(FCreg, 2, "(0-2)", FCreg == 2 ? ",1,\"0F0B\",\"5C2E\"" : ",1");
  if (name == "+CSQ") {
    if (test)
      info = {"+CSQ: (0-31,99),(99)"};
    else if (suffix.empty())
      info = {"+CSQ: 21,99"};
    else
      return error;
    return ok;
  }
  if (name == "+CBC") {
    if (test)
      info = {"+CBC: (0-3),(0-100)"};
    else if (suffix.empty())
      info = {"+CBC: 0,80"};
    else
      return error;
    return ok;
  }
  if (name == "+CNMI") {
    if (read) {
      info = {"+CNMI: 1,1,0,0,1"};
    } else if (test) {
      info = {"+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)"};
    } else if (set) {
      for (const auto& part : SplitArgs(arg))
        if (!Trim(part).empty() && !ParseInt(part, n, 0, 3)) return error;
    } else {
      return error;
    }
    return ok;
  }
  if (name == "+CSMS") {
    if (read)
      info = {"+CSMS: 0,1,1,1"};
    else if (test)
      info = {"+CSMS: (0)"};
    else if (set && ParseInt(arg, n, 0, 0))
      info = {"+CSMS: 1,1,1"};
    else if (set)
      return {TResult::Cms, 303, {}};
    else
      return error;
    return ok;
  }
  if (name == "+CMGF") {
    // This phone speaks PDU mode only.
    if (read)
      info = {"+CMGF: 0"};
    else if (test)
      info = {"+CMGF: (0)"};
    else if (set && ParseInt(arg, n, 0, 0)) {
    } else
      return error;
    return ok;
  }
  if (name == "+CSCA") {
    if (read) {
      if (Sim.SCA.empty()) return {TResult::Cms, 330, {}};
      info = {"+CSCA: \"" + Sim.SCA + "\"," + std::to_string(Sim.SCAType)};
    } else if (test) {
    } else if (set) {
      auto args = SplitArgs(arg);
      std::string address;
      if (args.size() > 2 || !Unquote(args[0], address) || address.size() > 20 || address == "+") return error;
      bool plus = !address.empty() && address[0] == '+';
      for (size_t i = plus ? 1 : 0; i < address.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(address[i]))) return error;
      int type = plus ? SMSEngine::TypeOfAddressInternational : SMSEngine::TypeOfAddressUnknown;
      if (args.size() == 2 && !ParseInt(args[1], type, 128, 255)) return error;
      Sim.SCA = address;
      Sim.SCAType = type;
    } else {
      return error;
    }
    return ok;
  }
  if (name == "+CPMS" || name == "+CMGL" || name == "+CMGR" || name == "+CMGD" || name == "+CMGW" || name == "+CMGS")
    return Messages(name, suffix, info);
  if (name == "+CSCS" || name == "+CPBS" || name == "+CPBR") return Phonebook(name, suffix, info);
  return error;
}

TPhoneCore::TOutcome TPhoneCore::Messages(const std::string& name, const std::string& suffix,
                                          std::vector<std::string>& info) {
  const TOutcome ok{}, error{TResult::Error, 0, {}};
  const bool read = suffix == "?";
  const bool test = suffix == "=?";
  const bool set = !test && !suffix.empty() && suffix[0] == '=';
  const std::string arg = set ? suffix.substr(1) : std::string();
  const std::string used = std::to_string(Options.ClaimUsed >= 0 ? Options.ClaimUsed : Sim.MessagesUsed());
  const std::string total = std::to_string(Sim.MemoryTotal);
  int n = 0;

  if (name == "+CPMS") {
    if (read) {
      std::string triple = "\"SM\"," + used + "," + total;
      info = {"+CPMS: " + triple + "," + triple + "," + triple};
    } else if (test) {
      info = {"+CPMS: (\"SM\"),(\"SM\"),(\"SM\")"};
    } else if (set) {
      auto args = SplitArgs(arg);
      if (args.size() > 3) return error;
      for (const auto& a : args) {
        std::string mem;
        if (!Unquote(a, mem)) return error;
        if (UpperCase(mem) != "SM") return {TResult::Cms, 302, {}};
      }
      std::string pair = used + "," + total;
      info = {"+CPMS: " + pair + "," + pair + "," + pair};
    } else {
      return error;
    }
    return ok;
  }
  if (name == "+CMGL") {
    if (test) {
      info = {"+CMGL: (0-4)"};
      return ok;
    }
    int stat = 0;  // without an argument: the received unread ones
    if (set && !ParseInt(arg, stat, 0, 4)) return {TResult::Cms, 302, {}};
    if (!set && !suffix.empty()) return error;
    for (auto& [loc, msg] : Sim.Messages) {
      if (msg.Hidden || (stat != 4 && msg.Status != stat)) continue;
      info.push_back("+CMGL: " + std::to_string(loc) + "," + std::to_string(msg.Status) + ",," +
                     std::to_string(msg.TPDULength()));
      info.push_back(msg.PDU);
      // Listing a received message marks it read.
      if (msg.Status == SMSEngine::StatusReceivedUnread) msg.Status = SMSEngine::StatusReceivedRead;
    }
    return ok;
  }
  if (name == "+CMGR") {
    if (test) return ok;
    if (!set || !ParseInt(arg, n, 0, 9999)) return error;
    auto it = Sim.Messages.find(n);
    if (it == Sim.Messages.end()) return {TResult::Cms, 321, {}};
    if (it->second.Hidden) return {TResult::Cms, 303, {}};
    info = {"+CMGR: " + std::to_string(it->second.Status) + ",," + std::to_string(it->second.TPDULength()),
            it->second.PDU};
    if (it->second.Status == SMSEngine::StatusReceivedUnread) it->second.Status = SMSEngine::StatusReceivedRead;
    return ok;
  }
  if (name == "+CMGD") {
    if (test) {
      info = {"+CMGD: (1-" + total + "),(0-4)"};
      return ok;
    }
    if (!set) return error;
    auto args = SplitArgs(arg);
    if (args.size() > 2 || !ParseInt(args[0], n, 0, 9999)) return error;
    int flag = 0;
    if (args.size() == 2 && !ParseInt(args[1], flag, 0, 4)) return error;
    if (flag == 0) {
      if (!Sim.Messages.erase(n)) return {TResult::Cms, 321, {}};
      return ok;
    }
    // Bulk delete: 1 read, 2 read and sent, 3 read, sent and unsent, 4 all.
    for (auto it = Sim.Messages.begin(); it != Sim.Messages.end();) {
      int s = it->second.Status;
      bool drop = flag == 4 || s == SMSEngine::StatusReceivedRead || (flag >= 2 && s == SMSEngine::StatusStoredSent) ||
                  (flag >= 3 && s == SMSEngine::StatusStoredUnsent);
      it = drop ? Sim.Messages.erase(it) : std::next(it);
    }
    return ok;
  }
  // +CMGW and +CMGS: the prompt, then the PDU up to Ctrl-Z.
  if (test) return ok;
  if (!set) return error;
  auto args = SplitArgs(arg);
  int stat = SMSEngine::StatusStoredUnsent;
  if (!ParseInt(args[0], n, 1, 255)) return {TResult::Cms, 304, {}};
  if (name == "+CMGS" && args.size() != 1) return {TResult::Cms, 304, {}};
  if (args.size() > 2 ||
      (args.size() == 2 && !ParseInt(args[1], stat, SMSEngine::StatusReceivedUnread, SMSEngine::StatusStoredSent)))
    return {TResult::Cms, 304, {}};
  FInPdu = true;
  FPduIsSend = name == "+CMGS";
  FPduLength = n;
  FPduStatus = stat;
  FPdu.clear();
  return {TResult::Prompt, 0, {}};
}

std::string TPhoneCore::EncodeName(const std::string& utf8) const {
  std::string out;
  for (char32_t cp : DecodeUtf8(utf8)) {
    if (FCharset == "UCS2") {
      if (cp >= 0x10000) {
        char32_t v = cp - 0x10000;
        out += Hex4(0xD800 + (v >> 10)) + Hex4(0xDC00 + (v & 0x3FF));
      } else {
        out += Hex4(cp);
      }
    } else if (FCharset == "IRA") {
      out += (cp >= 0x20 && cp < 0x7F && cp != '"') ? static_cast<char>(cp) : '?';
    } else {  // GSM
      int code = -1;
      for (int i = 0; i < 128; ++i)
        if (GsmDefault[i] == cp && i != 0x1B) code = i;
      if (code >= 0 && code != '"') {
        out += static_cast<char>(code);
        continue;
      }
      bool found = false;
      for (const auto& ext : GsmExtension)
        if (ext.Unicode == cp) {
          out += '\x1B';
          out += ext.Code;
          found = true;
        }
      if (!found) out += '?';
    }
  }
  return out;
}

TPhoneCore::TOutcome TPhoneCore::Phonebook(const std::string& name, const std::string& suffix,
                                           std::vector<std::string>& info) {
  const TOutcome ok{}, error{TResult::Error, 0, {}};
  const bool read = suffix == "?";
  const bool test = suffix == "=?";
  const bool set = !test && !suffix.empty() && suffix[0] == '=';
  const std::string arg = set ? suffix.substr(1) : std::string();

  if (name == "+CSCS") {
    if (read) {
      info = {"+CSCS: \"" + FCharset + "\""};
    } else if (test) {
      info = {"+CSCS: (\"GSM\",\"IRA\",\"UCS2\")"};
    } else if (set) {
      std::string cs;
      if (!Unquote(arg, cs)) return error;
      cs = UpperCase(cs);
      if (cs != "GSM" && cs != "IRA" && cs != "UCS2") return {TResult::Cme, 4, {}};
      FCharset = cs;
    } else {
      return error;
    }
    return ok;
  }
  if (name == "+CPBS") {
    if (read) {
      const int used = Options.PhonebookUsed >= 0 ? Options.PhonebookUsed : static_cast<int>(Sim.Phonebook.size());
      const int total = Options.PhonebookTotal >= 0 ? Options.PhonebookTotal : Sim.PhonebookTotal;
      info = {"+CPBS: \"SM\"," + std::to_string(used) + (total > 0 ? "," + std::to_string(total) : "")};
    } else if (test) {
      info = {"+CPBS: (\"SM\")"};
    } else if (set) {
      std::string mem;
      if (!Unquote(arg, mem)) return error;
      if (UpperCase(mem) != "SM") return {TResult::Cme, 3, {}};
    } else {
      return error;
    }
    return ok;
  }
  // +CPBR
  if (test) {
    info = {"+CPBR: (1-" + std::to_string(Sim.PhonebookTotal) + "),20,14"};
    return ok;
  }
  if (!set) return error;
  auto args = SplitArgs(arg);
  int first = 0, last = 0;
  if (args.size() > 2 || !ParseInt(args[0], first, 0, 99999)) return error;
  last = first;
  if (args.size() == 2 && !ParseInt(args[1], last, 0, 99999)) return error;
  if (first < 1 || first > Sim.PhonebookTotal || last < first || last > Sim.PhonebookTotal)
    return {TResult::Cme, 21, {}};
  if (Options.PhonebookFailAt >= first && Options.PhonebookFailAt <= last) return {TResult::Cme, 100, {}};
  for (auto it = Sim.Phonebook.lower_bound(first); it != Sim.Phonebook.end() && it->first <= last; ++it)
    info.push_back("+CPBR: " + std::to_string(it->first) + ",\"" + it->second.Number + "\"," +
                   std::to_string(it->second.Type) + ",\"" + EncodeName(it->second.Name) + "\"");
  return ok;
}
