#include "hosts/ocuvant/json_line.h"

#include <json/json.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <memory>

namespace ocuvant::host {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t Utf8Length(const std::string& text, size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

bool ParseJson(const std::string& text, Json::Value* root) {
  Json::CharReaderBuilder builder;
  builder["failIfExtra"] = true;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  try {
    return reader->parse(text.data(), text.data() + text.size(), root, &errors);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  out += '"';
  return out;
}

std::string JsonValue(const control::Value& value, size_t pointerInts) {
  if (auto* i = std::get_if<int32_t>(&value)) return std::to_string(*i);
  if (auto* s = std::get_if<std::string>(&value)) return JsonString(*s);
  if (auto* p = std::get_if<const int32_t*>(&value); p && *p) {
    std::string out = "[";
    for (size_t k = 0; k < pointerInts; ++k) {
      if (k) out += ',';
      out += std::to_string((*p)[k]);
    }
    out += ']';
    return out;
  }
  return "null";
}

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

bool ParseInt32(const std::string& text, int32_t* out) {
  const char* b = text.data();
  const char* e = b + text.size();
  if (b != e && *b == '+') ++b;
  auto [ptr, ec] = std::from_chars(b, e, *out);
  return b != e && ec == std::errc() && ptr == e;
}

bool ParseJsonString(const std::string& text, std::string* out) {
  Json::Value root;
  if (!ParseJson(text, &root) || !root.isString()) return false;
  *out = root.asString();
  return true;
}

bool ParseIntArray(const std::string& text, std::vector<int32_t>* out) {
  Json::Value root;
  if (!ParseJson(text, &root) || !root.isArray()) return false;
  for (const Json::Value& v : root) {
    if (!v.isInt()) return false;
    out->push_back(v.asInt());
  }
  return true;
}

std::vector<std::string> SplitNames(const char* commaSeparated) {
  std::vector<std::string> names;
  std::string current;
  for (const char* c = commaSeparated; c && *c; ++c) {
    if (*c == ',') {
      names.push_back(current);
      current.clear();
    } else {
      current += *c;
    }
  }
  if (!current.empty()) names.push_back(current);
  return names;
}

}  // namespace ocuvant::host
