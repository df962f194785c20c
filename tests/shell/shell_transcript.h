// A shell run read back: each command line of the script paired with the JSON line that
// answered it and the events printed before that answer.
#pragma once

#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

namespace ocuvant::testing {

struct Reply {
  std::string command;              // the script line, trimmed
  std::vector<Json::Value> events;  // {"event":...} lines printed before the answer
  Json::Value answer;               // {"result":...} or {"error":...}

  bool IsError() const { return answer.isMember("error"); }
  const Json::Value& Result() const { return answer["result"]; }
  std::string Error() const { return answer.get("error", "").asString(); }
  // (Tag, Log) of the LogInfo events, in order.
  std::vector<std::pair<std::string, std::string>> Logs() const;
};

class Transcript {
 public:
  // Splits `output` into JSON lines (each must be one JSON object of a known shape) and
  // pairs them with the commands of `script`. A valid `pump MS` has no answer; reading
  // stops at `quit`. False, with the reason, when the two do not line up.
  bool Build(const std::string& script, const std::string& output, std::string* error);

  // The n-th reply to exactly this command line; a test failure when there is none.
  const Reply& Of(const std::string& command, size_t occurrence = 0) const;
  std::vector<const Reply*> All(const std::string& command) const;
  const std::vector<Reply>& Replies() const { return replies_; }

 private:
  std::vector<Reply> replies_;
  std::vector<Json::Value> trailingEvents_;  // events after the last answer
};

// Splits text into lines; a final line without a newline counts.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace ocuvant::testing
