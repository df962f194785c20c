// Camera-parameter JSON applied to the bound device's image settings.
#include <json/json.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>

#include "capture/capture_hooks.h"
#include "capture/capture_video.h"
#include "platform/message_box.h"

namespace ocuvant::capture {
namespace {

struct ProcAmpKey {
  const char* key;
  ProcAmpProperty property;
  const char* name;
};

// Applied in this order.
constexpr ProcAmpKey kProcAmpKeys[] = {
    {"camera_brightness", ProcAmpProperty::Brightness, "Brightness"},
    {"camera_contrast", ProcAmpProperty::Contrast, "Contrast"},
    {"camera_hue", ProcAmpProperty::Hue, "Hue"},
    {"camera_saturation", ProcAmpProperty::Saturation, "Saturation"},
    {"camera_sharpness", ProcAmpProperty::Sharpness, "Sharpness"},
    {"camera_gamma", ProcAmpProperty::Gamma, "Gamma"},
    {"camera_whitebalance_auto", ProcAmpProperty::WhiteBalance, "WhiteBalance"},
    {"camera_backlight", ProcAmpProperty::BacklightCompensation, "Backlight"},
    {"camera_gain", ProcAmpProperty::Gain, "Gain"},
};
constexpr char kExposureAutoKey[] = "camera_exposure_auto";
constexpr char kExposureManualKey[] = "camera_exposure_manual_val";

// Decimal text to integer: leading white space and a sign allowed, stops at the first
// non-digit, no digits give 0; values beyond 32 bits saturate.
int32_t TextToInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int32_t>(value);
}

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

// A recognised key's value as text: strings as they are, numbers in their decimal
// form; null, booleans, arrays and objects leave the key out.
bool ValueText(const Json::Value& root, const char* key, std::string* out) {
  const Json::Value* v = root.find(key, key + std::char_traits<char>::length(key));
  if (v == nullptr || v->isNull()) return false;
  if (!v->isString() && !v->isNumeric()) return false;
  *out = v->asString();
  return true;
}

bool ParseObject(const std::string& text, Json::Value* root) {
  Json::CharReaderBuilder builder;
  builder["allowComments"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  try {
    if (!reader->parse(text.data(), text.data() + text.size(), root, &errors)) return false;
  } catch (const std::exception&) {  // nesting limits are reported by exception
    return false;
  }
  return root->isObject();
}

}  // namespace

bool CCaptureVideo::ApplyCameraParams(const std::string& text) {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  return ApplyCameraParamsLocked(text);
}

bool CCaptureVideo::ApplyCameraParamsLocked(const std::string& text) {
  if (!m_source) return false;
  VideoProcAmp* amp = m_source->ProcAmp();
  if (amp == nullptr) {
    platform::ShowMessageBox("Gain failed", "Ocuvant");
    return false;
  }
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return true;
  Json::Value root;
  if (!ParseObject(trimmed, &root)) return true;  // nothing recognised, nothing written

  std::string value;
  for (const ProcAmpKey& k : kProcAmpKeys) {
    if (ValueText(root, k.key, &value)) {
      ApplyProcAmpProperty(amp, k.property, k.name, TextToInt(value));
    }
  }
  const int32_t exposureAuto =
      ValueText(root, kExposureAutoKey, &value) ? TextToInt(value) : NoChange;
  const int32_t exposureManual =
      ValueText(root, kExposureManualKey, &value) ? TextToInt(value) : NoChange;
  if (exposureAuto == NoChange && exposureManual == NoChange) return true;

  CameraControl* control = m_source->CameraControls();
  if (control == nullptr) return true;
  PropertyRange range;
  if (!control->GetRange(CameraControlProperty::Exposure, &range)) {
    LogIfEnabled("获取相机曝光信息失败", "capture");
    return true;
  }
  if (exposureAuto == 1) {
    if (!control->Set(CameraControlProperty::Exposure, range.defaultValue, kPropertyFlagAuto)) {
      LogIfEnabled("设置自动曝光值失败", "capture");
    }
  } else if (!control->Set(CameraControlProperty::Exposure, exposureManual, kPropertyFlagManual)) {
    LogIfEnabled("设置手动曝光值失败", "capture");
  }
  return true;
}

int32_t CCaptureVideo::ApplyProcAmpProperty(VideoProcAmp* amp, ProcAmpProperty property,
                                            const char* name, int32_t value) {
  PropertyRange range;
  if (amp == nullptr || !amp->GetRange(property, &range)) {
    char text[128];
    std::snprintf(text, sizeof text, "获取相机%s信息失败", name != nullptr ? name : "");
    LogIfEnabled(text, "capture");
    return -1;
  }
  int32_t current = 0, flags = 0;
  if (!amp->Get(property, &current, &flags)) return -2;
  if (value == NoChange) return 0;
  if (value > range.maximum || value < range.minimum) return -3;
  return amp->Set(property, value, kPropertyFlagManual) ? 1 : -4;
}

}  // namespace ocuvant::capture
