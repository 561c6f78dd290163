#include "sphere/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_files.h"

namespace kelmira {
namespace {

std::string hexOf(const std::array<std::uint8_t, 32>& digest) {
  std::string text;
  char pair[3];
  for (const std::uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

// Checked against coreutils' sha256sum at every length where the padding changes shape
// (one block or two, the length field's edge), and a long text.
TEST(Sha256, AgreesWithSha256sum) {
  test::TempDir dir;
  for (const std::size_t length : {0, 1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 1 << 20}) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 131 + length) % 251);
    const std::string path = dir.file("bytes");
    test::writeFileBytes(path, test::Bytes(bytes.begin(), bytes.end()));
    std::FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char said[65] = {};
    const bool read = std::fscanf(pipe, "%64s", said) == 1;
    pclose(pipe);
    if (!read) GTEST_SKIP() << "no sha256sum";
    EXPECT_EQ(hexOf(sha256(bytes)), said) << length << " bytes";
  }
}

}  // namespace
}  // namespace kelmira
