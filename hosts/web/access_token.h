// The per-run secret of the loopback server: 128 random bits as 32 hex digits, shown
// once in the URL the server prints; compared in constant time.
#pragma once

#include <string>
#include <string_view>

namespace ocuvant::web {

// A fresh token from the kernel's random source; empty when none could be read.
std::string NewAccessToken();
// Equal length and bytes, in time independent of where they differ.
bool TokenEquals(std::string_view given, std::string_view expected);

}  // namespace ocuvant::web
