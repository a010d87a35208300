// Reading SIM texts: whole or not at all, with the line of the fault.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "emulator/SimPhone.h"

namespace {

const std::string Deliver = "07913366003051F5040B913366304381F900005180719120348004D4F29C0E";
const std::string Tpdu = "11000A9194713254760000AA05C8329BFD06";  // 18 octets, no SCA field

TEST(SimFile, ReadsEveryKindOfLine) {
  TSimCard sim = ParseSimText(
      "# comment\r\n"
      "\n"
      "   \n"
      "serial 350077801111111\r\n"
      "sca +491710760000\n"
      "memory 30\n"
      "sms 3 1 " +
      Deliver +
      "\n"
      "sms 4 2 " +
      Tpdu +
      " 18\n"
      "hidden 5\n"
      "pbsize 250\n"
      "pb 1 +4930123456 145 Anna  Müller  \n"
      "pb 2 0301234 129\n");
  EXPECT_EQ(sim.Serial, "350077801111111");
  EXPECT_EQ(sim.SCA, "+491710760000");
  EXPECT_EQ(sim.SCAType, 145);
  EXPECT_EQ(sim.MemoryTotal, 30);
  ASSERT_EQ(sim.Messages.size(), 3u);
  EXPECT_EQ(sim.Messages[3].Status, 1);
  EXPECT_EQ(sim.Messages[3].TPDULength(), 23);
  EXPECT_FALSE(sim.Messages[4].HasSCA);
  EXPECT_EQ(sim.Messages[4].TPDULength(), 18);
  EXPECT_TRUE(sim.Messages[5].Hidden);
  EXPECT_EQ(sim.PhonebookTotal, 250);
  EXPECT_EQ(sim.Phonebook[1].Name, "Anna  Müller");
  EXPECT_EQ(sim.Phonebook[2].Type, 129);
  EXPECT_EQ(sim.Phonebook[2].Name, "");
  EXPECT_EQ(sim.LowestFreeLocation(), 1);
}

TEST(SimFile, WrittenTextReadsBackTheSame) {
  TSimCard demo = DemoSim();
  demo.Messages[20] = TSimMessage{2, Tpdu, false, false};
  std::string text = SimToText(demo);
  EXPECT_EQ(SimToText(ParseSimText(text)), text);
}

TEST(SimFile, SaveReplacesTheFile) {
  const std::string path = testing::TempDir() + "pelmo-sim-" + std::to_string(::getpid());
  TSimCard sim = ParseSimText("memory 3\nsms 1 0 " + Deliver + "\n");
  SaveSimFile(sim, path);
  EXPECT_EQ(SimToText(LoadSimFile(path)), SimToText(sim));
  std::remove(path.c_str());
}

struct TBadCase {
  std::string Text;
  int Line;
  const char* Says;
};

TEST(SimFile, BadLinesAreRefusedWithTheirNumber) {
  const TBadCase cases[] = {
      {"frobnicate 1", 1, "unknown entry"},
      {"serial 35007780x", 1, "digits"},
      {"serial 1\n# again\nserial 2", 3, "twice"},
      {"sca +49abc", 1, "service centre"},
      {"sca +491710760000 99", 1, "type"},
      {"\n\nmemory 0", 3, "capacity"},
      {"memory", 1, "expected"},
      {"sms 1 4 " + Deliver, 1, "status"},
      {"sms 1 0", 1, "expected"},
      {"sms 1 0 0791ZZ", 1, "hexadecimal"},
      {"sms 1 0 079", 1, "hexadecimal"},
      {"sms 1 0 0F00", 1, "service centre field"},
      {"sms 1 2 " + Tpdu + " 17", 1, "differs"},
      {"sms 1 0 " + Deliver + "\nhidden 1", 2, "already used"},
      {"sms 0 0 " + Deliver, 1, "location"},
      {"memory 5\n\nsms 6 0 " + Deliver, 3, "beyond the capacity 5"},
      {"sms 6 0 " + Deliver + "\nmemory 5", 1, "beyond the capacity 5"},
      {"pb 1 12ab 145 Anna", 1, "phone number"},
      {"pb 1 +4930 145", 1, ""},                               // an empty name is allowed: checked below
      {"\xEF\xBB\xBFmemory 5", 1, ""},                         // a byte-order mark in front is no entry
      {"memory 5\n\xEF\xBB\xBFmemory 6", 2, "unknown entry"},  // only at the start of the file
      {"pbsize 2\npb 3 +4930 145 Anna", 2, "beyond"},
      {"pb 1 +4930 145 A\npb 1 +4931 145 B", 2, "already used"},
      {"pb 1 +4930 145 Bad \"quote\"", 1, "double quote"},
      {"pb 1 +4930 145 Caf\xC3", 1, "UTF-8"},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.Text);
    if (*tc.Says == '\0') {
      EXPECT_NO_THROW(ParseSimText(tc.Text));
      continue;
    }
    try {
      ParseSimText(tc.Text);
      ADD_FAILURE() << "accepted";
    } catch (const ESimFileError& e) {
      EXPECT_EQ(e.Line(), tc.Line);
      EXPECT_NE(std::string(e.what()).find("line " + std::to_string(tc.Line) + ": "), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(tc.Says), std::string::npos) << e.what();
    }
  }
}

// A file that cannot be read is never served as an empty SIM.
TEST(SimFile, UnreadableFileIsAnError) {
  for (const std::string path : {"/nonexistent/pelmo.sim", "/"}) {
    SCOPED_TRACE(path);
    try {
      LoadSimFile(path);
      ADD_FAILURE() << "accepted";
    } catch (const ESimFileError& e) {
      EXPECT_EQ(e.Line(), 0);
      EXPECT_NE(std::string(e.what()).find("cannot read " + path + ": "), std::string::npos) << e.what();
    }
  }
}

TEST(DemoSim, ShippedFileIsTheEmbeddedOne) {
  std::ifstream in(PELMO_DEMO_SIM_FILE, std::ios::binary);
  ASSERT_TRUE(in);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), DemoSimText());
}

TEST(DemoSim, IsRealisticAndComplete) {
  TSimCard sim = DemoSim();
  EXPECT_NE(sim.Serial.find("35007780"), std::string::npos);
  EXPECT_FALSE(sim.SCA.empty());
  EXPECT_EQ(sim.MemoryTotal, 30);
  int statuses[4] = {};
  int hidden = 0;
  for (const auto& [loc, msg] : sim.Messages) {
    if (msg.Hidden) {
      ++hidden;
      continue;
    }
    EXPECT_TRUE(msg.HasSCA) << loc;
    ++statuses[msg.Status];
  }
  for (int s = 0; s < 4; ++s) EXPECT_GT(statuses[s], 0) << "status " << s;
  EXPECT_EQ(hidden, 1);
  EXPECT_GE(sim.Messages.size(), 10u);
  int nonAscii = 0;
  for (const auto& [loc, entry] : sim.Phonebook)
    for (unsigned char ch : entry.Name)
      if (ch >= 0x80) {
        ++nonAscii;
        break;
      }
  EXPECT_GE(sim.Phonebook.size(), 8u);
  EXPECT_GE(nonAscii, 6);
}

}  // namespace
