// `ocuvant shell [--simulator [SEED]] [SCRIPT]`: drives a control line by line and
// prints every result and every event as one JSON line; with --simulator on the
// virtual cameras and illuminator.
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "control/dispatch_table.h"
#include "control/events.h"
#include "control/invoke.h"
#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/json_line.h"
#include "hosts/ocuvant/shell_tokens.h"
#include "hosts/ocuvant/simulated_devices.h"
#include "platform/thread.h"

namespace ocuvant::host {
namespace {

using control::Value;
using control::ValueType;

constexpr const char* kUsage =
    "usage: ocuvant shell [--simulator [SEED] | --simulator=subject=N |\n"
    "                      --simulator=replay=DIR] [SCRIPT]\n"
    "Creates a control and runs commands from SCRIPT (standard input when absent or -),\n"
    "one per line:\n"
    "  get PROPERTY             print a property\n"
    "  set PROPERTY VALUE       set a property (rest of the line; \"...\" for a JSON string)\n"
    "  call METHOD ARGS...      call a method; arguments are integers, \"strings\", bare\n"
    "                           words, {...} texts, or [ints]/null for database pointers\n"
    "  wait EVENT SECONDS       run the message loop until EVENT fired (or time-out);\n"
    "                           only events since the previous other command count\n"
    "  pump MS                  run the message loop for MS milliseconds\n"
    "  quit                     stop\n"
    "Lines starting with # are comments. Results print as {\"result\":...}, events as\n"
    "{\"event\":NAME,ARG:VALUE,...}, refused lines as {\"error\":\"...\"}.\n"
    "Without --simulator the control sees the real cameras and HID device only. With it,\n"
    "the virtual iris camera (simulated person SEED, default 1, or a replayed folder of\n"
    "frames), visible-light and infrared cameras and the virtual illuminator are added,\n"
    "so every camera and session method works without hardware.\n"
    "Exit status: 0 script done, 1 SCRIPT cannot be read or the simulator not set up,\n"
    "2 usage.";

class Output {
 public:
  void Line(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  void Error(const std::string& text) { Line(Cat("{\"error\":", JsonString(text), "}")); }

 private:
  std::mutex mutex_;
};

class ShellSink final : public control::GenericEventSink {
 public:
  explicit ShellSink(Output& out) : out_(out) {}
  void OnEvent(int32_t, const char* name, const std::vector<Value>& args) override {
    const control::DispatchEntry* e = control::FindEvent(name);
    std::string line = Cat("{\"event\":", JsonString(name));
    std::vector<std::string> names = SplitNames(e ? e->argNames : "");
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string key = i < names.size() ? names[i] : Cat("arg", std::to_string(i + 1));
      line += Cat(",", JsonString(key), ":", JsonValue(args[i], 256));
    }
    line += '}';
    out_.Line(line);
    std::lock_guard<std::mutex> lock(mutex_);
    fired_[name].push_back(++sequence_);
  }
  // Where the event history stands now: occurrences up to here are older.
  uint64_t Mark() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sequence_;
  }
  // Takes one unconsumed occurrence of the event fired after `mark`, if any (older
  // ones are dropped: they belong to earlier commands).
  bool Consume(const std::string& name, uint64_t mark) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = fired_.find(name);
    if (it == fired_.end()) return false;
    std::deque<uint64_t>& seen = it->second;
    while (!seen.empty() && seen.front() <= mark) seen.pop_front();
    if (seen.empty()) return false;
    seen.pop_front();
    return true;
  }

 private:
  Output& out_;
  std::mutex mutex_;
  uint64_t sequence_ = 0;  // one more per event fired
  std::map<std::string, std::deque<uint64_t>> fired_;
};

class Shell {
 public:
  Shell() : control_(control::COcuvantCtrl::Create()), sink_(out_) {
    control_->SetEventSink(&sink_);
  }
  ~Shell() { control_->SetEventSink(nullptr); }

  // False once `quit` was read.
  bool Execute(const std::string& raw) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string verb, name;
    in >> verb;
    if (verb.empty() || verb[0] == '#') return true;
    if (verb == "quit") return false;
    in >> name;
    std::string rest;
    std::getline(in, rest);
    // `wait` answers to events fired from the start of the latest other command on.
    if (verb != "wait") commandMark_ = sink_.Mark();
    if (verb == "get" || verb == "set" || verb == "call") {
      Dispatch(verb, name, rest);
    } else if (verb == "wait") {
      Wait(name, rest);
    } else if (verb == "pump") {
      int32_t ms = 0;
      if (!ParseInt32(Trim(name), &ms) || ms < 0 || !Trim(rest).empty()) {
        out_.Error("pump takes one argument: milliseconds");
      } else {
        control_->ControlWindow().Pump(static_cast<uint32_t>(ms));
      }
    } else {
      out_.Error(Cat("unknown command '", verb, "' (get, set, call, wait, pump, quit)"));
    }
    control_->ControlWindow().Pump(0);
    return true;
  }

 private:
  void Dispatch(const std::string& verb, const std::string& name, const std::string& rest) {
    const control::DispatchEntry* e = control::FindMember(name);
    if (e == nullptr) {
      out_.Error(Cat("unknown ", verb == "call" ? "method" : "property", " '", name, "'"));
      return;
    }
    std::vector<Value> args;
    control::InvokeKind kind = control::InvokeKind::Method;
    if (verb == "get") {
      kind = control::InvokeKind::PropertyGet;
      if (!Trim(rest).empty()) return out_.Error("get takes no value");
    } else if (verb == "set") {
      kind = control::InvokeKind::PropertyPut;
      Value v;
      std::string error;
      if (!ToValue(Trim(rest), e->type, true, &v, &error))
        return out_.Error(Cat(name, ": ", error));
      args.push_back(std::move(v));
    } else {
      std::vector<std::string> tokens;
      std::string error;
      if (!Tokenize(rest, &tokens, &error)) return out_.Error(error);
      if (e->kind == control::MemberKind::Method && tokens.size() != e->argCount) {
        return out_.Error(Cat(name, " takes ", std::to_string(e->argCount), " argument(s), got ",
                              std::to_string(tokens.size())));
      }
      for (size_t i = 0; i < tokens.size() && i < e->argCount; ++i) {
        Value v;
        if (!ToValue(tokens[i], e->args[i], false, &v, &error)) {
          return out_.Error(Cat(name, " argument ", std::to_string(i + 1), ": ", error));
        }
        args.push_back(std::move(v));
      }
    }
    control::InvokeResult r = control::Invoke(*control_, name, kind, args);
    if (!r.ok()) return out_.Error(r.error);
    out_.Line(Cat("{\"result\":", JsonValue(r.value, 0), "}"));
  }

  // Converts one argument text to the member's type; pointers keep their storage.
  bool ToValue(const std::string& text, ValueType type, bool wholeLine, Value* v,
               std::string* error) {
    switch (type) {
      case ValueType::Int32: {
        int32_t i = 0;
        if (!ParseInt32(text, &i)) {
          *error = Cat("expected a 32-bit integer, got '", text, "'");
          return false;
        }
        *v = i;
        return true;
      }
      case ValueType::String: {
        std::string s;
        if (!text.empty() && text[0] == '"' && ParseJsonString(text, &s)) {
          *v = s;
        } else if (!wholeLine && !text.empty() && text[0] == '"') {
          *error = Cat("bad JSON string ", text);
          return false;
        } else {
          *v = text;
        }
        return true;
      }
      case ValueType::Int32Ptr: {
        std::vector<int32_t> ints;
        if (text == "null" || text == "0") {
          *v = static_cast<const int32_t*>(nullptr);
          return true;
        }
        if (!ParseIntArray(text, &ints)) {
          *error = Cat("expected null or an array of 32-bit integers, got '", text, "'");
          return false;
        }
        arrays_.push_back(std::move(ints));
        *v = static_cast<const int32_t*>(arrays_.back().data());
        return true;
      }
      default:
        *error = "no value can be given";
        return false;
    }
  }

  void Wait(const std::string& event, const std::string& rest) {
    int32_t seconds = 0;
    if (event.empty() || !ParseInt32(Trim(rest), &seconds) || seconds < 0) {
      return out_.Error("wait takes an event name and seconds");
    }
    if (control::FindEvent(event) == nullptr) return out_.Error(Cat("unknown event '", event, "'"));
    const uint32_t start = platform::GetTickCount();
    const uint32_t limit = static_cast<uint32_t>(seconds) * 1000u;
    while (!sink_.Consume(event, commandMark_)) {
      const uint32_t spent = platform::TicksSince(start);
      if (spent >= limit) {
        return out_.Error(Cat("wait ", event, ": no event within ", std::to_string(seconds), " s"));
      }
      control_->ControlWindow().Pump(std::min<uint32_t>(limit - spent, 20));
    }
    out_.Line(Cat("{\"result\":", JsonString(event), "}"));
  }

  Output out_;
  // Databases handed to the control: a running match reads them until the control is
  // gone, so they are destroyed after it.
  std::vector<std::vector<int32_t>> arrays_;
  std::unique_ptr<control::COcuvantCtrl> control_;
  ShellSink sink_;
  uint64_t commandMark_ = 0;
};

int RunShell(const std::vector<std::string>& args) {
  SimulatorOption simulator;
  std::string scriptPath;
  bool haveScript = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (ParseSimulatorFlag(args[i], &simulator, &error)) {
      // A bare --simulator may be followed by the person's number.
      if (args[i] == "--simulator" && i + 1 < args.size() &&
          ParseSeed(args[i + 1], &simulator.seed)) {
        ++i;
      }
    } else if (!error.empty()) {
      std::fprintf(stderr, "ocuvant shell: %s\n%s\n", error.c_str(), kUsage);
      return 2;
    } else if (haveScript || (args[i].starts_with("-") && args[i] != "-")) {
      std::fprintf(stderr, "%s\n", kUsage);
      return 2;
    } else {
      scriptPath = args[i];
      haveScript = true;
    }
  }
  std::ifstream file;
  if (haveScript && scriptPath != "-") {
    file.open(scriptPath);
    if (!file) {
      std::fprintf(stderr, "ocuvant shell: cannot open %s\n", scriptPath.c_str());
      return 1;
    }
  }
  std::istream& in = file.is_open() ? file : std::cin;
  // Installed before the control is created and removed after it is gone.
  std::unique_ptr<SimulatedDevices> sim;
  if (simulator.enabled) {
    sim = std::make_unique<SimulatedDevices>();
    std::string error;
    if (!sim->Install(simulator, &error)) {
      std::fprintf(stderr, "ocuvant shell: simulator: %s\n", error.c_str());
      return 1;
    }
  }
  {
    Shell shell;
    std::string line;
    while (std::getline(in, line)) {
      if (!shell.Execute(line)) break;
    }
  }
  return 0;
}

CommandRegistrar reg({"shell", "run control commands from a script or standard input", kUsage,
                      &RunShell});

}  // namespace
}  // namespace ocuvant::host
