// pelmo-phone: serves a simulated phone on a pseudo-terminal until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "emulator/SimPhone.h"

namespace {

const char* const Synopsis = "Usage: pelmo-phone --link PATH [--sim FILE] [--save] [OPTION]...\n";

// pelmo-phone(1) is made from this text by help2man: keep its layout (options indented two
// spaces, their descriptions in one column, paragraphs apart, headings ending in a colon).
const char* const Help =
    "Serve a simulated phone with a SIM card on a pseudo-terminal until SIGINT or SIGTERM.\n"
    "The phone answers AT commands in PDU mode (TS 27.005, TS 27.007) the way a Siemens S40\n"
    "does, for trying Pelmo without a phone and for testing other AT clients. When it is\n"
    "ready it prints the path of its device, a pseudo-terminal in raw mode at 115200 baud,\n"
    "8 data bits, no parity, one stop bit and no flow control, as Pelmo sets its line. The\n"
    "rate a client sets does not slow the phone down; --baud does.\n"
    "\n"
    "  --link PATH           make PATH a symbolic link to the phone's device\n"
    "  --sim FILE            serve the SIM of FILE (default: the demo SIM)\n"
    "  --save                write the SIM back to FILE on exit\n"
    "  --echo 0|1            echo received bytes (default 1)\n"
    "  --cmee 0|1|2          error reports: plain ERROR, numbers, texts (default 1)\n"
    "  --baud N              pace what the phone sends at N baud, 8N1 (default 0: unpaced)\n"
    "  --chunk N             send replies in arrivals of N bytes\n"
    "  --gap MS              milliseconds between those arrivals\n"
    "  --delay MS            milliseconds before each reply\n"
    "  --silent              never answer\n"
    "  --mute CMD            never answer commands starting with CMD\n"
    "  --fail CMD=TEXT       answer commands starting with CMD with the final result TEXT\n"
    "                        (split at the last '=')\n"
    "  --hangup-after N      close the line after sending N bytes\n"
    "  --unsolicited TEXT    put the line TEXT into the middle of the next long reply\n"
    "  --log FILE            log every byte each way, with direction and time\n"
    "  --store-highest       store written messages in the highest free location\n"
    "  --no-numbers          answer +CMGS and +CMGW without the reference or location\n"
    "  --pb-used N           tell N as the phone book's used count\n"
    "  --pb-total N          tell N as the phone book's total (0: tell none)\n"
    "  --pb-fail-at N        answer the read of phone book location N with an error\n"
    "  -h, --help            show this help and exit\n"
    "\n"
    "Misbehaving on purpose:\n"
    "  --claim-used N        the memory status claims N used messages\n"
    "  --flood LINE          send the unsolicited LINE every --flood-ms MS (default 10)\n"
    "  --stream CMD          answer commands starting with CMD with --stream-bytes N\n"
    "                        characters, a line break after every --stream-line N\n"
    "                        (default 0: none), then the final result --stream-final TEXT\n"
    "                        (default: none)\n"
    "\n"
    "A value may also follow its option after '=': --cmee=2.\n"
    "\n"
    "Exit status:\n"
    "  0  stopped by SIGINT or SIGTERM (with --save, once the SIM is written)\n"
    "  1  the SIM file could not be read or written, or the phone could not start\n"
    "  2  a wrong command line\n"
    "\n"
    "Examples:\n"
    "  $ pelmo-phone --link /tmp/phone &\n"
    "  $ PELMO_COM4=/tmp/phone pelmo\n";

[[noreturn]] void Fail(const std::string& message, int code) {
  std::cerr << "pelmo-phone: " << message << "\n";
  if (code == 2) std::cerr << Synopsis << "Try 'pelmo-phone --help' for more information.\n";
  std::exit(code);
}

long Number(const std::string& option, const std::string& value, long lo, long hi) {
  char* end = nullptr;
  errno = 0;
  long n = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno != 0 || n < lo || n > hi)
    Fail(
        option + " needs a number from " + std::to_string(lo) + " to " + std::to_string(hi) + ", not \"" + value + "\"",
        2);
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  TPhoneOptions options;
  std::string simFile;
  bool save = false;

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      inlineValue = true;
    }
    auto next = [&]() -> std::string {
      if (inlineValue) return value;
      if (i + 1 >= argc) Fail(arg + " needs a value", 2);
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << Synopsis << Help;
      return 0;
    } else if (arg == "--link") {
      options.LinkPath = next();
    } else if (arg == "--sim") {
      simFile = next();
    } else if (arg == "--save") {
      save = true;
    } else if (arg == "--echo") {
      options.Echo = Number(arg, next(), 0, 1) == 1;
    } else if (arg == "--cmee") {
      options.Cmee = static_cast<int>(Number(arg, next(), 0, 2));
    } else if (arg == "--baud") {
      options.Baud = static_cast<int>(Number(arg, next(), 0, 4000000));
    } else if (arg == "--chunk") {
      options.Chunk = static_cast<int>(Number(arg, next(), 0, 65536));
    } else if (arg == "--gap") {
      options.GapMs = static_cast<int>(Number(arg, next(), 0, 600000));
    } else if (arg == "--delay") {
      options.DelayMs = static_cast<int>(Number(arg, next(), 0, 600000));
    } else if (arg == "--silent") {
      options.Silent = true;
    } else if (arg == "--mute") {
      std::string cmd = next();
      if (cmd.empty()) Fail("--mute needs a command", 2);
      options.Mute.push_back(cmd);
    } else if (arg == "--fail") {
      std::string failure = next();
      // A final result holds no '=', while the command may: AT+CSCS="UCS2"=ERROR.
      size_t eq = failure.rfind('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == failure.size())
        Fail("--fail needs CMD=TEXT, not \"" + failure + "\"", 2);
      options.Fail.emplace_back(failure.substr(0, eq), failure.substr(eq + 1));
    } else if (arg == "--hangup-after") {
      options.HangupAfter = Number(arg, next(), 0, 1000000000);
    } else if (arg == "--unsolicited") {
      options.Unsolicited.push_back(next());
    } else if (arg == "--log") {
      options.LogFile = next();
    } else if (arg == "--store-highest") {
      options.StoreHighest = true;
    } else if (arg == "--no-numbers") {
      options.NoNumbers = true;
    } else if (arg == "--pb-used") {
      options.PhonebookUsed = static_cast<int>(Number(arg, next(), 0, 99999));
    } else if (arg == "--pb-total") {
      options.PhonebookTotal = static_cast<int>(Number(arg, next(), 0, 99999));
    } else if (arg == "--pb-fail-at") {
      options.PhonebookFailAt = static_cast<int>(Number(arg, next(), 1, 99999));
    } else if (arg == "--claim-used") {
      options.ClaimUsed = Number(arg, next(), 0, 2147483647);
    } else if (arg == "--flood") {
      options.Flood = next();
    } else if (arg == "--flood-ms") {
      options.FloodMs = static_cast<int>(Number(arg, next(), 1, 600000));
    } else if (arg == "--stream") {
      options.Stream = next();
      if (options.Stream.empty()) Fail("--stream needs a command", 2);
    } else if (arg == "--stream-bytes") {
      options.StreamBytes = Number(arg, next(), 0, 2000000000);
    } else if (arg == "--stream-line") {
      options.StreamLine = static_cast<int>(Number(arg, next(), 0, 1000000000));
    } else if (arg == "--stream-final") {
      options.StreamFinal = next();
    } else {
      Fail("unknown option \"" + arg + "\"", 2);
    }
  }
  if (options.LinkPath.empty()) Fail("--link PATH is required", 2);
  if (save && simFile.empty()) Fail("--save needs --sim FILE", 2);

  TSimCard sim;
  try {
    sim = simFile.empty() ? DemoSim() : LoadSimFile(simFile);
  } catch (const ESimFileError& e) {
    Fail(std::string("SIM not served: ") + e.what(), 1);
  }

  // The signals are taken by sigwait below; every thread inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  TSimPhone phone(std::move(sim), options);
  try {
    phone.Start();
  } catch (const ESimPhoneError& e) {
    Fail(e.what(), 1);
  }
  std::cout << phone.DevicePath() << std::endl;

  int received = 0;
  sigwait(&signals, &received);
  phone.Stop();
  if (save) {
    try {
      SaveSimFile(phone.Sim(), simFile);
    } catch (const ESimPhoneError& e) {
      Fail(e.what(), 1);
    }
  }
  return 0;
}
