// The dispatch surface: one table of (DISPID, name, kind, argument and result
// types) for every method and property of _DOcuvant and every event of
// _DOcuvantEvents. Argument and result types are derived from the typed C++
// interface (COcuvantCtrl's methods, EventSink's virtuals), so the table and the
// typed interface cannot disagree; Invoke serves the generic form from it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "control/value.h"

namespace ocuvant::control {

class COcuvantCtrl;

enum class MemberKind : uint8_t { Method, Property, Event };

struct DispatchEntry {
  int32_t dispid;
  const char* name;
  MemberKind kind;
  ValueType type;  // method: result; property: its type; event: void
  const ValueType* args;
  uint8_t argCount;
  const char* argNames;                             // comma-separated
  Value (*call)(COcuvantCtrl&, const Value* args);  // method, or property get
  void (*put)(COcuvantCtrl&, const Value& value);   // property put
};

// Methods and properties first, then events (DISPIDs are unique within each group).
std::span<const DispatchEntry> DispatchTable();

// A method or property by DISPID or name (case-sensitive); null when there is none.
const DispatchEntry* FindMember(int32_t dispid);
const DispatchEntry* FindMember(std::string_view name);
// An event by DISPID or name.
const DispatchEntry* FindEvent(int32_t dispid);
const DispatchEntry* FindEvent(std::string_view name);

}  // namespace ocuvant::control
