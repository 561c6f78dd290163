#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace kelmira::test {

// Whether process `pid` has a handler for signal `number` before `limit` passes.
inline bool waitUntilCatching(pid_t pid, int number, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    std::FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (status == nullptr) return false;
    char line[256];
    unsigned long long caught = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::sscanf(line, "SigCgt: %llx", &caught) == 1) break;
    }
    std::fclose(status);
    if ((caught >> (number - 1)) & 1) return true;
    usleep(2000);
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

}  // namespace kelmira::test
