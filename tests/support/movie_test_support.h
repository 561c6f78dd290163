#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira::movie_test {

using Bytes = std::vector<std::uint8_t>;

// Writes one classic atom: header, the body's fields, then the size patched in.
inline void writeAtom(ByteWriter& w, const char (&type)[5], const std::function<void()>& body) {
  const std::size_t start = w.position();
  w.u32(0);
  w.u32(fourCC(type));
  body();
  w.patchU32(start, static_cast<std::uint32_t>(w.position() - start));
}

// A media's data information: one reference, to the movie's own file.
inline void writeDataInformation(ByteWriter& w) {
  writeAtom(w, "dinf", [&] {
    writeAtom(w, "dref", [&] {
      w.u32(0);
      w.u32(1);
      writeAtom(w, "alis", [&] { w.u32(1); });
    });
  });
}

// Hex pairs with spaces ignored; 'text' in single quotes is taken character by character.
inline Bytes hex(std::string_view text) {
  Bytes out;
  for (std::size_t i = 0; i < text.size();) {
    if (std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (text[i] == '\'') {
      const std::size_t close = text.find('\'', i + 1);
      out.insert(out.end(), text.begin() + i + 1, text.begin() + close);
      i = close + 1;
    } else {
      out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
      i += 2;
    }
  }
  return out;
}

inline std::uint32_t be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8) | b[at + 3];
}

// The whole atom (header included) found by following the path of types from the
// outermost level of buffer; empty when missing. Walks atoms on its own, independently
// of the toolbox's reader.
inline Bytes atomAt(const Bytes& buffer, std::initializer_list<std::string_view> path) {
  std::size_t begin = 0;
  std::size_t end = buffer.size();
  Bytes found;
  for (std::string_view type : path) {
    bool hit = false;
    for (std::size_t at = begin; at + 8 <= end;) {
      const std::uint32_t size = be32(buffer, at);
      if (size < 8 || at + size > end) return {};
      if (std::string_view(reinterpret_cast<const char*>(buffer.data() + at + 4), 4) == type) {
        begin = at + 8;
        end = at + size;
        found.assign(buffer.begin() + at, buffer.begin() + at + size);
        hit = true;
        break;
      }
      at += size;
    }
    if (!hit) return {};
  }
  return found;
}

inline Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Each test gets the toolbox started and a folder of its own.
class MovieToolboxTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(initializeQtml(), 0);
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("kelmira_movie_" + std::string(info->test_suite_name()) + "_" + info->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    terminateQtml();
    std::filesystem::remove_all(folder_);
  }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

}  // namespace kelmira::movie_test
