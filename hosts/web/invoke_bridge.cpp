#include "hosts/web/invoke_bridge.h"

#include <json/json.h>

#include <cstring>
#include <limits>

#include "control/kind_state.h"
#include "hosts/ocuvant/json_line.h"

namespace ocuvant::web {
namespace {

using control::DispatchEntry;
using control::Value;
using control::ValueType;
using host::Cat;
using host::JsonString;
using host::SplitNames;

constexpr size_t kTemplateInts = 512 / 4;

bool ParseBody(const std::string& body, Json::Value* root, std::string* error) {
  Json::CharReaderBuilder builder;
  builder["failIfExtra"] = true;
  builder["rejectDupKeys"] = true;
  builder["stackLimit"] = 20;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  try {
    if (reader->parse(body.data(), body.data() + body.size(), root, &errors)) return true;
  } catch (const std::exception& e) {
    errors = e.what();
  }
  *error = "the body is not JSON: " + errors;
  while (!error->empty() && (error->back() == '\n' || error->back() == ' ')) error->pop_back();
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsInt32(const Json::Value& v) {
  // jsoncpp calls 3.0 an int too; only integers written as such are taken.
  return (v.type() == Json::intValue || v.type() == Json::uintValue) && v.isInt();
}

bool ToArray(const Json::Value& v, std::vector<int32_t>* ints, std::string* error) {
  if (v.isArray()) {
    ints->reserve(v.size());
    for (const Json::Value& item : v) {
      if (!IsInt32(item)) {
        *error = "expected an array of 32-bit integers";
        return false;
      }
      ints->push_back(item.asInt());
    }
    return true;
  }
  const std::string text = v.asString();
  if (text.size() % 8 != 0) {
    *error = "hexadecimal templates take 8 digits per 32-bit integer";
    return false;
  }
  ints->resize(text.size() / 8);
  auto* bytes = reinterpret_cast<uint8_t*>(ints->data());
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) {
      *error = "not a hexadecimal digit in the template text";
      return false;
    }
    bytes[i / 2] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return true;
}

bool ToValue(const Json::Value& v, ValueType type, BridgeCall* call, Value* out,
             std::string* error) {
  switch (type) {
    case ValueType::Int32:
      if (!IsInt32(v)) {
        *error = "expected a 32-bit integer";
        return false;
      }
      *out = static_cast<int32_t>(v.asInt());
      return true;
    case ValueType::String:
      if (!v.isString()) {
        *error = "expected a string";
        return false;
      }
      *out = v.asString();
      return true;
    case ValueType::Int32Ptr: {
      if (v.isNull()) {
        *out = static_cast<const int32_t*>(nullptr);
        return true;
      }
      if (!v.isArray() && !v.isString()) {
        *error = "expected null, an array of 32-bit integers or hexadecimal text";
        return false;
      }
      auto ints = std::make_shared<std::vector<int32_t>>();
      if (!ToArray(v, ints.get(), error)) return false;
      *out = static_cast<const int32_t*>(ints->empty() ? nullptr : ints->data());
      call->arrays.push_back(std::move(ints));
      return true;
    }
    case ValueType::Void:
      break;
  }
  *error = "no value can be given";
  return false;
}

// A pointer argument followed by NAME_Count must hold that many 512-byte templates.
bool CheckCounts(const DispatchEntry& e, const BridgeCall& call, std::string* error) {
  const std::vector<std::string> names = SplitNames(e.argNames);
  size_t array = 0;
  for (size_t i = 0; i < call.args.size(); ++i) {
    if (e.args[i] != ValueType::Int32Ptr) continue;
    const size_t have = array < call.arrays.size() && std::get<const int32_t*>(call.args[i])
                            ? call.arrays[array++]->size()
                            : 0;
    if (i + 1 >= call.args.size() || i + 1 >= names.size() ||
        names[i + 1] != Cat(names[i], "_Count")) {
      continue;
    }
    const int32_t count = std::get<int32_t>(call.args[i + 1]);
    if (count < 0) {
      *error = Cat(names[i + 1], " must not be negative");
      return false;
    }
    if (static_cast<size_t>(count) * kTemplateInts > have) {
      *error = Cat(names[i + 1], " is ", std::to_string(count), " templates but ", names[i],
                   " holds ", std::to_string(have / kTemplateInts));
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseBridgeCall(const std::string& body, BridgeCall* call, std::string* error) {
  Json::Value root;
  if (!ParseBody(body, &root, error)) return false;
  if (!root.isObject()) {
    *error = "the body must be an object {\"name\": ..., \"args\": [...]}";
    return false;
  }
  for (const std::string& key : root.getMemberNames()) {
    if (key != "name" && key != "args") {
      *error = Cat("unknown key '", key, "' (name, args)");
      return false;
    }
  }
  const Json::Value& name = root["name"];
  if (name.isString()) {
    call->entry = control::FindMember(name.asString());
    if (call->entry == nullptr) {
      *error = Cat("unknown member '", name.asString(), "'",
                   control::FindEvent(name.asString()) ? " (an event cannot be invoked)" : "");
      return false;
    }
  } else if (IsInt32(name)) {
    call->entry = control::FindMember(name.asInt());
    if (call->entry == nullptr) {
      *error = Cat("no member with DISPID ", std::to_string(name.asInt()));
      return false;
    }
  } else {
    *error = "\"name\" must be a member name or a DISPID";
    return false;
  }
  const Json::Value& args = root["args"];
  if (!args.isNull() && !args.isArray()) {
    *error = "\"args\" must be an array";
    return false;
  }
  const DispatchEntry& e = *call->entry;
  const size_t given = args.size();
  if (e.kind == control::MemberKind::Property) {
    if (given > 1) {
      *error = Cat(e.name, " is a property: no argument to read it, one to set it; got ",
                   std::to_string(given));
      return false;
    }
    call->kind = given == 0 ? control::InvokeKind::PropertyGet : control::InvokeKind::PropertyPut;
  } else {
    call->kind = control::InvokeKind::Method;
    if (given != e.argCount) {
      *error = Cat(e.name, " takes ", std::to_string(e.argCount), " argument(s), got ",
                   std::to_string(given));
      return false;
    }
  }
  for (Json::ArrayIndex i = 0; i < given; ++i) {
    const ValueType type = call->kind == control::InvokeKind::PropertyPut ? e.type : e.args[i];
    Value v;
    std::string why;
    if (!ToValue(args[i], type, call, &v, &why)) {
      *error = Cat(e.name, " argument ", std::to_string(i + 1), ": ", why);
      return false;
    }
    call->args.push_back(std::move(v));
  }
  return call->kind != control::InvokeKind::Method || CheckCounts(e, *call, error);
}

std::string ResultJson(const control::InvokeResult& result) {
  if (!result.ok()) {
    return Cat("{\"error\":", JsonString(result.error),
               ",\"code\":", std::to_string(static_cast<int32_t>(result.hr)), "}");
  }
  std::string value = "null";
  if (const auto* i = std::get_if<int32_t>(&result.value)) value = std::to_string(*i);
  if (const auto* s = std::get_if<std::string>(&result.value)) value = JsonString(*s);
  return Cat("{\"result\":", value, "}");
}

std::string ErrorJson(const std::string& error) {
  return Cat("{\"error\":", JsonString(error), "}");
}

std::string EventJson(int32_t dispid, const char* name, const std::vector<Value>& args) {
  const DispatchEntry* e = control::FindEvent(name);
  const std::vector<std::string> names = SplitNames(e ? e->argNames : "");
  std::string out =
      Cat("{\"dispid\":", std::to_string(dispid), ",\"name\":", JsonString(name), ",\"args\":{");
  static constexpr char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out += ',';
    out += JsonString(i < names.size() ? names[i] : Cat("arg", std::to_string(i + 1)));
    out += ':';
    const Value& v = args[i];
    if (const auto* n = std::get_if<int32_t>(&v)) {
      out += std::to_string(*n);
    } else if (const auto* s = std::get_if<std::string>(&v)) {
      out += JsonString(*s);
    } else if (const auto* p = std::get_if<const int32_t*>(&v); p && *p) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(*p);
      out += '"';
      for (size_t b = 0; b < control::kTemplateAreaBytes; ++b) {
        out += kHex[bytes[b] >> 4];
        out += kHex[bytes[b] & 15];
      }
      out += '"';
    } else {
      out += "null";
    }
  }
  out += "}}";
  return out;
}

}  // namespace ocuvant::web
