// A web server on the simulator with an HTTP client that carries the token.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <functional>
#include <memory>
#include <string>

#include "hosts/ocuvant/simulated_devices.h"
#include "hosts/web/control_thread.h"
#include "hosts/web/event_stream.h"
#include "hosts/web/web_server.h"

namespace ocuvant::web::testing {

struct Reply {
  int status = 0;
  Json::Value json;
  std::string body;
};

class WebFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Host() const { return "127.0.0.1:" + std::to_string(server->Port()); }
  httplib::Headers Auth() const { return {{"Authorization", "Bearer " + server->Token()}}; }
  // POST /api/invoke with `body`, authorised by the Bearer token.
  Reply Post(const std::string& body, httplib::Headers headers = {});
  Reply Call(const std::string& name, const std::string& argsJson = "[]");
  Reply Get(const std::string& path, httplib::Headers headers = {});
  // Reads GET `path` (a stream) until `done(text so far)` or `seconds` passed.
  std::string ReadStream(const std::string& path, httplib::Headers headers,
                         const std::function<bool(const std::string&)>& done, int seconds = 10);

  std::unique_ptr<host::SimulatedDevices> sim;
  EventStream events;
  std::unique_ptr<ControlThread> control;
  std::unique_ptr<WebServer> server;
  std::unique_ptr<httplib::Client> client;
};

}  // namespace ocuvant::web::testing
