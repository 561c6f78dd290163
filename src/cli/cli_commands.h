#pragma once

#include <optional>
#include <string>

namespace kelmira {

struct Point {
  double x = 0;
  double y = 0;
};

struct UnwarpOptions {
  std::string roundPath;
  std::string outputPath;
  std::optional<Point> centre;
  bool lensThread = false;
  std::string moviePath;  // also write a QuickTime VR movie there when set
};

struct SimulateOptions {
  std::string panoramaPath;
  std::string roundPath;
  int width = 0;
  int height = 0;
  std::optional<Point> centre;
};

// Each returns the process exit status and reports on stdout and stderr.
int runUnwarp(const UnwarpOptions& options);
int runInfo(const std::string& path);
int runSimulate(const SimulateOptions& options);
int runFindRing(const std::string& path);

}  // namespace kelmira
