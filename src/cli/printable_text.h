#pragma once

#include <cstddef>
#include <string>

namespace kelmira {

// `text` as it may be shown on a terminal: every control character (C0, DEL and C1, so
// also any escape sequence), every byte that is not part of valid UTF-8, and the
// backslash written as a visible escape (\n, \t, \r, \\, \x1b, ...). A file's name
// can then neither end a line early nor move the cursor, recolour or clear the screen.
std::string printable(const std::string& text);

// The first `columns` characters of printable `text`, padded with spaces to that many.
std::string fitToColumns(const std::string& text, std::size_t columns);

}  // namespace kelmira
