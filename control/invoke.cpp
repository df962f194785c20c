#include "control/invoke.h"

#include "control/dispatch_table.h"

namespace ocuvant::control {
namespace {

InvokeResult Refuse(HRESULT hr, std::string error) {
  return {hr, Value{}, std::move(error)};
}

InvokeResult InvokeEntry(COcuvantCtrl& control, const DispatchEntry& e, InvokeKind kind,
                         const std::vector<Value>& args) {
  const std::string name = e.name;
  if (e.kind == MemberKind::Method && kind != InvokeKind::Method) {
    return Refuse(DISP_E_MEMBERNOTFOUND, name + " is a method, not a property");
  }
  if (e.kind == MemberKind::Property && kind == InvokeKind::Method) {
    return Refuse(DISP_E_MEMBERNOTFOUND, name + " is a property, not a method");
  }
  const size_t expected = kind == InvokeKind::PropertyGet ? 0 : e.argCount;
  if (args.size() != expected) {
    return Refuse(DISP_E_BADPARAMCOUNT, name + " takes " + std::to_string(expected) +
                                            " argument(s), got " + std::to_string(args.size()));
  }
  for (size_t i = 0; i < expected; ++i) {
    if (TypeOf(args[i]) != e.args[i]) {
      return Refuse(DISP_E_TYPEMISMATCH, name + " argument " + std::to_string(i + 1) +
                                             ": expected " + TypeName(e.args[i]) + ", got " +
                                             TypeName(TypeOf(args[i])));
    }
  }
  if (kind == InvokeKind::PropertyPut) {
    e.put(control, args[0]);
    return {};
  }
  return {S_OK, e.call(control, args.data()), {}};
}

}  // namespace

InvokeResult Invoke(COcuvantCtrl& control, int32_t dispid, InvokeKind kind,
                    const std::vector<Value>& args) {
  const DispatchEntry* e = FindMember(dispid);
  if (e == nullptr) return Refuse(DISP_E_MEMBERNOTFOUND, "no member " + std::to_string(dispid));
  return InvokeEntry(control, *e, kind, args);
}

InvokeResult Invoke(COcuvantCtrl& control, std::string_view name, InvokeKind kind,
                    const std::vector<Value>& args) {
  const DispatchEntry* e = FindMember(name);
  if (e == nullptr) {
    const bool event = FindEvent(name) != nullptr;
    return Refuse(DISP_E_UNKNOWNNAME, "unknown member '" + std::string(name) + "'" +
                                          (event ? " (an event cannot be invoked)" : ""));
  }
  return InvokeEntry(control, *e, kind, args);
}

}  // namespace ocuvant::control
