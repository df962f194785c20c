#include "shell_transcript.h"

#include <gtest/gtest.h>

#include <memory>

namespace ocuvant::testing {
namespace {

std::string TrimLine(const std::string& line) {
  const char* blanks = " \t\r\n";
  const size_t b = line.find_first_not_of(blanks);
  if (b == std::string::npos) return "";
  return line.substr(b, line.find_last_not_of(blanks) - b + 1);
}

bool ParseObject(const std::string& line, Json::Value* value, std::string* error) {
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(line.data(), line.data() + line.size(), value, &errors)) {
    *error = "not JSON: " + line + " (" + errors + ")";
    return false;
  }
  if (!value->isObject()) {
    *error = "not a JSON object: " + line;
    return false;
  }
  const bool event = value->isMember("event") && (*value)["event"].isString();
  const bool result = value->isMember("result") && value->size() == 1;
  const bool refused = value->isMember("error") && (*value)["error"].isString() &&
                       value->size() == 1 && !(*value)["error"].asString().empty();
  if (int{event} + int{result} + int{refused} != 1) {
    *error = "neither one result, one error nor an event: " + line;
    return false;
  }
  return true;
}

// "pump MS" with a valid count prints nothing.
bool IsQuietPump(const std::string& line) {
  if (line.rfind("pump", 0) != 0) return false;
  size_t i = 4;
  const size_t blanks = line.find_first_not_of(" \t", i);
  if (blanks == std::string::npos || blanks == i) return false;
  i = blanks;
  return line.find_first_not_of("0123456789", i) == std::string::npos;
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::pair<std::string, std::string>> Reply::Logs() const {
  std::vector<std::pair<std::string, std::string>> logs;
  for (const Json::Value& e : events) {
    if (e["event"].asString() == "LogInfo") {
      logs.emplace_back(e["Tag"].asString(), e["Log"].asString());
    }
  }
  return logs;
}

bool Transcript::Build(const std::string& script, const std::string& output, std::string* error) {
  std::vector<std::string> commands;
  for (const std::string& raw : SplitLines(script)) {
    const std::string line = TrimLine(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line == "quit" || line.rfind("quit ", 0) == 0) break;
    if (IsQuietPump(line)) continue;
    commands.push_back(line);
  }
  replies_.clear();
  trailingEvents_.clear();
  Reply current;
  size_t next = 0;
  for (const std::string& line : SplitLines(output)) {
    Json::Value value;
    if (!ParseObject(line, &value, error)) return false;
    if (value.isMember("event")) {
      current.events.push_back(value);
      continue;
    }
    if (next == commands.size()) {
      *error = "an answer with no command left: " + line;
      return false;
    }
    current.command = commands[next++];
    current.answer = value;
    replies_.push_back(std::move(current));
    current = Reply{};
  }
  trailingEvents_ = std::move(current.events);
  if (next != commands.size()) {
    *error = "no answer to '" + commands[next] + "' (" + std::to_string(commands.size() - next) +
             " command(s) unanswered)";
    return false;
  }
  return true;
}

const Reply& Transcript::Of(const std::string& command, size_t occurrence) const {
  static const Reply kNone;
  const std::vector<const Reply*> all = All(command);
  if (occurrence >= all.size()) {
    ADD_FAILURE() << "no reply #" << occurrence << " to '" << command << "'";
    return kNone;
  }
  return *all[occurrence];
}

std::vector<const Reply*> Transcript::All(const std::string& command) const {
  std::vector<const Reply*> all;
  for (const Reply& r : replies_) {
    if (r.command == command) all.push_back(&r);
  }
  return all;
}

}  // namespace ocuvant::testing
