// The checks every request to the loopback server passes before any handler runs:
// the Host header names this server (against DNS rebinding), an Origin and the fetch
// metadata say the request comes from this server's own page (against other local
// pages), the access token is present (cookie from the token URL, or a Bearer
// header), no CORS preflight, and a POST carries a JSON body.
#pragma once

#include <httplib.h>

#include <string>

namespace ocuvant::web {

struct GuardConfig {
  int port = 0;
  std::string token;
  bool originChecks = true;  // off only for diagnosis (--no-origin-checks)
};

struct GuardVerdict {
  int status = 0;          // 0: let the request through
  std::string reason;      // for the answer's body
  bool setCookie = false;  // the token URL: set the cookie and redirect to /
};

// The cookie that carries the token: one per port, so two servers do not overwrite
// each other's.
std::string CookieName(int port);
GuardVerdict CheckRequest(const httplib::Request& req, const GuardConfig& config);
// The headers every answer carries (no framing by others, no sniffing, no caching,
// no reading by other origins).
void AddSecurityHeaders(httplib::Response& res);

}  // namespace ocuvant::web
