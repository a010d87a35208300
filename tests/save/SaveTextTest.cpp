// The text file of a saved message: the two layouts against golden files, the proposed file names
// and the writing of the file, without a window.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <QLocale>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "forms/SaveText.h"

using SMSEngine::TMessageList;

namespace {

// The names are as WriteTextFile takes them: the file system's encoding, UTF-8 on Windows, where
// the file is opened through the wide API.
std::filesystem::path Native(const std::string& Name) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(Name.begin(), Name.end()));
#else
  return Name;
#endif
}

std::string ReadBytes(const std::string& Path) {
  std::ifstream In(Native(Path), std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

SMSEngine::TDateTime At(int Y, int M, int D, int H = 0, int N = 0, int S = 0) {
  return SMSEngine::EncodeDate(Y, M, D) + SMSEngine::EncodeTime(H, N, S, 0);
}

TMessageList Incoming(int Index, int Status, const std::string& OA, SMSEngine::TDateTime SCTS, const std::string& UD) {
  TMessageList Entry;
  Entry.Index = Index;
  Entry.Status = Status;
  Entry.SCA = "+491710760000";
  Entry.OA = OA;
  Entry.SCTS = SCTS;
  Entry.UD = UD;
  return Entry;
}

TMessageList Outgoing(int Index, int Status, const std::string& DA, int VPF, const std::string& UD) {
  TMessageList Entry;
  Entry.Index = Index;
  Entry.Status = Status;
  Entry.SCA = "+491710760000";
  Entry.DA = DA;
  Entry.VPF = VPF;
  Entry.UD = UD;
  return Entry;
}

struct TGolden {
  const char* File;
  QLocale Locale;
  TMessageList Entry;
};

std::vector<TGolden> Goldens() {
  const QLocale UK(QLocale::English, QLocale::UnitedKingdom);
  const QLocale US(QLocale::English, QLocale::UnitedStates);
  const QLocale DE(QLocale::German, QLocale::Germany);
  std::vector<TGolden> Cases;

  TMessageList Named = Incoming(7, 0, "+4930123456", At(2024, 3, 15, 14, 30, 5), "Hello");
  Named.Name = "J\xFCrgen Wei\xDF";
  Cases.push_back({"incoming-named.txt", UK, Named});

  TMessageList Midnight =
      Incoming(12, 1, "+4930", At(2026, 12, 14), "Line one\r\nB\xE4r f\xFCr 5\x80\r\n\r\nLine four");
  Midnight.SCA = "";
  Midnight.Flash = true;
  Cases.push_back({"incoming-midnight-multiline.txt", UK, Midnight});

  Cases.push_back({"incoming-us.txt", US, Incoming(1, 1, "+491711234567", At(2024, 3, 15, 14, 30, 5), "Ok sir")});

  TMessageList NoValidity = Outgoing(3, 2, "+4912345678", 0, "");
  NoValidity.SCA = "<Not present>";  // as the decoder puts it for a PDU listed without the field
  NoValidity.SRR = true;
  Cases.push_back({"outgoing-novalidity-empty.txt", UK, NoValidity});

  TMessageList Relative = Outgoing(10, 3, "+4917612345678", 2, "Hi");
  Relative.VPRelative = 173;
  Relative.RD = true;
  Relative.MR = 42;
  Relative.Flash = true;
  Relative.Name = "Anna";
  Cases.push_back({"outgoing-relative-named.txt", UK, Relative});

  TMessageList Absolute = Outgoing(11, 2, "+4915112345678", 3, "Call me");
  Absolute.VPAbsolute = At(2026, 12, 14, 18, 30, 0);
  Absolute.VPTZ = 4;
  Cases.push_back({"outgoing-absolute.txt", UK, Absolute});

  TMessageList West = Outgoing(11, 3, "+4915112345678", 3, "Call me");
  West.VPAbsolute = At(2026, 12, 14);
  West.VPTZ = -2;
  West.MR = 255;
  Cases.push_back({"outgoing-absolute-midnight-comma.txt", DE, West});

  TMessageList Unnamed = Outgoing(20, 5, "+4915112345678", 1, "Enhanced");
  Unnamed.MR = 5;
  Cases.push_back({"outgoing-unnamed-values.txt", UK, Unnamed});
  return Cases;
}

class SaveTextTest : public ::testing::Test {
 protected:
  void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(SaveTextTest, LayoutsMatchTheGoldenFiles) {
  for (const TGolden& Case : Goldens()) {
    SCOPED_TRACE(Case.File);
    QLocale::setDefault(Case.Locale);
    const std::string Expected = ReadBytes(std::string(PELMO_SAVE_GOLDEN_DIR) + "/" + Case.File);
    ASSERT_FALSE(Expected.empty());
    EXPECT_EQ(MessageFileText(Case.Entry), Expected);
  }
}

// All messages in one file: every status, a message the codec refused, one whose header could not
// be read, and the status reports' entry, which is left out.
TEST_F(SaveTextTest, AllMessagesMatchTheGoldenFile) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
  std::vector<TMessageList> List = {Incoming(1, 0, "+4930123456", At(2024, 3, 15, 14, 30, 5), "Unread"),
                                    Incoming(2, 1, "+4930123456", At(2024, 3, 16, 9, 0, 0), "Read"),
                                    Outgoing(3, 2, "+4912345678", 0, "Unsent"),
                                    Outgoing(4, 3, "+4912345678", 2, "Sent"),
                                    {},
                                    {},
                                    {}};
  const char* const PDUs[] = {"07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
                              "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
                              "0011000B911346610089F60000AA04D5F9BC05", "0011000B911346610089F60000AA0453F29C0E",
                              // UCS2, which the codec refuses: shown as ERROR.
                              "07911326040000F0040B911346610089F60008208062917314080A04140434043E0431044A",
                              // A header the window could not read: no location, no status.
                              "0791132604000000", ""};
  for (std::size_t I = 0; I < List.size(); ++I) {
    List[I].PDU = PDUs[I];
    List[I].Decoded = I < 4;
  }
  List[4].Index = 5;
  List[4].Status = 1;
  List[5].Index = -1;
  List[5].Status = -1;
  List[6].Index = -1;  // the status reports
  const std::string Expected = ReadBytes(std::string(PELMO_SAVE_GOLDEN_DIR) + "/all-messages.txt");
  ASSERT_FALSE(Expected.empty());
  EXPECT_EQ(AllMessagesFileText(List), Expected);
}

TEST_F(SaveTextTest, CharactersAreSingleBytesOfTheCodePage) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
  TMessageList Entry = Incoming(1, 1, "+4930", At(2024, 1, 2, 3, 4, 5), "\xE4\x80");
  Entry.Name = "Z\xF6\xEB";
  const std::string Text = MessageFileText(Entry);
  EXPECT_NE(Text.find("\r\n+4930 (Z\xF6\xEB)\r\n"), std::string::npos);
  // The text ends in the euro sign's one byte and CR LF; no byte-order mark in front.
  EXPECT_EQ(Text.substr(Text.size() - 6), std::string("\r\n\xE4\x80\r\n"));
  EXPECT_EQ(Text.rfind("INCOMING MESSAGE\r\n", 0), 0u);
}

TEST_F(SaveTextTest, ProposedFileNames) {
  struct TCase {
    int Status;
    std::string Address, Name, Expected;
  } Cases[] = {
      {0, "+4930", "", "SM from +4930.txt"},
      {1, "+4930", "Anna", "SM from Anna.txt"},
      {2, "+4912345678", "", "SM to +4912345678.txt"},
      {3, "+4912345678", "J\xFCrgen Wei\xDF", "SM to J\xFCrgen Wei\xDF.txt"},
      {1, "+4930", "Anna/Work", "SM from Anna_Work.txt"},
      {2, "+49", "a\\b:c*d?e\"f<g>h|i", "SM to a_b_c_d_e_f_g_h_i.txt"},
      {0, "+49", "Tab\there\x7F\x81.", "SM from Tab_here__..txt"},
      {1, "../etc", "", "SM from .._etc.txt"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Expected);
    TMessageList Entry;
    Entry.Status = Case.Status;
    (Case.Status >= 2 ? Entry.DA : Entry.OA) = Case.Address;
    Entry.Name = Case.Name;
    EXPECT_EQ(ProposedFileName(Entry), Case.Expected);
  }
}

class WriteTextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> Serial = 0;
    const auto Now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path Path =
        std::filesystem::temp_directory_path() / ("pelmo-save-" + std::to_string(Now) + "-" + std::to_string(Serial++));
    ASSERT_TRUE(std::filesystem::create_directory(Path));
    Dir = Path.generic_string();
  }
  void TearDown() override {
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(Dir);
  }
  std::string Dir;
};

TEST_F(WriteTextFileTest, WritesTheBytesAndEmptiesAnExistingFile) {
  const std::string Path = Dir + "/SM from +4930.txt";
  std::ofstream(Native(Path), std::ios::binary) << std::string(1000, 'x');
  const std::string Bytes = "A\r\n\x80\xE4\r\n";
  ASSERT_TRUE(WriteTextFile(Path, Bytes));
  EXPECT_EQ(ReadBytes(Path), Bytes);
}

// A file replaced whole or not at all: a failure leaves the earlier file and no temporary one.
TEST_F(WriteTextFileTest, ReplacingContentsIsAllOrNothing) {
  const std::string Path = Dir + "/SIM messages.txt";
  std::ofstream(Native(Path), std::ios::binary) << std::string(1000, 'x');
  ASSERT_TRUE(ReplaceFileContents(Path, "A\r\n\x80\r\n"));
  EXPECT_EQ(ReadBytes(Path), "A\r\n\x80\r\n");
  std::string Reason;
  EXPECT_FALSE(ReplaceFileContents(Dir + "/no such folder/all.txt", "x", &Reason));
  EXPECT_FALSE(Reason.empty());
  EXPECT_FALSE(ReplaceFileContents(Dir, "x"));  // a folder
#ifndef _WIN32
  if (::geteuid() != 0) {
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(ReplaceFileContents(Path, "y"));
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_all);
  }
#endif
  EXPECT_EQ(ReadBytes(Path), "A\r\n\x80\r\n");
  std::vector<std::string> Left;
  for (const auto& Entry : std::filesystem::directory_iterator(Native(Dir)))
    Left.push_back(Entry.path().filename().string());
  EXPECT_EQ(Left, std::vector<std::string>{"SIM messages.txt"});
}

TEST_F(WriteTextFileTest, PathInTheFileSystemEncoding) {
  const std::string Folder = Dir + "/\xD0\x94\xD0\xBE\xD0\xBA";  // a folder name that code page 1252 cannot hold
  std::filesystem::create_directory(Native(Folder));
  ASSERT_TRUE(WriteTextFile(Folder + "/m.txt", "x\r\n"));
  EXPECT_EQ(ReadBytes(Folder + "/m.txt"), "x\r\n");
}

TEST_F(WriteTextFileTest, FailuresToCreateOrWrite) {
#ifndef _WIN32
  // Who may write anywhere would not see the folder refuse.
  if (::geteuid() != 0) {
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(WriteTextFile(Dir + "/refused.txt", "x\r\n"));
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_all);
  }
  EXPECT_FALSE(WriteTextFile("/dev/full", "x\r\n"));
#endif
  EXPECT_FALSE(WriteTextFile(Dir + "/no such folder/m.txt", "x\r\n"));
  EXPECT_FALSE(WriteTextFile(Dir, "x\r\n"));  // a folder
}

}  // namespace
