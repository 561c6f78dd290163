#include "mirror/stored_numbers.h"

#include "mirror/number_text.h"

namespace kelmira {

namespace {

std::optional<std::vector<double>> plainNumbers(const StoredNode& node) {
  if (node.kind == StoredNode::Kind::Scalar) return parseNumberList(node.text);
  if (node.kind != StoredNode::Kind::Sequence) return std::nullopt;
  std::vector<double> numbers;
  for (const auto& entry : node.entries) {
    if (entry.value.kind != StoredNode::Kind::Scalar) return std::nullopt;
    const std::optional<double> value = parseNumber(entry.value.text);
    if (!value) return std::nullopt;
    numbers.push_back(*value);
  }
  return numbers;
}

// The channels of a matrix's element type: "d" is 1, "2d" is 2.
std::optional<long long> channels(const StoredNode* type) {
  if (type == nullptr || type->kind != StoredNode::Kind::Scalar) return std::nullopt;
  // XML keeps the quotes YAML takes off: "2d".
  std::string_view text = trimmed(type->text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  if (text.empty()) return std::nullopt;
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == text.size()) return std::nullopt;
  if (digits == 0) return 1;
  const std::optional<long long> count = parseWholeNumber(text.substr(0, digits));
  if (!count || *count < 1 || *count > 4) return std::nullopt;
  return count;
}

bool wholeNumber(const StoredNode* node, long long& value) {
  if (node == nullptr || node->kind != StoredNode::Kind::Scalar) return false;
  const std::optional<long long> number = parseWholeNumber(node->text);
  value = number.value_or(-1);
  return number.has_value();
}

}  // namespace

std::optional<std::vector<double>> storedNumbers(const StoredNode& node, std::string& why) {
  if (node.kind != StoredNode::Kind::Map) {
    std::optional<std::vector<double>> numbers = plainNumbers(node);
    if (!numbers) why = "is not a list of numbers";
    return numbers;
  }
  if (node.tag != "opencv-matrix") {
    why = "is neither numbers nor a matrix";
    return std::nullopt;
  }
  const StoredNode* data = node.find("data");
  if (node.find("rows") == nullptr || node.find("cols") == nullptr || data == nullptr) {
    why = "is a matrix without its rows, cols or data";
    return std::nullopt;
  }
  long long rows = 0;
  long long cols = 0;
  const std::optional<long long> n = channels(node.find("dt"));
  if (!wholeNumber(node.find("rows"), rows) || !wholeNumber(node.find("cols"), cols) || rows < 0 || cols < 0 ||
      rows > 100000 || cols > 100000 || !n) {
    why = "is a matrix whose rows, cols or dt are not right";
    return std::nullopt;
  }
  std::optional<std::vector<double>> numbers = plainNumbers(*data);
  if (!numbers) {
    why = "is a matrix whose data are not numbers";
    return std::nullopt;
  }
  const long long wanted = rows * cols * *n;
  if (static_cast<long long>(numbers->size()) != wanted) {
    why = "is a " + std::to_string(rows) + " x " + std::to_string(cols) + " matrix holding " +
          std::to_string(numbers->size()) + " numbers instead of " + std::to_string(wanted);
    return std::nullopt;
  }
  return numbers;
}

std::optional<double> storedNumber(const StoredNode& node, std::string& why) {
  const std::optional<std::vector<double>> numbers = storedNumbers(node, why);
  if (!numbers) return std::nullopt;
  if (numbers->size() != 1) {
    why = "holds " + std::to_string(numbers->size()) + " numbers instead of one";
    return std::nullopt;
  }
  return numbers->front();
}

}  // namespace kelmira
