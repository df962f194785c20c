#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace ocuvant::testing {
namespace {

struct Pipe {
  int fd[2] = {-1, -1};
  bool Open() { return ::pipe2(fd, O_CLOEXEC) == 0; }
  void Close(int end) {
    if (fd[end] >= 0) ::close(fd[end]);
    fd[end] = -1;
  }
  ~Pipe() {
    Close(0);
    Close(1);
  }
};

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, const std::string& input,
                     int timeLimitMs, const std::string& workingDirectory) {
  ChildResult r;
  Pipe in, out, err;
  if (!in.Open() || !out.Open() || !err.Open()) return r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.fd[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.fd[1], 2);
  if (!workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return r;
  r.started = true;
  in.Close(0);
  out.Close(1);
  err.Close(1);
  ::signal(SIGPIPE, SIG_IGN);  // the child may stop reading early (quit)

  size_t written = 0;
  if (input.empty()) in.Close(1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
  while (out.fd[0] >= 0 || err.fd[0] >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      r.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd p[3] = {{out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}, {in.fd[1], POLLOUT, 0}};
    if (::poll(p, 3, static_cast<int>(left)) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (p[i].fd < 0 || p[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(p[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? r.out : r.err).append(buffer, static_cast<size_t>(n));
      } else {
        (i == 0 ? out : err).Close(0);
      }
    }
    if (p[2].fd >= 0 && p[2].revents != 0) {
      const ssize_t n = ::write(in.fd[1], input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n <= 0 || written == input.size()) in.Close(1);
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  return r;
}

}  // namespace ocuvant::testing
