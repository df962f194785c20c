#include "control/value.h"

namespace ocuvant::control {

const char* TypeName(ValueType t) {
  switch (t) {
    case ValueType::Void:
      return "void";
    case ValueType::Int32:
      return "int32";
    case ValueType::String:
      return "string";
    case ValueType::Int32Ptr:
      return "int32 pointer";
  }
  return "?";
}

}  // namespace ocuvant::control
