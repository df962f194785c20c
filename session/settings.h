// The configuration: the JSON held by the `Burger` property, parsed into a settings
// map at every session start, and the flags derived from it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace ocuvant::session {

inline constexpr const char* kDefaultBurger =
    "{\"log\":\"0\",\"save_raw\":\"0\",\"save_cacheraw\":\"0\",\"with_small_iris\":\"0\","
    "\"with_q5_iris\":\"0\",\"with_big_iris\":\"1\",\"iris_hid_ctl\":\"1\","
    "\"iris_with_bkcapture\":\"0\",\"iris_bkcapture_camera\":\"1\","
    "\"capture_realtime_iris\":\"0\"}";

inline constexpr const char* kDefaultIrisCameraParams =
    "{\"camera_brightness\":\"8\",\"camera_contrast\":\"46\",\"camera_hue\":\"0\","
    "\"camera_saturation\":\"56\",\"camera_sharpness\":\"5\",\"camera_gamma\":\"3\","
    "\"camera_gain\":\"50\",\"camera_backlight\":\"400\"}";

// Keys read from the configuration, in the order they are taken over.
inline constexpr const char* kSettingKeys[] = {"log",
                                               "save_raw",
                                               "save_cacheraw",
                                               "with_big_iris",
                                               "with_small_iris",
                                               "with_q5_iris",
                                               "capture_realtime_iris",
                                               "iris_hid_ctl",
                                               "iris_with_bkcapture",
                                               "iris_bkcapture_camera",
                                               "iris_camera_id"};

// Tag of the configuration's log lines.
inline constexpr const char* kSettingsLogTag = "305参数";

// An immutable settings map (key -> text). Built whole, then published.
class Settings {
 public:
  using Map = std::map<std::string, std::string, std::less<>>;
  Settings() = default;
  explicit Settings(Map values) : values_(std::move(values)) {}

  const std::string* Find(std::string_view key) const;
  // The key is present and its text is exactly "1".
  bool IsOne(std::string_view key) const;
  // Integer value of the key (0 when absent), read as ReadSettingInt does.
  int32_t Int(std::string_view key) const;
  bool Empty() const { return values_.empty(); }
  const Map& Values() const { return values_; }

 private:
  Map values_;
};

// The control's current settings. Readers on any thread get a complete map: a
// parse builds a new one and swaps it in. A plain mutex guards the pointer: the
// library's atomic shared_ptr releases its reader lock without ordering, which the
// thread sanitizer rightly reports as a race with the next swap.
class SettingsStore {
 public:
  SettingsStore();
  std::shared_ptr<const Settings> Load() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
  }
  void Replace(std::shared_ptr<const Settings> settings) {
    std::lock_guard<std::mutex> lock(mutex_);
    current_.swap(settings);  // the old map is released after the lock
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const Settings> current_;
};

// Decimal integer as the configuration reads it: leading white space, an optional
// sign, digits up to the first other character; no number reads as 0. Values
// beyond the int32 range saturate.
int32_t ReadSettingInt(std::string_view text);

// White space removed from both ends.
std::string TrimBlanks(std::string_view text);

// What a parse reads and writes: the control's fields, by reference.
struct SettingsTarget {
  std::string& burger;        // trimmed in place
  std::string& cameraIdIris;  // set from "iris_camera_id" or the default fragment
  const std::string& defaultIrisCameraId;
  std::atomic<int32_t>& logEnabled;
  std::atomic<int32_t>& saveRaw;
  std::atomic<bool>& irisHidCtl;
  std::atomic<bool>& withQ5;
  std::atomic<bool>& withBig;
  std::atomic<bool>& withSmall;
  std::atomic<bool>& withBkCapture;
  std::atomic<int32_t>& bkCaptureCamera;
  SettingsStore& settings;
};

// 1 when the configuration is usable (exactly one template kind enabled), -1
// otherwise. An empty configuration changes nothing and gives 1. Text that is not
// a JSON object, or whose read keys hold an object, an array or a fractional
// number, is refused like text that is not JSON: the map becomes empty and every
// kind disabled. Integral numbers and booleans are taken as their text ("7",
// "1"/"0").
int32_t ParseSettings(const SettingsTarget& target);

}  // namespace ocuvant::session
