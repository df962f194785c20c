// One illuminator command over the real hidapi (hidraw) path, run by umockdev-run
// against a replayed hidraw device whose script checks every written byte (a report
// it does not expect aborts the program). Exits 77 (skipped) outside a testbed.
//   hidraw_dialogue send CODE   the command goes out and its reply is read
//   hidraw_dialogue status      CheckDevStatus finds the device and reads its reply
//   hidraw_dialogue silent      the device never answers: the wait ends at its bound
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/illuminator.h"
#include "platform/thread.h"

namespace ocuvant::device {
namespace {

// Passes everything to hidapi and keeps what each read returned.
class ObservedHidapi final : public HidTransport {
 public:
  struct Read {
    int result;
    HidReport data;
  };
  std::vector<Read> reads;

  HidHandle* Open(uint16_t vendorId, uint16_t productId) override {
    return HidapiTransport().Open(vendorId, productId);
  }
  int Write(HidHandle* d, const uint8_t* data, size_t size) override {
    return HidapiTransport().Write(d, data, size);
  }
  int ReadTimeout(HidHandle* d, uint8_t* data, size_t size, int timeoutMs) override {
    Read read{HidapiTransport().ReadTimeout(d, data, size, timeoutMs), {}};
    std::copy(data, data + size, read.data.begin());
    reads.push_back(read);
    return read.result;
  }
  void Close(HidHandle* d) override { HidapiTransport().Close(d); }
};

int g_failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  if (!ok) ++g_failures;
}

void CheckReply(const ObservedHidapi& hid, uint8_t code) {
  Check(hid.reads.size() == 1, "one read, got " + std::to_string(hid.reads.size()));
  if (hid.reads.empty()) return;
  const ObservedHidapi::Read& r = hid.reads.back();
  Check(r.result == 64, "64-byte reply, got " + std::to_string(r.result));
  Check(r.data[0] == 0x55 && r.data[11] == code && r.data[63] == 0x03, "reply echoes the code");
}

int Run(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  ObservedHidapi hid;
  InstallHidTransport(&hid);
  if (mode == "send" && argc > 2) {
    const auto code = static_cast<uint8_t>(std::strtoul(argv[2], nullptr, 16));
    Check(SendIlluminatorCommand(code) == 1, "SendIlluminatorCommand returns 1");
    CheckReply(hid, code);
    // Another identity is not the illuminator: nothing is written (the script would abort).
    Check(SendIlluminatorCommand(code, HidDeviceId{0x0483, 0x5751}) == 1, "no device: still 1");
    Check(hid.reads.size() == 1, "no device: nothing read");
  } else if (mode == "status") {
    Check(CheckDevStatus() == 0, "CheckDevStatus finds the device");
    CheckReply(hid, CmdStatus);
    Check(CheckDevStatus(HidDeviceId{0x1234, 0x5750}) == -1, "CheckDevStatus without device");
  } else if (mode == "silent") {
    const uint32_t start = platform::GetTickCount();
    Check(SendIlluminatorCommand(CmdIlluminatorOff) == 1, "SendIlluminatorCommand returns 1");
    const uint32_t elapsed = platform::TicksSince(start);
    Check(elapsed >= kHidReplyTimeoutMs - 50 && elapsed < kHidReplyTimeoutMs + 3000,
          "bounded wait, took " + std::to_string(elapsed) + " ms");
    Check(!hid.reads.empty() && hid.reads.back().result == 0, "no reply read");
    Check(HidLock().TryEnter(), "HID lock released");
    HidLock().Leave();
  } else {
    std::fprintf(stderr, "usage: %s send CODE | status | silent\n", argv[0]);
    return 2;
  }
  InstallHidTransport(nullptr);
  return g_failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace ocuvant::device

int main(int argc, char** argv) {
  if (std::getenv("UMOCKDEV_DIR") == nullptr) {
    std::puts("not inside a umockdev testbed: skipped");
    return 77;
  }
  return ocuvant::device::Run(argc, argv);
}
