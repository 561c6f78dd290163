#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace kelmira::test {

// The name the process runs under now; empty once it is gone.
inline std::string processName(pid_t pid) {
  std::FILE* comm = std::fopen(("/proc/" + std::to_string(pid) + "/comm").c_str(), "r");
  if (comm == nullptr) return {};
  char name[64] = {};
  if (std::fgets(name, sizeof name, comm) == nullptr) name[0] = '\0';
  std::fclose(comm);
  std::string text(name);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// Whether process `pid` has a handler for signal `number` before `limit` passes. The shell
// and env that start a program may catch the signal themselves before they exec it, so
// only the program itself counts.
inline bool waitUntilCatching(pid_t pid, int number, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    const std::string name = processName(pid);
    if (name == "sh" || name == "env") {
      usleep(2000);
      continue;
    }
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
