// The channel's settings, worked out without a device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "link/KoComm.h"
#include "link/KoUtils.h"

TEST(KoSettings, DefaultsOfANewChannel) {
  TKoComm C;
  EXPECT_FALSE(C.AutoOpen());
  EXPECT_EQ(C.Baudrate(), br1200);
  EXPECT_EQ(C.Parity(), paNone);
  EXPECT_EQ(C.Databits(), db8);
  EXPECT_EQ(C.Stopbits(), sb1);
  EXPECT_EQ(C.PortNum(), 0);
  EXPECT_EQ(C.DeviceName(), "COM%d");
  EXPECT_EQ(C.MonitorEvents(), (TKoCommEvents{ceError, ceRxChar, ceTxEmpty}));
  EXPECT_EQ(C.Buffers().ReadSize(), 4096);
  EXPECT_EQ(C.Buffers().WriteSize(), 2048);
  EXPECT_EQ(C.Buffers().ReadTimeout(), 1000);
  EXPECT_EQ(C.Buffers().WriteTimeout(), 1000);
  EXPECT_EQ(C.EventPriority(), tpNormal);
  EXPECT_EQ(C.WritePriority(), tpHighest);
  EXPECT_FALSE(C.DirectWrite());
  EXPECT_TRUE(C.UpdateDCB());
  EXPECT_EQ(C.UserBaudrate(), 0);
  EXPECT_FALSE(C.ParityCheck());
  EXPECT_TRUE(C.Options().Empty());
  EXPECT_EQ(C.EventChars().XonChar(), 17);
  EXPECT_EQ(C.EventChars().XoffChar(), 19);
  EXPECT_EQ(C.EventChars().ErrorChar(), 0);
  EXPECT_EQ(C.EventChars().EventChar(), 0);
  EXPECT_EQ(C.EventChars().EofChar(), 0);
  const TKoFlowControl& F = C.FlowControl();
  EXPECT_FALSE(F.OutCtsFlow() || F.OutDsrFlow() || F.XonXoffOut() || F.XonXoffIn() || F.DsrSensitivity() ||
               F.TxContinueOnXoff());
  EXPECT_EQ(F.ControlDtr(), dtrDisabled);
  EXPECT_EQ(F.ControlRts(), rtsDisabled);
  EXPECT_FALSE(C.IsOpen());
}

TEST(KoSettings, EventMask) {
  struct TCase {
    TKoCommEvents Events;
    bool DirectWrite;
    std::uint32_t Mask;
  } Cases[] = {
      {{ceError, ceRxChar, cePErr}, false, 0x0281},   // this program's set
      {{ceError, ceRxChar, ceTxEmpty}, false, 0x81},  // the default set: the worker reports 4
      {{ceError, ceRxChar, ceTxEmpty}, true, 0x85},
      {{ceBreak, ceCts, ceDsr, ceRing, ceRlsd, ceRxFlag, ceRx80Full, ceEvent1, ceEvent2},
       false,
       0x40 | 0x8 | 0x10 | 0x100 | 0x20 | 0x2 | 0x400 | 0x800 | 0x1000},
      {{}, false, 0},
  };
  for (const TCase& T : Cases) EXPECT_EQ(KoBuildEventMask(T.Events, T.DirectWrite), T.Mask) << std::hex << T.Mask;
}

TEST(KoSettings, XonXoffLimitsFollowTheReadSize) {
  struct TCase {
    int ReadSize, Limit;
  } Cases[] = {{1024, 256}, {4096, 1024}, {8192, 1024}, {2, 0}};
  for (const TCase& T : Cases) {
    TKoComm C;
    C.Buffers().SetReadSize(T.ReadSize);
    TKoLineSettings D = C.BuildLineSettings();
    EXPECT_EQ(D.XonLim, T.Limit) << T.ReadSize;
    EXPECT_EQ(D.XoffLim, T.Limit) << T.ReadSize;
  }
}

// A stream is handed over in pieces no larger than half the receive queue, so the driver never
// has to hold more than it was given room for, however fast the line.
TEST(KoSettings, GatheringIntervalLeavesHalfTheReceiveQueueFree) {
  struct TCase {
    int BaudRate, Queue;
    std::uint32_t Ms;
  } Cases[] = {
      {115200, 1024, 44},  // 512 bytes take 44.4 ms
      {9600, 1024, KoRxGatherMaxMs},
      {921600, 1024, 5},
      {3000000, 64, 1},  // never 0: that would spin
      {115200, 1 << 30, KoRxGatherMaxMs},
      {0, 1024, KoRxGatherMaxMs},
      {115200, 0, KoRxGatherMaxMs},
  };
  for (const TCase& T : Cases) EXPECT_EQ(KoRxGatherMs(T.BaudRate, T.Queue), T.Ms) << T.BaudRate << " " << T.Queue;
}

// The line counts as quiet once nothing has come for as long as the last piece took on the line and
// four characters more, rounded up to whole milliseconds with one more for the tick counter.
TEST(KoSettings, QuietTimeFollowsThePieceAndTheRate) {
  struct TCase {
    int BaudRate, PieceBytes;
    std::uint32_t Ms;
  } Cases[] = {
      {115200, 0, 2},     // 4 characters take 0.35 ms
      {115200, 115, 12},  // a slice of 10 ms: 119 characters take 10.3 ms
      {9600, 6, 12},      // 10 characters take 10.4 ms
      {9600, 1000, KoRxGatherMaxMs},
      {0, 10, KoRxGatherMaxMs},
      {115200, -5, 2},
  };
  for (const TCase& T : Cases)
    EXPECT_EQ(KoRxQuietMs(T.BaudRate, T.PieceBytes), T.Ms) << T.BaudRate << " " << T.PieceBytes;
}

TEST(KoSettings, LineSettingsRecord) {
  TKoComm C;
  C.SetBaudrate(br115200);
  C.SetDatabits(db7);
  C.SetParity(paEven);
  C.SetStopbits(sb2);
  C.FlowControl().SetXonXoffIn(true);
  C.SetOptions({coNullStrip});
  TKoLineSettings D = C.BuildLineSettings();
  EXPECT_EQ(D.BaudRate, 115200);
  EXPECT_EQ(D.ByteSize, 7);
  EXPECT_EQ(D.Parity, paEven);
  EXPECT_EQ(D.StopBits, sb2);
  EXPECT_TRUE(D.InX);
  EXPECT_FALSE(D.OutX);
  EXPECT_TRUE(D.NullStrip);
  EXPECT_FALSE(D.ErrorCharReplace);
  EXPECT_TRUE(D.Binary);
  EXPECT_FALSE(D.AbortOnError);
}

TEST(KoSettings, BaudrateAndUserBaudrateExcludeEachOther) {
  TKoComm C;
  C.SetUserBaudrate(250000);
  EXPECT_EQ(C.Baudrate(), brUser);
  EXPECT_EQ(C.BuildLineSettings().BaudRate, 250000);
  C.SetBaudrate(br9600);
  EXPECT_EQ(C.UserBaudrate(), 0);
  EXPECT_EQ(C.BuildLineSettings().BaudRate, 9600);
}

TEST(KoSettings, ChangesAreToldOnceInsideAnUpdate) {
  TKoFlowControl F;
  int Told = 0;
  F.OnChange = [&](TKoPersistent*) { ++Told; };
  F.SetXonXoffOut(false);  // unchanged: nothing told
  EXPECT_EQ(Told, 0);
  F.SetXonXoffOut(true);
  EXPECT_EQ(Told, 1);
  F.BeginUpdate();
  F.SetOutCtsFlow(true);
  F.SetControlRts(rtsHandshake);
  EXPECT_EQ(Told, 1);
  F.EndUpdate();
  EXPECT_EQ(Told, 2);

  TKoFlowControl Other;
  Other.SetControlDtr(dtrEnabled);
  F.CopyFrom(Other);
  EXPECT_EQ(Told, 3);
  EXPECT_EQ(F.ControlDtr(), dtrEnabled);
  EXPECT_FALSE(F.OutCtsFlow());

  // The event characters tell on every assignment, changed or not.
  TKoEventChars E;
  int CharsTold = 0;
  E.OnChange = [&](TKoPersistent*) { ++CharsTold; };
  E.SetXonChar(17);
  E.SetXonChar(17);
  EXPECT_EQ(CharsTold, 2);

  TKoBuffers B;
  EXPECT_THROW(F.CopyFrom(B), std::invalid_argument);
}

#ifndef _WIN32
// Linux names its devices by path; the Windows names are tested with the port.
TEST(KoSettings, DeviceNames) {
  unsetenv("PELMO_COM4");
  EXPECT_EQ(KoResolveDevice("COM4"), "/dev/ttyS3");
  EXPECT_EQ(KoResolveDevice("COM1"), "/dev/ttyS0");
  setenv("PELMO_COM4", "/dev/ttyUSB0", 1);
  EXPECT_EQ(KoResolveDevice("COM4"), "/dev/ttyUSB0");
  unsetenv("PELMO_COM4");
  EXPECT_EQ(KoResolveDevice("/dev/pts/7"), "/dev/pts/7");

  TKoComm C;
  C.SetPortNum(4);
  EXPECT_EQ(C.DevicePath(), "/dev/ttyS3");
}

TEST(KoSettings, PortList) {
  // A port the user names above the numbered ones is offered under its number and opens the
  // named device; the numbered ones come first, in order.
  setenv("PELMO_COM12", "/dev/pts/77", 1);
  std::vector<TKoPortEntry> Ports = TKoComm::ListPorts();
  ASSERT_GE(Ports.size(), 9u);
  for (int N = 1; N <= 8; ++N) {
    EXPECT_EQ(Ports[N - 1].Caption, "COM " + std::to_string(N));
    EXPECT_EQ(Ports[N - 1].PortNum, N);
  }
  int Found = 0;
  for (const TKoPortEntry& P : Ports) {
    if (P.PortNum == 12) {
      ++Found;
      EXPECT_EQ(P.Caption, "COM 12");
    }
    // Every port listed opens a device of its own.
    if (P.PortNum > 8 && P.PortNum != 12) {
      EXPECT_EQ(KoResolveDevice("COM" + std::to_string(P.PortNum)), P.Caption);
    }
  }
  EXPECT_EQ(Found, 1);
  EXPECT_EQ(KoResolveDevice("COM12"), "/dev/pts/77");
  unsetenv("PELMO_COM12");
}

#endif

TEST(KoSettings, TransmitQueueStorage) {
  TKoCommBuffer B(8);
  B.Append("abcdef", 6);
  B.Remove(4);
  EXPECT_EQ(std::string(B.Data(), static_cast<std::size_t>(B.Size())), "ef");
  B.Append("ghijkl", 6);
  EXPECT_EQ(std::string(B.Data(), static_cast<std::size_t>(B.Size())), "efghijkl");
  B.Remove(8);
  EXPECT_EQ(B.Size(), 0);

  // An empty text into a queue of no capacity (WriteSize 0) copies nothing.
  TKoCommBuffer None(0);
  None.Append("", 0);
  EXPECT_EQ(None.Size(), 0);
}

TEST(KoSettings, ErrorTexts) {
#ifndef _WIN32
  EXPECT_EQ(KoFormatError("Error writing dcb (%d), %s", 25), "Error writing dcb (25), Inappropriate ioctl for device");
#endif
  EXPECT_EQ(KoTicksSince(0xFFFFFFF0u, 0x10u), 0x20u);  // across the wrap
}
