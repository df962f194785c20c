#include "hosts/web/mjpeg_stream.h"

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>

#include "capture/frame_tap.h"
#include "engine/common/engine_types.h"

namespace ocuvant::web {
namespace {

constexpr int kQuality = 80;
constexpr int32_t kIrisWidth = 1920, kIrisHeight = 1080;

void Tap(void* context, const uint8_t* frame, long length, int32_t width, int32_t height,
         capture::FrameRoute route) {
  static_cast<FrameHub*>(context)->OnFrame(frame, length, width, height, route);
}

}  // namespace

FrameHub::FrameHub() {
  for (Slot& s : slots_) s.rgb.resize(size_t{kMaxSide} * kMaxSide * 3);
  encoder_ = std::thread([this] { Encode(); });
  capture::InstallFrameTap(&Tap, this);
}

FrameHub::~FrameHub() {
  capture::InstallFrameTap(nullptr, nullptr);
  {
    std::lock_guard<std::mutex> lock(slotMutex_);
    stopping_ = true;
  }
  slotReady_.notify_all();
  encoder_.join();
  WakeAll();
}

void FrameHub::OnFrame(const uint8_t* frame, long length, int32_t width, int32_t height,
                       capture::FrameRoute route) {
  framesSeen_.fetch_add(1, std::memory_order_relaxed);
  if (viewers_.load(std::memory_order_relaxed) <= 0 || frame == nullptr || width <= 0 ||
      height <= 0 || length < static_cast<long>(size_t(width) * height * 3)) {
    return;
  }
  std::unique_lock<std::mutex> writer(writerMutex_, std::try_to_lock);
  if (!writer.owns_lock()) return;
  int32_t f = (std::max(width, height) + kMaxSide - 1) / kMaxSide;
  Slot& s = slots_[write_];  // only this thread touches the write slot
  s.width = width / f;
  s.height = height / f;
  // Iris frames as the control sees them (top row first, mirrored, like a mirror for
  // the person in front of the camera); photo frames top row first.
  s.iris = route == capture::IrisFrames && width == kIrisWidth && height == kIrisHeight;
  const size_t stride = size_t(width) * 3;
  for (int32_t y = 0; y < s.height; ++y) {
    const uint8_t* row = frame + size_t(height - 1 - y * f) * stride;
    uint8_t* out = s.rgb.data() + size_t(y) * s.width * 3;
    for (int32_t x = 0; x < s.width; ++x) {
      const uint8_t* p = row + size_t(s.iris ? width - 1 - x * f : x * f) * 3;
      out[0] = p[2];
      out[1] = p[1];
      out[2] = p[0];
      out += 3;
    }
  }
  writeFactor_ = f;
  {
    std::lock_guard<std::mutex> lock(slotMutex_);
    std::swap(write_, ready_);
    std::swap(writeFactor_, readyFactor_);
    fresh_ = true;
  }
  slotReady_.notify_one();
}

void FrameHub::SetOverlay(int32_t kind, int32_t left, int32_t right) {
  overlayKind_.store(kind, std::memory_order_relaxed);
  overlayEye_[0].store(left, std::memory_order_relaxed);
  overlayEye_[1].store(right, std::memory_order_relaxed);
}

void FrameHub::DrawOverlay(Slot& s, int32_t f) {
  const int32_t kind = overlayKind_.load(std::memory_order_relaxed);
  if (!s.iris || kind < 0 || kind > 2) return;
  const int32_t w = engine::kEyeWidth[kind], h = engine::kEyeHeight[kind];
  const int32_t top = (kIrisHeight - h) / 2;
  // In the control's grey frame the left eye's image is the right-most W columns.
  const int32_t x0[2] = {kIrisWidth - w, 0};
  for (int eye = 0; eye < 2; ++eye) {
    const int32_t state = overlayEye_[eye].load(std::memory_order_relaxed);
    const uint8_t colour[3] = {static_cast<uint8_t>(state < 0 ? 230 : 40),
                               static_cast<uint8_t>(state > 0   ? 220
                                                    : state < 0 ? 60
                                                                : 160),
                               static_cast<uint8_t>(state == 0 ? 255 : 60)};
    const int32_t l = x0[eye] / f + 2 * eye,
                  r = std::min(s.width - 1, (x0[eye] + w) / f - 1 - 2 * eye);
    const int32_t t = top / f, b = std::min(s.height - 1, (top + h) / f - 1);
    auto put = [&](int32_t x, int32_t y) {
      if (x < 0 || y < 0 || x >= s.width || y >= s.height) return;
      uint8_t* p = s.rgb.data() + (size_t(y) * s.width + x) * 3;
      p[0] = colour[0];
      p[1] = colour[1];
      p[2] = colour[2];
    };
    for (int k = 0; k < 2; ++k) {
      for (int32_t x = l; x <= r; ++x) put(x, t + k), put(x, b - k);
      for (int32_t y = t; y <= b; ++y) put(l + k, y), put(r - k, y);
    }
  }
}

void FrameHub::Encode() {
  tjhandle tj = tjInitCompress();
  std::vector<unsigned char> out(tjBufSize(kMaxSide, kMaxSide, TJSAMP_420));
  while (true) {
    int32_t factor;
    {
      std::unique_lock<std::mutex> lock(slotMutex_);
      slotReady_.wait(lock, [this] { return fresh_ || stopping_; });
      if (stopping_) break;
      std::swap(read_, ready_);
      std::swap(readFactor_, readyFactor_);
      fresh_ = false;
      factor = readFactor_;
    }
    Slot& s = slots_[read_];
    DrawOverlay(s, factor);
    const auto t0 = std::chrono::steady_clock::now();
    unsigned char* buffer = out.data();
    unsigned long size = out.size();
    if (tj == nullptr ||
        tjCompress2(tj, s.rgb.data(), s.width, 0, s.height, TJPF_RGB, &buffer, &size, TJSAMP_420,
                    kQuality, TJFLAG_FASTDCT | TJFLAG_NOREALLOC) != 0) {
      continue;
    }
    encodeMicros_ += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count());
    auto jpeg = std::make_shared<const std::string>(reinterpret_cast<const char*>(buffer), size);
    ++framesEncoded_;
    width_ = s.width;
    height_ = s.height;
    {
      std::lock_guard<std::mutex> lock(jpegMutex_);
      jpeg_ = std::move(jpeg);
      ++seq_;
    }
    jpegReady_.notify_all();
  }
  if (tj != nullptr) tjDestroy(tj);
}

std::shared_ptr<const std::string> FrameHub::Next(uint64_t* seq, uint32_t waitMs) {
  std::unique_lock<std::mutex> lock(jpegMutex_);
  if (!jpegReady_.wait_for(lock, std::chrono::milliseconds(waitMs),
                           [&] { return seq_ > *seq && jpeg_; })) {
    return nullptr;
  }
  *seq = seq_;
  return jpeg_;
}

void FrameHub::WakeAll() {
  jpegReady_.notify_all();
}

FrameHub::Stats FrameHub::GetStats() const {
  return {framesSeen_.load(), framesEncoded_.load(), encodeMicros_.load(), width_.load(),
          height_.load()};
}

}  // namespace ocuvant::web
