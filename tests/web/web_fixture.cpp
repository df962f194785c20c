#include "web_fixture.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/iris_options.h"

namespace ocuvant::web::testing {
namespace {

Json::Value Parse(const std::string& text) {
  Json::Value v;
  Json::CharReaderBuilder b;
  std::string errors;
  std::unique_ptr<Json::CharReader> r(b.newCharReader());
  if (!r->parse(text.data(), text.data() + text.size(), &v, &errors)) return Json::Value();
  return v;
}

}  // namespace

void WebFixture::SetUp() {
  sim = std::make_unique<host::SimulatedDevices>();
  std::string error;
  host::SimulatorOption option;
  option.enabled = true;
  ASSERT_TRUE(sim->Install(option, &error)) << error;
  control = std::make_unique<ControlThread>(events, [](control::COcuvantCtrl& c) {
    c.SetBurger(host::ConfigurationFor(1));
    c.SetEnableVoice(0);
  });
  server = std::make_unique<WebServer>(*control, events, nullptr, ServeOptions{});
  ASSERT_TRUE(server->Start(&error)) << error;
  client = std::make_unique<httplib::Client>("127.0.0.1", server->Port());
  client->set_read_timeout(10, 0);
}

void WebFixture::TearDown() {
  client.reset();
  if (server) server->Stop();
  server.reset();
  control.reset();
  sim.reset();
}

Reply WebFixture::Post(const std::string& body, httplib::Headers headers) {
  if (headers.empty()) headers = Auth();
  auto res = client->Post("/api/invoke", headers, body, "application/json");
  if (!res) return {};
  return {res->status, Parse(res->body), res->body};
}

Reply WebFixture::Call(const std::string& name, const std::string& argsJson) {
  const bool dispid =
      !name.empty() && (std::isdigit(static_cast<unsigned char>(name[0])) || name[0] == '-');
  const std::string n = dispid ? name : "\"" + name + "\"";
  return Post("{\"name\":" + n + ",\"args\":" + argsJson + "}");
}

Reply WebFixture::Get(const std::string& path, httplib::Headers headers) {
  if (headers.empty()) headers = Auth();
  auto res = client->Get(path.c_str(), headers);
  if (!res) return {};
  return {res->status, Parse(res->body), res->body};
}

std::string WebFixture::ReadStream(const std::string& path, httplib::Headers headers,
                                   const std::function<bool(const std::string&)>& done,
                                   int seconds) {
  httplib::Client c("127.0.0.1", server->Port());
  c.set_read_timeout(seconds, 0);
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  c.Get(path.c_str(), headers, [&](const char* data, size_t size) {
    text.append(data, size);
    return !done(text) && std::chrono::steady_clock::now() < deadline;
  });
  return text;
}

}  // namespace ocuvant::web::testing
