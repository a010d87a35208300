// The SIM text: reading it whole or not at all, and writing it back.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "emulator/PhoneCore.h"
#include "emulator/SimPhone.h"

ESimFileError::ESimFileError(int line, const std::string& what)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + what : what), FLine(line) {}

namespace {

std::vector<std::string> Words(const std::string& line, size_t max, std::string* rest) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i >= line.size()) break;
    if (words.size() == max) {
      if (rest) *rest = line.substr(i);
      return words;
    }
    size_t j = i;
    while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j]))) ++j;
    words.push_back(line.substr(i, j - i));
    i = j;
  }
  if (rest) rest->clear();
  return words;
}

int Number(const std::string& word, int lo, int hi, int line, const char* what) {
  bool digits = !word.empty() && word.size() <= 9;
  for (char c : word)
    if (!std::isdigit(static_cast<unsigned char>(c))) digits = false;
  int value = digits ? std::stoi(word) : -1;
  if (!digits || value < lo || value > hi)
    throw ESimFileError(line, std::string(what) + " must be a number from " + std::to_string(lo) + " to " +
                                  std::to_string(hi) + ", not \"" + word + "\"");
  return value;
}

bool IsPhoneNumber(const std::string& s) {
  if (s.empty() || s.size() > 21) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#' || (c == '+' && i == 0))) return false;
  }
  return s != "+";
}

}  // namespace

TSimCard ParseSimText(const std::string& text) {
  TSimCard sim;
  sim.SCA.clear();
  std::set<std::string> seen;
  std::map<int, int> messageLines, phonebookLines;  // location -> line, for the range checks
  int memoryLine = 0, pbsizeLine = 0;

  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    // Editors on Windows start UTF-8 text with a byte-order mark.
    if (lineNo == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
    bool utf8 = true;
    DecodeUtf8(raw, &utf8);
    if (!utf8) throw ESimFileError(lineNo, "not valid UTF-8 text");
    std::vector<std::string> head = Words(raw, 1, nullptr);
    if (head.empty() || head[0][0] == '#') continue;
    const std::string key = head[0];
    auto once = [&] {
      if (!seen.insert(key).second) throw ESimFileError(lineNo, "\"" + key + "\" given twice");
    };
    auto need = [&](const std::vector<std::string>& w, size_t lo, size_t hi, const char* form) {
      if (w.size() < lo || w.size() > hi) throw ESimFileError(lineNo, std::string("expected \"") + form + "\"");
    };

    if (key == "serial") {
      auto w = Words(raw, 99, nullptr);
      need(w, 2, 2, "serial DIGITS");
      for (char c : w[1])
        if (!std::isdigit(static_cast<unsigned char>(c)))
          throw ESimFileError(lineNo, "the serial number must be digits");
      if (w[1].size() > 20) throw ESimFileError(lineNo, "the serial number is too long");
      once();
      sim.Serial = w[1];
    } else if (key == "sca") {
      auto w = Words(raw, 99, nullptr);
      need(w, 2, 3, "sca ADDRESS [TYPE]");
      if (!IsPhoneNumber(w[1]) || w[1].size() > 20)
        throw ESimFileError(lineNo, "not a service centre address: \"" + w[1] + "\"");
      once();
      sim.SCA = w[1];
      sim.SCAType = w.size() == 3
                        ? Number(w[2], 128, 255, lineNo, "the type of address")
                        : (w[1][0] == '+' ? SMSEngine::TypeOfAddressInternational : SMSEngine::TypeOfAddressUnknown);
    } else if (key == "memory") {
      auto w = Words(raw, 99, nullptr);
      need(w, 2, 2, "memory CAPACITY");
      once();
      sim.MemoryTotal = Number(w[1], 1, 255, lineNo, "the capacity");
      memoryLine = lineNo;
    } else if (key == "pbsize") {
      auto w = Words(raw, 99, nullptr);
      need(w, 2, 2, "pbsize CAPACITY");
      once();
      sim.PhonebookTotal = Number(w[1], 1, 999, lineNo, "the phone book capacity");
      pbsizeLine = lineNo;
    } else if (key == "sms" || key == "hidden") {
      auto w = Words(raw, 99, nullptr);
      TSimMessage msg;
      int loc = 0;
      if (key == "hidden") {
        need(w, 2, 2, "hidden LOCATION");
        loc = Number(w[1], 1, 255, lineNo, "the location");
        msg.Hidden = true;
        msg.Status = SMSEngine::StatusReceivedRead;
      } else {
        need(w, 4, 5, "sms LOCATION STATUS PDU [TPDULENGTH]");
        loc = Number(w[1], 1, 255, lineNo, "the location");
        msg.Status = Number(w[2], SMSEngine::StatusReceivedUnread, SMSEngine::StatusStoredSent, lineNo, "the status");
        msg.PDU = UpperCase(w[3]);
        if (!IsHexText(msg.PDU) || msg.PDU.size() % 2 != 0)
          throw ESimFileError(lineNo, "the PDU must be hexadecimal digits, two per octet");
        if (msg.PDU.size() / 2 > MaxStoredPduOctets) throw ESimFileError(lineNo, "the PDU is too long");
        if (w.size() == 5) {
          int length = Number(w[4], 1, MaxStoredPduOctets, lineNo, "the TPDU length");
          if (static_cast<size_t>(length) != msg.PDU.size() / 2)
            throw ESimFileError(lineNo, "the TPDU length " + w[4] + " differs from the PDU's " +
                                            std::to_string(msg.PDU.size() / 2) + " octets");
          msg.HasSCA = false;
        } else if (TPDULengthOf(msg.PDU) < 1) {
          throw ESimFileError(lineNo,
                              "the PDU's service centre field does not fit (give the TPDU length "
                              "for a PDU without it)");
        }
      }
      if (!messageLines.emplace(loc, lineNo).second)
        throw ESimFileError(lineNo, "location " + std::to_string(loc) + " is already used (line " +
                                        std::to_string(messageLines[loc]) + ")");
      sim.Messages[loc] = msg;
    } else if (key == "pb") {
      std::string name;
      auto w = Words(raw, 4, &name);
      need(w, 4, 4, "pb LOCATION NUMBER TYPE NAME");
      int loc = Number(w[1], 1, 999, lineNo, "the location");
      if (!IsPhoneNumber(w[2])) throw ESimFileError(lineNo, "not a phone number: \"" + w[2] + "\"");
      TSimPhonebookEntry entry;
      entry.Number = w[2];
      entry.Type = Number(w[3], 128, 255, lineNo, "the type of number");
      while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
      if (name.find('"') != std::string::npos) throw ESimFileError(lineNo, "a name cannot hold a double quote");
      entry.Name = name;
      if (!phonebookLines.emplace(loc, lineNo).second)
        throw ESimFileError(lineNo, "phone book location " + std::to_string(loc) + " is already used (line " +
                                        std::to_string(phonebookLines[loc]) + ")");
      sim.Phonebook[loc] = entry;
    } else {
      throw ESimFileError(lineNo, "unknown entry \"" + key + "\"");
    }
  }
  for (const auto& [loc, line] : messageLines)
    if (loc > sim.MemoryTotal)
      throw ESimFileError(
          line, "location " + std::to_string(loc) + " is beyond the capacity " + std::to_string(sim.MemoryTotal) +
                    (memoryLine ? " (line " + std::to_string(memoryLine) + ")" : std::string(" (the default)")));
  for (const auto& [loc, line] : phonebookLines)
    if (loc > sim.PhonebookTotal)
      throw ESimFileError(
          line, "phone book location " + std::to_string(loc) + " is beyond the capacity " +
                    std::to_string(sim.PhonebookTotal) +
                    (pbsizeLine ? " (line " + std::to_string(pbsizeLine) + ")" : std::string(" (the default)")));
  return sim;
}

TSimCard LoadSimFile(const std::string& path) {
  // Read with the system's own calls: a stream would take a directory or a read error for an
  // empty file and serve an empty SIM.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ESimFileError(0, "cannot read " + path + ": " + std::strerror(errno));
  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::string reason = std::strerror(errno);
      ::close(fd);
      throw ESimFileError(0, "cannot read " + path + ": " + reason);
    }
    break;
  }
  ::close(fd);
  try {
    return ParseSimText(text);
  } catch (const ESimFileError& e) {
    throw ESimFileError(e.Line(), path + ": " + e.what());
  }
}

std::string SimToText(const TSimCard& sim) {
  std::ostringstream out;
  out << "serial " << sim.Serial << "\n";
  if (!sim.SCA.empty()) out << "sca " << sim.SCA << " " << sim.SCAType << "\n";
  out << "memory " << sim.MemoryTotal << "\n";
  for (const auto& [loc, msg] : sim.Messages) {
    if (msg.Hidden)
      out << "hidden " << loc << "\n";
    else if (msg.HasSCA)
      out << "sms " << loc << " " << msg.Status << " " << msg.PDU << "\n";
    else
      out << "sms " << loc << " " << msg.Status << " " << msg.PDU << " " << msg.TPDULength() << "\n";
  }
  out << "pbsize " << sim.PhonebookTotal << "\n";
  for (const auto& [loc, entry] : sim.Phonebook)
    out << "pb " << loc << " " << entry.Number << " " << entry.Type << " " << entry.Name << "\n";
  return out.str();
}

void SaveSimFile(const TSimCard& sim, const std::string& path) {
  // Written beside the target and renamed over it, so a failed write leaves the old SIM intact.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << SimToText(sim);
    out.close();  // a full disk may show only when the last block is written
    if (!out) {
      std::remove(temp.c_str());
      throw ESimPhoneError("cannot write " + temp);
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::string reason = std::strerror(errno);
    std::remove(temp.c_str());
    throw ESimPhoneError("cannot replace " + path + ": " + reason);
  }
}
