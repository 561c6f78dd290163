#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelmira::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

using Bytes = std::vector<std::uint8_t>;

void writeFileBytes(const std::string& path, const Bytes& bytes);
Bytes readFileBytes(const std::string& path);

// Little-endian appenders for building files by hand.
void putU16(Bytes& out, std::uint32_t value);
void putU32(Bytes& out, std::uint32_t value);

// A picture with a different colour in every pixel, so that misplaced pixels show.
std::vector<std::uint8_t> patternPixels(int width, int height, unsigned seed = 1);

}  // namespace kelmira::test
