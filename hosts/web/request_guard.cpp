#include "hosts/web/request_guard.h"

#include "hosts/web/access_token.h"

namespace ocuvant::web {
namespace {

// The value of cookie `name` in a Cookie header, or "".
std::string CookieValue(const std::string& header, const std::string& name) {
  size_t pos = 0;
  while (pos < header.size()) {
    while (pos < header.size() && (header[pos] == ' ' || header[pos] == ';')) ++pos;
    const size_t end = std::min(header.find(';', pos), header.size());
    const size_t eq = header.find('=', pos);
    if (eq < end && header.compare(pos, eq - pos, name) == 0) {
      return header.substr(eq + 1, end - eq - 1);
    }
    pos = end;
  }
  return {};
}

bool OwnAuthority(const std::string& value, int port, const char* prefix) {
  const std::string p = std::to_string(port);
  return value == prefix + ("127.0.0.1:" + p) || value == prefix + ("localhost:" + p);
}

}  // namespace

std::string CookieName(int port) {
  return "ocv_" + std::to_string(port);
}

GuardVerdict CheckRequest(const httplib::Request& req, const GuardConfig& config) {
  if (!OwnAuthority(req.get_header_value("Host"), config.port, "")) {
    return {421, "this server answers only to 127.0.0.1 and localhost on its port", false};
  }
  if (req.method == "OPTIONS") return {403, "cross-origin requests are not served", false};
  const bool hasOrigin = req.has_header("Origin");
  if (config.originChecks) {
    if (hasOrigin && !OwnAuthority(req.get_header_value("Origin"), config.port, "http://")) {
      return {403, "requests from other origins are refused", false};
    }
    const std::string site = req.get_header_value("Sec-Fetch-Site");
    if (!site.empty() && site != "same-origin" && site != "none") {
      return {403, "requests from other sites are refused", false};
    }
  }
  const std::string auth = req.get_header_value("Authorization");
  const bool bearer = auth.starts_with("Bearer ") && TokenEquals(auth.substr(7), config.token);
  if (req.method == "GET" && req.path == "/" && req.has_param("t")) {
    if (!TokenEquals(req.get_param_value("t"), config.token)) return {401, "wrong token", false};
    return {0, {}, true};
  }
  const bool cookie = TokenEquals(
      CookieValue(req.get_header_value("Cookie"), CookieName(config.port)), config.token);
  if (!bearer && !cookie) {
    return {401, "open the URL with the token that `ocuvant serve` printed", false};
  }
  if (req.method == "POST") {
    if (config.originChecks && !hasOrigin && !bearer) {
      return {403, "a POST needs an Origin or a Bearer token", false};
    }
    const std::string type = req.get_header_value("Content-Type");
    if (type != "application/json" && !type.starts_with("application/json;")) {
      return {415, "the body must be application/json", false};
    }
  } else if (req.method != "GET" && req.method != "HEAD") {
    return {405, "only GET and POST", false};
  }
  return {};
}

void AddSecurityHeaders(httplib::Response& res) {
  static const char* const kHeaders[][2] = {
      {"Cross-Origin-Resource-Policy", "same-origin"},
      {"Content-Security-Policy",
       "default-src 'self'; img-src 'self' data: blob:; frame-ancestors 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"Cache-Control", "no-store"},
      {"X-Frame-Options", "DENY"},
  };
  for (const auto& h : kHeaders) {
    if (!res.has_header(h[0])) res.set_header(h[0], h[1]);
  }
}

}  // namespace ocuvant::web
