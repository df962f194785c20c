// The dispatch table over JSON: a request {"name": NAME or DISPID, "args": [...]}
// becomes one Invoke; a control event becomes one JSON object. Database pointers are
// given as null, an array of int32 or hexadecimal text (bytes in memory order), and
// are checked against the count that follows them, so the control never reads past
// what was sent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/dispatch_table.h"
#include "control/invoke.h"
#include "control/value.h"

namespace ocuvant::web {

struct BridgeCall {
  const control::DispatchEntry* entry = nullptr;
  control::InvokeKind kind = control::InvokeKind::Method;
  std::vector<control::Value> args;
  // Storage the pointer arguments point into; whoever keeps the call keeps them.
  std::vector<std::shared_ptr<const std::vector<int32_t>>> arrays;
};

// Parses and checks a request body. A property takes no argument (get) or one (put).
// False with the reason for a malformed body, an unknown member, an event, a wrong
// count or a wrong type.
bool ParseBridgeCall(const std::string& body, BridgeCall* call, std::string* error);

// {"result": VALUE} or {"error": TEXT, "code": HRESULT}.
std::string ResultJson(const control::InvokeResult& result);
std::string ErrorJson(const std::string& error);

// {"dispid":N,"name":NAME,"args":{ARG:VALUE,...}}; pointer arguments as the
// 1024-byte template area in hexadecimal (null for a null pointer).
std::string EventJson(int32_t dispid, const char* name, const std::vector<control::Value>& args);

}  // namespace ocuvant::web
