// Small JSON helpers of the host shell: one-line output with keys in a fixed order,
// and the argument forms it reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/value.h"

namespace ocuvant::host {

// Concatenation by appending (GCC 12 warns falsely on "literal" + std::string).
template <typename... P>
std::string Cat(const P&... parts) {
  std::string s;
  (s.append(std::string_view(parts)), ...);
  return s;
}

// A JSON string literal; bytes that are not valid UTF-8 become U+FFFD.
std::string JsonString(const std::string& text);
// Integers as numbers, strings as literals, void and null pointers as null, other
// pointers as an array of `pointerInts` integers.
std::string JsonValue(const control::Value& value, size_t pointerInts);

std::string Trim(const std::string& text);
// A whole decimal integer in the int32 range (optional sign).
bool ParseInt32(const std::string& text, int32_t* out);
// A JSON string literal ("a\"b").
bool ParseJsonString(const std::string& text, std::string* out);
// A JSON array of int32.
bool ParseIntArray(const std::string& text, std::vector<int32_t>* out);
std::vector<std::string> SplitNames(const char* commaSeparated);

}  // namespace ocuvant::host
