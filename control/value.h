// Values crossing the generic dispatch boundary (Invoke and the generic event form).
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>

namespace ocuvant::control {

enum class ValueType : uint8_t { Void, Int32, String, Int32Ptr };

// Void is std::monostate; Int32Ptr points at host or control memory it does not own.
using Value = std::variant<std::monostate, int32_t, std::string, const int32_t*>;

inline ValueType TypeOf(const Value& v) {
  return static_cast<ValueType>(v.index());
}
const char* TypeName(ValueType t);

// The dispatch type of a C++ parameter or result type.
template <typename T>
constexpr ValueType DispatchTypeOf() {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_void_v<U>)
    return ValueType::Void;
  else if constexpr (std::is_same_v<U, int32_t>)
    return ValueType::Int32;
  else if constexpr (std::is_same_v<U, std::string>)
    return ValueType::String;
  else if constexpr (std::is_same_v<U, const int32_t*>)
    return ValueType::Int32Ptr;
  else
    static_assert(!sizeof(U), "type has no dispatch form");
}

// A C++ argument from a Value already checked to hold the matching type.
template <typename T>
decltype(auto) FromValue(const Value& v) {
  using U = std::remove_cvref_t<T>;
  return std::get<U>(v);
}

}  // namespace ocuvant::control
