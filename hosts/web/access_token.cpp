#include "hosts/web/access_token.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>

namespace ocuvant::web {

std::string NewAccessToken() {
  uint8_t bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    got += static_cast<size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (uint8_t b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

bool TokenEquals(std::string_view given, std::string_view expected) {
  if (given.size() != expected.size() || expected.empty()) return false;
  unsigned diff = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    diff |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(expected[i]);
  }
  return diff == 0;
}

}  // namespace ocuvant::web
