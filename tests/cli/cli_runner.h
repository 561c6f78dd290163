#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "image/dib_image.h"

namespace kelmira::test {

struct RunResult {
  int status;
  std::string output;  // standard output and error together
};

// Runs the real kelmira-cli with the arguments, through the shell.
inline RunResult runCli(const std::string& arguments, const std::string& environment = "") {
  const std::string command = environment + " " + KELMIRA_CLI_PATH + " " + arguments + " 2>&1";
  RunResult result{-1, {}};
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Smooth ramps in red and green under a checker of bold blue blocks, so that misplaced
// or blurred pixels show.
inline void paintBlockPanorama(DibImage& image, int width, int height, int blockWidth, int blockHeight) {
  image.allocate(width, height);
  std::uint8_t* p = image.beginAccess();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>(255 * x / width);
      p[1] = static_cast<std::uint8_t>(255 * y / height);
      p[2] = (x / blockWidth + y / blockHeight) % 2 ? 200 : 40;
    }
  image.endAccess();
}

}  // namespace kelmira::test
