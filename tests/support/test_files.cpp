#include "support/test_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kelmira::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kelmira-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void writeFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void putU16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(Bytes& out, std::uint32_t value) {
  putU16(out, value & 0xFFFF);
  putU16(out, value >> 16);
}

std::vector<std::uint8_t> patternPixels(int width, int height, unsigned seed) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(3) * width * height);
  unsigned state = seed * 2654435761u + 12345u;
  for (auto& byte : pixels) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return pixels;
}

}  // namespace kelmira::test
