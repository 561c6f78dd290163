#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace kelmira {

// Numbers as the calibration tools write them, read the same in every locale: the whole
// text (spaces around it aside) must be one number; a leading '+' is allowed. Infinities
// and NaN are not numbers here.
std::optional<double> parseNumber(std::string_view text);
// A whole number, also when written as 640. or 6.4e2.
std::optional<long long> parseWholeNumber(std::string_view text);
// Every number of a text separated by spaces (or commas); none when any is not a number.
std::optional<std::vector<double>> parseNumberList(std::string_view text);

std::string_view trimmed(std::string_view text);

}  // namespace kelmira
