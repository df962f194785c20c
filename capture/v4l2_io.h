// Small helpers around V4L2 system calls.
#pragma once

#include <sys/ioctl.h>

#include <cerrno>

namespace ocuvant::capture {

// ioctl that retries when interrupted by a signal.
inline int V4l2Ioctl(int fd, unsigned long request, void* arg) {
  int r;
  do {
    r = ::ioctl(fd, request, arg);
  } while (r == -1 && errno == EINTR);
  return r;
}

}  // namespace ocuvant::capture
