// Derives dispatch entries from member-function pointers (used by the table only).
#pragma once

#include <utility>

#include "control/dispatch_table.h"

namespace ocuvant::control::detail {

template <auto F>
struct Signature;

template <typename C, typename R, typename... A, R (C::*F)(A...)>
struct Signature<F> {
  using Result = R;
  static constexpr ValueType kArgs[sizeof...(A) + 1] = {DispatchTypeOf<A>()..., ValueType::Void};
  static constexpr uint8_t kCount = sizeof...(A);

  // Arguments have been checked against kArgs.
  static Value Call(C& object, const Value* args) {
    return [&]<size_t... I>(std::index_sequence<I...>)->Value {
      if constexpr (std::is_void_v<R>) {
        (object.*F)(FromValue<A>(args[I])...);
        return Value{};
      } else {
        return Value((object.*F)(FromValue<A>(args[I])...));
      }
    }
    (std::index_sequence_for<A...>{});
  }
};

template <typename C, typename R, R (C::*F)() const>
struct Signature<F> {
  using Result = R;
  static Value Call(const C& object, const Value*) { return Value((object.*F)()); }
};

template <auto F>
constexpr DispatchEntry Method(int32_t dispid, const char* name, const char* argNames) {
  using S = Signature<F>;
  return {dispid,   name,      MemberKind::Method, DispatchTypeOf<typename S::Result>(),
          S::kArgs, S::kCount, argNames,           &S::Call,
          nullptr};
}

template <auto Get, auto Put>
constexpr DispatchEntry Property(int32_t dispid, const char* name) {
  using G = Signature<Get>;
  using P = Signature<Put>;
  static_assert(P::kCount == 1 && P::kArgs[0] == DispatchTypeOf<typename G::Result>(),
                "property get and put disagree on the type");
  return {dispid,
          name,
          MemberKind::Property,
          DispatchTypeOf<typename G::Result>(),
          P::kArgs,
          1,
          "",
          [](COcuvantCtrl& c, const Value* a) { return G::Call(c, a); },
          [](COcuvantCtrl& c, const Value& v) { P::Call(c, &v); }};
}

template <auto F>
constexpr DispatchEntry Event(int32_t dispid, const char* name, const char* argNames) {
  using S = Signature<F>;
  return {dispid,    name,     MemberKind::Event, ValueType::Void, S::kArgs,
          S::kCount, argNames, nullptr,           nullptr};
}

}  // namespace ocuvant::control::detail
