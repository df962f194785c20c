// The shell's argument splitter: "call X a b {..}" arguments as "strings" (with
// backslash escapes kept), balanced {...} or [...] texts, or bare words.
#pragma once

#include <string>
#include <vector>

namespace ocuvant::host {

// Appends the arguments of `text` to `tokens`; false with a one-line reason for an
// unterminated string or an unbalanced {...}/[...] argument.
bool Tokenize(const std::string& text, std::vector<std::string>* tokens, std::string* error);

}  // namespace ocuvant::host
