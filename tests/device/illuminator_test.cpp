#include "device/illuminator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::device {
namespace {

using simulator::VirtualIlluminator;
using ::testing::ElementsAre;

// The report as the device expects it, written out independently of BuildCommandReport.
std::vector<uint8_t> ExpectedReport(uint8_t code) {
  std::vector<uint8_t> r = {0x00, 0x55, 0xAA, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, code};
  r.resize(64, 0x00);
  r.push_back(0x03);
  return r;
}

std::vector<uint8_t> Bytes(const HidReport& r) {
  return {r.begin(), r.end()};
}

class IlluminatorTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallHidTransport(&device_); }
  void TearDown() override { InstallHidTransport(nullptr); }
  VirtualIlluminator device_;
};

TEST_F(IlluminatorTest, EveryCommandCodeGoesOutAsItsReport) {
  const std::pair<IlluminatorCommand, char> codes[] = {
      {CmdStatus, '1'},      {CmdSessionStart, '3'},  {CmdSessionStop, '4'},
      {CmdQualityHint, '5'}, {CmdFaceLightOn, '6'},   {CmdFaceLightOff, '7'},
      {CmdResultOk, ':'},    {CmdIlluminatorOn, '<'}, {CmdIlluminatorOff, '='},
      {CmdResultFail, '>'}};
  for (auto [cmd, ch] : codes) {
    ASSERT_EQ(static_cast<uint8_t>(cmd), static_cast<uint8_t>(ch));
    EXPECT_EQ(SendIlluminatorCommand(cmd), 1);
  }
  const auto reports = device_.Reports();
  ASSERT_EQ(reports.size(), std::size(codes));
  for (size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(Bytes(reports[i].bytes), ExpectedReport(codes[i].first))
        << "command " << codes[i].second;
  }
  EXPECT_EQ(device_.OpenHandles(), 0);
}

TEST_F(IlluminatorTest, IlluminatorOffReportByteForByte) {
  SendIlluminatorCommand(CmdIlluminatorOff);
  const auto reports = device_.Reports();
  ASSERT_EQ(reports.size(), 1u);
  const HidReport& r = reports[0].bytes;
  EXPECT_THAT(std::vector<uint8_t>(r.begin(), r.begin() + 13),
              ElementsAre(0x00, 0x55, 0xAA, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x3D));
  EXPECT_EQ(std::vector<uint8_t>(r.begin() + 13, r.begin() + 64), std::vector<uint8_t>(51, 0));
  EXPECT_EQ(r[64], 0x03);
}

TEST_F(IlluminatorTest, ReportsArriveInSendingOrderAndDriveTheLights) {
  const uint8_t sequence[] = {CmdSessionStart, CmdQualityHint, CmdIlluminatorOn,
                              CmdResultOk,     CmdSessionStop, CmdIlluminatorOff};
  for (uint8_t c : sequence) {
    SendIlluminatorCommand(c);
    if (c == CmdIlluminatorOn) {
      EXPECT_TRUE(device_.FillLightOn());
      EXPECT_TRUE(device_.SessionActive());
    }
  }
  EXPECT_EQ(device_.Codes(), std::vector<uint8_t>(std::begin(sequence), std::end(sequence)));
  const auto reports = device_.Reports();
  for (size_t i = 1; i < reports.size(); ++i) {
    EXPECT_LE(static_cast<uint32_t>(reports[i].tick - reports[0].tick), 5000u);
    EXPECT_GE(static_cast<int32_t>(reports[i].tick - reports[i - 1].tick), 0);
  }
  EXPECT_FALSE(device_.FillLightOn());
  EXPECT_FALSE(device_.SessionActive());
}

TEST_F(IlluminatorTest, StatusQueryAnswersWithTheDeviceState) {
  EXPECT_EQ(CheckDevStatus(), 0);
  EXPECT_EQ(device_.Codes(), std::vector<uint8_t>{CmdStatus});

  SendIlluminatorCommand(CmdFaceLightOn);
  HidTransport& t = ActiveHidTransport();
  HidHandle* h = t.Open(kIlluminatorDevice.vendorId, kIlluminatorDevice.productId);
  ASSERT_NE(h, nullptr);
  const HidReport status = BuildCommandReport(CmdStatus);
  ASSERT_EQ(t.Write(h, status.data(), status.size()), 65);
  HidReport reply{};
  ASSERT_EQ(t.ReadTimeout(h, reply.data(), reply.size(), 100), 64);
  t.Close(h);
  EXPECT_EQ(reply[0], 0x55);
  EXPECT_EQ(reply[11], CmdStatus);
  EXPECT_EQ(reply[12], 0x02);  // face light on, fill light off, no session
  EXPECT_EQ(reply[63], 0x03);
}

TEST_F(IlluminatorTest, WithoutDeviceCommandsAreSilentAndStatusFails) {
  device_.SetConnected(false);
  for (IlluminatorCommand c : kAllIlluminatorCommands) EXPECT_EQ(SendIlluminatorCommand(c), 1);
  EXPECT_EQ(CheckDevStatus(), -1);
  EXPECT_TRUE(device_.Reports().empty());
}

TEST_F(IlluminatorTest, OtherUsbIdentityIsNotTheIlluminator) {
  VirtualIlluminator other(HidDeviceId{0x1234, 0x0001});
  InstallHidTransport(&other);
  EXPECT_EQ(CheckDevStatus(), -1);
  EXPECT_EQ(CheckDevStatus(HidDeviceId{0x1234, 0x0001}), 0);
  EXPECT_EQ(SendIlluminatorCommand(CmdResultOk, HidDeviceId{0x1234, 0x0001}), 1);
  EXPECT_EQ(other.Codes(), (std::vector<uint8_t>{CmdStatus, CmdResultOk}));
}

// A silent device holds the HID lock for one bounded wait, then the next command goes on.
TEST_F(IlluminatorTest, SilentDeviceReleasesTheLockAfterTheBoundedWait) {
  device_.SetAnswering(false);
  const uint32_t start = platform::GetTickCount();
  std::thread other([] { SendIlluminatorCommand(CmdResultFail); });
  EXPECT_EQ(SendIlluminatorCommand(CmdSessionStop), 1);
  other.join();
  const uint32_t elapsed = platform::TicksSince(start);
  EXPECT_GE(elapsed, 2 * kHidReplyTimeoutMs - 50);  // two waits, one after the other
  EXPECT_LT(elapsed, 2 * kHidReplyTimeoutMs + 2000);
  EXPECT_EQ(device_.Reports().size(), 2u);
  EXPECT_EQ(device_.MaxOpenAtOnce(), 1);
  EXPECT_EQ(device_.OpenHandles(), 0);

  HidHandle* h = device_.Open(kIlluminatorDevice.vendorId, kIlluminatorDevice.productId);
  EXPECT_EQ(HidTransaction(device_, h, CmdStatus), 0);  // no reply in time
  device_.Close(h);
}

TEST_F(IlluminatorTest, ConcurrentSendersNeverShareTheDevice) {
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([] {
      for (int i = 0; i < 10; ++i) SendIlluminatorCommand(CmdQualityHint);
    });
  }
  for (auto& s : senders) s.join();
  EXPECT_EQ(device_.Reports().size(), 40u);
  EXPECT_EQ(device_.MaxOpenAtOnce(), 1);
}

// Scripted transport for the transaction's edge cases.
class ScriptedTransport final : public HidTransport {
 public:
  std::vector<int> reads;  // results handed out in turn (the last one repeats)
  int writeResult = 65;
  bool throwOnWrite = false;
  int opened = 0;
  int closed = 0;
  int readCalls = 0;

  HidHandle* Open(uint16_t, uint16_t) override {
    ++opened;
    return reinterpret_cast<HidHandle*>(this);
  }
  int Write(HidHandle*, const uint8_t*, size_t) override {
    if (throwOnWrite) throw std::runtime_error("device gone");
    return writeResult;
  }
  int ReadTimeout(HidHandle*, uint8_t* data, size_t size, int timeoutMs) override {
    EXPECT_EQ(size, 65u);
    EXPECT_GT(timeoutMs, 0);
    EXPECT_LE(timeoutMs, static_cast<int>(kHidReplyTimeoutMs));
    const size_t i = std::min(static_cast<size_t>(readCalls++), reads.size() - 1);
    for (size_t k = 0; k < size; ++k) EXPECT_EQ(data[k], 0) << "buffer not cleared";
    return reads[i];
  }
  void Close(HidHandle*) override { ++closed; }
};

TEST(HidTransaction, ResultIsTheReadThatEndedTheWait) {
  ScriptedTransport t;
  HidHandle* h = t.Open(0, 0);
  t.reads = {0, 0, 64};
  EXPECT_EQ(HidTransaction(t, h, CmdStatus), 64);
  EXPECT_EQ(t.readCalls, 3);

  t.reads = {-1};
  t.readCalls = 0;
  EXPECT_EQ(HidTransaction(t, h, CmdStatus), -1);
  EXPECT_EQ(t.readCalls, 1);

  t.writeResult = -1;
  t.readCalls = 0;
  EXPECT_EQ(HidTransaction(t, h, CmdStatus), -1);
  EXPECT_EQ(t.readCalls, 0);
}

TEST(HidTransaction, FailuresInsideACommandAreSwallowedAndTheDeviceClosed) {
  ScriptedTransport t;
  t.throwOnWrite = true;
  InstallHidTransport(&t);
  EXPECT_EQ(SendIlluminatorCommand(CmdSessionStart), 1);
  EXPECT_EQ(CheckDevStatus(), 0);
  InstallHidTransport(nullptr);
  EXPECT_EQ(t.opened, 2);
  EXPECT_EQ(t.closed, 2);
  // The lock was released: another thread can take it at once.
  std::thread other([] {
    EXPECT_TRUE(HidLock().TryEnter());
    HidLock().Leave();
  });
  other.join();
}

}  // namespace
}  // namespace ocuvant::device
