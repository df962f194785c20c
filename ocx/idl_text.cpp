#include "ocx/idl_text.h"

#include <string_view>

#include "control/dispatch_table.h"

namespace ocuvant::ocx {

namespace {

using control::DispatchEntry;
using control::MemberKind;
using control::ValueType;

const char* IdlType(ValueType t) {
  switch (t) {
    case ValueType::Void:
      return "void";
    case ValueType::Int32:
      return "long";
    case ValueType::String:
      return "BSTR";
    case ValueType::Int32Ptr:
      return "long*";
  }
  return "void";
}

std::string Signature(const DispatchEntry& e) {
  std::string out = std::string("            [id(") + std::to_string(e.dispid) + ")] " +
                    IdlType(e.type) + " " + e.name + "(";
  std::string_view names = e.argNames;
  for (uint8_t i = 0; i < e.argCount; ++i) {
    const size_t comma = names.find(',');
    const std::string_view name = names.substr(0, comma);
    out += std::string(i == 0 ? "" : ", ") + IdlType(e.args[i]) + " " + std::string(name);
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
  }
  return out + ");\n";
}

}  // namespace

std::string IdlFromDispatchTable() {
  std::string properties;
  std::string methods;
  std::string events;
  for (const DispatchEntry& e : control::DispatchTable()) {
    if (e.kind == MemberKind::Property) {
      properties += std::string("            [id(") + std::to_string(e.dispid) + ")] " +
                    IdlType(e.type) + " " + e.name + ";\n";
    } else if (e.kind == MemberKind::Method) {
      methods += Signature(e);
    } else {
      events += Signature(e);
    }
  }
  return R"(// Type library of the Ocuvant control. Written by ocx/tools/write_idl from the control's
// dispatch table; the Windows tests check that the two agree.
import "oaidl.idl";
import "ocidl.idl";

[ uuid(6F3A91C2-4B7D-4E15-9A2C-3D8E5B1F7A40), version(1.0), lcid(0x409),
  helpstring("Ocuvant ActiveX Control module"), control ]
library OCUVANTLib
{
    importlib("stdole2.tlb");

    [ uuid(A2C48E19-7F35-4B9A-8D61-2E4F9C0B3D57), helpstring("Dispatch interface for Ocuvant Control") ]
    dispinterface _DOcuvant
    {
        properties:
)" + properties +
         R"(        methods:
)" + methods +
         R"(    };

    [ uuid(5D9E2A73-C140-4F8B-B6E3-91A7D24C8E06), helpstring("Event interface for Ocuvant Control") ]
    dispinterface _DOcuvantEvents
    {
        properties:
        methods:
)" + events +
         R"(    };

    [ uuid(8B17F4D0-2E9C-4A63-95D8-6C0A3E7B21F9), helpstring("Ocuvant Control"), control ]
    coclass Ocuvant
    {
        [default] dispinterface _DOcuvant;
        [default, source] dispinterface _DOcuvantEvents;
    };

    [ uuid(E4A06B3C-91D7-4C28-A5F1-7B92D3E0C684), helpstring("Ocuvant Property Page") ]
    coclass OcuvantPropPage
    {
        interface IUnknown;
    };
};
)";
}

}  // namespace ocuvant::ocx
