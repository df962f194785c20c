#include "session/settings.h"

#include <json/json.h>

#include <cctype>
#include <limits>
#include <memory>

#include "session/log.h"

namespace ocuvant::session {

namespace {

bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// A member of a read key as text; false when the value cannot stand for a setting.
bool MemberText(const Json::Value& v, std::string* out) {
  switch (v.type()) {
    case Json::stringValue:
      *out = v.asString();
      return true;
    case Json::intValue:
      *out = std::to_string(v.asLargestInt());
      return true;
    case Json::uintValue:
      *out = std::to_string(v.asLargestUInt());
      return true;
    case Json::booleanValue:
      out->assign(1, v.asBool() ? '1' : '0');
      return true;
    case Json::realValue:
      if (v.isIntegral()) {  // 1.0 and 1e2 are whole numbers
        *out = std::to_string(v.asLargestInt());
        return true;
      }
      return false;
    default:  // object, array (null is skipped before)
      return false;
  }
}

// Parses the text into a map of the read keys; false when the text is refused.
bool BuildMap(const std::string& text, Settings::Map* map) {
  Json::CharReaderBuilder builder;
  builder["allowComments"] = true;
  builder["failIfExtra"] = true;  // "{...} junk" is not a configuration
  Json::Value root;
  std::string errors;
  try {
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) return false;
  } catch (const std::exception&) {  // nesting deeper than the reader's limit
    return false;
  }
  if (!root.isObject()) return false;
  for (const char* key : kSettingKeys) {
    const Json::Value* member = root.find(key, key + std::char_traits<char>::length(key));
    if (member == nullptr || member->isNull()) continue;
    std::string value;
    if (!MemberText(*member, &value)) return false;
    map->emplace(key, std::move(value));
  }
  return true;
}

}  // namespace

SettingsStore::SettingsStore() : current_(std::make_shared<const Settings>()) {}

const std::string* Settings::Find(std::string_view key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

bool Settings::IsOne(std::string_view key) const {
  const std::string* v = Find(key);
  return v != nullptr && *v == "1";
}

int32_t Settings::Int(std::string_view key) const {
  const std::string* v = Find(key);
  return v == nullptr ? 0 : ReadSettingInt(*v);
}

int32_t ReadSettingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value == kLimit ? kLimit - 1 : value);
}

std::string TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

int32_t ParseSettings(const SettingsTarget& t) {
  t.burger = TrimBlanks(t.burger);
  if (t.burger.empty()) return 1;  // the last parse stays in force
  LogIfEnabled(t.burger, kSettingsLogTag);

  Settings::Map map;
  if (!BuildMap(t.burger, &map)) map.clear();
  auto settings = std::make_shared<const Settings>(std::move(map));
  t.settings.Replace(settings);
  const Settings& s = *settings;

  if (s.Find("log")) t.logEnabled = s.Int("log");
  if (s.Find("save_raw")) t.saveRaw = s.Int("save_raw");

  const std::string* hid = s.Find("iris_hid_ctl");
  if (hid == nullptr) {
    t.irisHidCtl = true;
  } else {
    std::string trimmed = TrimBlanks(*hid);
    t.irisHidCtl = trimmed.empty() || ReadSettingInt(trimmed) == 1;
  }

  const std::string* cameraId = s.Find("iris_camera_id");
  t.cameraIdIris = cameraId ? *cameraId : t.defaultIrisCameraId;

  if (s.Find("iris_with_bkcapture")) t.withBkCapture = s.Int("iris_with_bkcapture") != 0;
  if (s.Find("iris_bkcapture_camera")) {
    int32_t camera = s.Int("iris_bkcapture_camera");
    t.bkCaptureCamera = (camera == 1 || camera == 2) ? camera : 1;
  }

  // An empty map disables every kind: nothing says "1".
  t.withQ5 = s.IsOne("with_q5_iris");
  t.withBig = s.IsOne("with_big_iris");
  t.withSmall = s.IsOne("with_small_iris");

  if (t.withQ5) LogIfEnabled("Q5虹膜", kSettingsLogTag);
  if (t.withBig) LogIfEnabled("BIG虹膜", kSettingsLogTag);
  if (t.withSmall) LogIfEnabled("SMALL虹膜", kSettingsLogTag);

  int enabled = int{t.withQ5} + int{t.withBig} + int{t.withSmall};
  return enabled == 1 ? 1 : -1;
}

}  // namespace ocuvant::session
