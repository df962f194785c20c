#include "hosts/ocuvant/enrollment_file.h"

#include <json/json.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace ocuvant::host {
namespace {

constexpr const char* kFormat = "ocuvant-enrollment";
constexpr int kVersion = 1;
constexpr const char* kEyeNames[2] = {"left", "right"};

std::string ToHex(const TemplateArea& area) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(area.size() * 2);
  for (uint8_t b : area) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(const std::string& hex, TemplateArea* area) {
  if (hex.size() != area->size() * 2) return false;
  for (size_t i = 0; i < area->size(); ++i) {
    const int hi = HexDigit(hex[2 * i]);
    const int lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    (*area)[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

}  // namespace

std::string EnrollmentToJson(const Enrollment& e) {
  Json::Value root(Json::objectValue);
  root["format"] = kFormat;
  root["version"] = kVersion;
  root["label"] = e.label;
  Json::Value kinds(Json::objectValue);
  for (const auto& [kind, eyes] : e.templates) {
    Json::Value byEye(Json::objectValue);
    for (const auto& [eye, area] : eyes) byEye[kEyeNames[eye & 1]] = ToHex(area);
    kinds[kind] = byEye;
  }
  root["templates"] = kinds;
  Json::StreamWriterBuilder w;
  w["indentation"] = " ";
  // Labels and kind names are written byte for byte (only control characters escaped),
  // so that any label, UTF-8 or not, reads back as it was.
  w["emitUTF8"] = true;
  return Json::writeString(w, root) + "\n";
}

bool EnrollmentFromJson(const std::string& text, Enrollment* e, std::string* error) {
  Json::CharReaderBuilder b;
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  Json::Value root;
  std::string errs;
  bool parsed = false;
  try {
    parsed = reader->parse(text.data(), text.data() + text.size(), &root, &errs);
  } catch (const Json::Exception&) {  // nesting beyond the reader's stack limit
    parsed = false;
  }
  if (!parsed || !root.isObject()) {
    *error = "not a JSON object";
    return false;
  }
  if (!root["format"].isString() || root["format"].asString() != kFormat) {
    *error = "not an ocuvant enrollment file";
    return false;
  }
  if (!root["version"].isInt() || root["version"].asInt() != kVersion) {
    *error = "unsupported enrollment file version";
    return false;
  }
  const Json::Value& label = root["label"];
  if (!label.isNull() && !label.isString()) {
    *error = "\"label\" is not a string";
    return false;
  }
  e->label = label.isString() ? label.asString() : "";
  e->templates.clear();
  const Json::Value& kinds = root["templates"];
  if (!kinds.isObject()) {
    *error = "\"templates\" is missing";
    return false;
  }
  for (const std::string& kind : kinds.getMemberNames()) {
    const Json::Value& eyes = kinds[kind];
    if (!eyes.isObject()) {
      *error = "templates of " + kind + " are not an object";
      return false;
    }
    for (int eye = 0; eye < 2; ++eye) {
      const Json::Value& hex = eyes[kEyeNames[eye]];
      if (hex.isNull()) continue;
      TemplateArea area{};
      if (!hex.isString() || !FromHex(hex.asString(), &area)) {
        *error = "template " + kind + "/" + kEyeNames[eye] + " is not 2048 hexadecimal digits";
        return false;
      }
      e->templates[kind][eye] = area;
    }
  }
  return true;
}

bool WriteEnrollmentFile(const std::string& path, const Enrollment& e, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << EnrollmentToJson(e);
  out.close();
  if (!out) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ReadEnrollmentFile(const std::string& path, Enrollment* e, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!EnrollmentFromJson(text.str(), e, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace ocuvant::host
