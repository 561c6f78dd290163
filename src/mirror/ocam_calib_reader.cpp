#include "mirror/ocam_calib_reader.h"

#include <cmath>
#include <vector>

#include "mirror/number_text.h"

namespace kelmira {

namespace {

constexpr long long kLongestPolynomial = 64;

struct DataLine {
  std::vector<double> numbers;
  int number = 0;
};

// The lines that are not comments, as numbers; none when one holds something else.
std::optional<std::vector<DataLine>> dataLines(std::string_view text, std::string& why) {
  std::vector<DataLine> lines;
  int number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = trimmed(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (line.empty() || line.front() == '#') continue;
    if (line.find(',') != std::string_view::npos) {
      why = "line " + std::to_string(number) + " holds a comma";
      return std::nullopt;
    }
    std::optional<std::vector<double>> numbers = parseNumberList(line);
    if (!numbers) {
      why = "line " + std::to_string(number) + " holds something other than numbers";
      return std::nullopt;
    }
    lines.push_back({std::move(*numbers), number});
  }
  return lines;
}

// "N c0 c1 ... c(N-1)".
std::optional<std::vector<double>> polynomial(const DataLine& line, const char* what, std::string& why) {
  const std::vector<double>& n = line.numbers;
  const double count = n.front();
  if (count != std::floor(count) || count < 0 || count > kLongestPolynomial) {
    why = std::string("line ") + std::to_string(line.number) + ": the " + what +
          " polynomial's length is not a whole number from 0 to " + std::to_string(kLongestPolynomial);
    return std::nullopt;
  }
  if (n.size() - 1 != static_cast<std::size_t>(count)) {
    why = std::string("line ") + std::to_string(line.number) + ": the " + what + " polynomial has " +
          std::to_string(n.size() - 1) + " coefficients instead of " + std::to_string(static_cast<long long>(count));
    return std::nullopt;
  }
  return std::vector<double>(n.begin() + 1, n.end());
}

}  // namespace

std::unique_ptr<OcamModel> readOcamCalibText(std::string_view text, std::string& why) {
  const std::optional<std::vector<DataLine>> lines = dataLines(text, why);
  if (!lines) return nullptr;
  static constexpr const char* kParts[] = {"the direct polynomial", "the inverse polynomial", "the centre",
                                           "the affine parameters", "the image size"};
  if (lines->size() < 5) {
    why = "ends before " + std::string(kParts[lines->size()]);
    return nullptr;
  }
  const std::vector<DataLine>& l = *lines;
  OcamCalibration calibration;
  std::optional<std::vector<double>> direct = polynomial(l[0], "direct", why);
  if (!direct) return nullptr;
  if (direct->empty()) {
    why = "line " + std::to_string(l[0].number) + ": the direct polynomial is empty";
    return nullptr;
  }
  std::optional<std::vector<double>> inverse = polynomial(l[1], "inverse", why);
  if (!inverse) return nullptr;
  calibration.direct = std::move(*direct);
  calibration.inverse = std::move(*inverse);
  const auto expect = [&](const DataLine& line, std::size_t count, const char* what) {
    if (line.numbers.size() == count) return true;
    why = "line " + std::to_string(line.number) + ": " + what + " takes " + std::to_string(count) +
          " numbers, not " + std::to_string(line.numbers.size());
    return false;
  };
  if (!expect(l[2], 2, "the centre (row, column)") || !expect(l[3], 3, "the affine parameters (c, d, e)") ||
      !expect(l[4], 2, "the image size (height, width)")) {
    return nullptr;
  }
  calibration.centreRow = l[2].numbers[0];
  calibration.centreColumn = l[2].numbers[1];
  calibration.c = l[3].numbers[0];
  calibration.d = l[3].numbers[1];
  calibration.e = l[3].numbers[2];
  const double height = l[4].numbers[0];
  const double width = l[4].numbers[1];
  if (height < 1 || width < 1 || height > 1e6 || width > 1e6 || height != std::floor(height) ||
      width != std::floor(width)) {
    why = "line " + std::to_string(l[4].number) + ": the image size is not a picture's height and width in pixels";
    return nullptr;
  }
  calibration.size = ImageSize{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
  return OcamModel::make(calibration, why);
}

}  // namespace kelmira
