#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kelmira {

// The SHA-256 digest of the bytes: how a web page's Content-Security-Policy names the
// scripts it lets run.
std::array<std::uint8_t, 32> sha256(std::string_view bytes);

}  // namespace kelmira
