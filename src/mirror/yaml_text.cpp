#include "mirror/yaml_text.h"

#include <string>
#include <vector>

#include "mirror/number_text.h"

namespace kelmira {

namespace {

constexpr int kDeepest = 64;

struct Line {
  int indent = 0;
  std::string content;
  int number = 0;
};

struct Failure {
  std::string message;
};

// The length of a line's text before its comment: '#' at the start or after a space,
// outside quotes.
std::size_t withoutComment(std::string_view text) {
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (quote == '"' && c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '"' || c == '\'') {
      // A quote opens a quoted scalar only at a value's start; elsewhere it is text.
      if (i == 0 || text[i - 1] == ' ' || text[i - 1] == '[' || text[i - 1] == '{' || text[i - 1] == ',' ||
          text[i - 1] == ':') {
        quote = c;
      }
    } else if (c == '#' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\t')) {
      return i;
    }
  }
  return text.size();
}

bool isItem(std::string_view content) { return content == "-" || content.starts_with("- "); }

// Where a "name: value" line's colon is: followed by a space or the line's end, outside
// quotes and brackets.
std::size_t mappingColon(std::string_view text) {
  char quote = 0;
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (quote == '"' && c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
      continue;
    }
    if ((c == '"' || c == '\'') && i == 0) {
      quote = c;
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if (c == ']' || c == '}') {
      --depth;
    } else if (c == ':' && depth == 0 && (i + 1 == text.size() || text[i + 1] == ' ')) {
      return i;
    }
  }
  return std::string_view::npos;
}

class YamlReader {
 public:
  explicit YamlReader(std::vector<Line> lines) : lines_(std::move(lines)) {}

  StoredNode document() {
    if (lines_.empty()) return {};
    StoredNode root = block(lines_[0].indent, 0);
    if (pos_ < lines_.size()) fail(lines_[pos_], "more than one value at the top");
    return root;
  }

 private:
  [[noreturn]] void fail(const Line& line, const std::string& what) const {
    throw Failure{"line " + std::to_string(line.number) + ": " + what};
  }
  [[noreturn]] void fail(const std::string& what) const { throw Failure{what}; }

  StoredNode block(int indent, int depth) {
    if (depth > kDeepest) fail(lines_[pos_], "nested too deeply");
    return isItem(lines_[pos_].content) ? sequence(indent, depth) : mapping(indent, depth);
  }

  // The value after "name:" with nothing else on its line: the lines indented further,
  // or a sequence at the name's own indentation.
  StoredNode nestedValue(int indent, int depth) {
    if (pos_ < lines_.size() && lines_[pos_].indent > indent) return block(lines_[pos_].indent, depth + 1);
    if (pos_ < lines_.size() && lines_[pos_].indent == indent && isItem(lines_[pos_].content)) {
      return sequence(indent, depth + 1);
    }
    return {};
  }

  StoredNode mapping(int indent, int depth) {
    StoredNode node;
    node.kind = StoredNode::Kind::Map;
    while (pos_ < lines_.size() && lines_[pos_].indent == indent && !isItem(lines_[pos_].content)) {
      const Line& line = lines_[pos_];
      const std::string_view content = line.content;
      const std::size_t colon = mappingColon(content);
      if (colon == std::string_view::npos) fail(line, "expected 'name: value'");
      std::string name = scalarText(trimmed(content.substr(0, colon)), line);
      std::string_view rest = trimmed(content.substr(colon + 1));
      std::string tag = takeTag(rest);
      ++pos_;
      StoredNode value = rest.empty() ? nestedValue(indent, depth) : inlineValue(rest, line, depth);
      if (!tag.empty()) value.tag = tag;
      node.entries.push_back({std::move(name), std::move(value)});
    }
    if (pos_ < lines_.size() && lines_[pos_].indent > indent) fail(lines_[pos_], "unexpected indentation");
    return node;
  }

  StoredNode sequence(int indent, int depth) {
    StoredNode node;
    node.kind = StoredNode::Kind::Sequence;
    while (pos_ < lines_.size() && lines_[pos_].indent == indent && isItem(lines_[pos_].content)) {
      Line& line = lines_[pos_];
      std::string_view rest = trimmed(std::string_view(line.content).substr(1));
      std::string tag = takeTag(rest);
      StoredNode value;
      if (rest.empty()) {
        ++pos_;
        value = nestedValue(indent, depth);
      } else if (rest.front() != '[' && rest.front() != '{' && mappingColon(rest) != std::string_view::npos) {
        // "- name: value": a mapping that starts on the item's line, indented as its text.
        const int inner = indent + static_cast<int>(rest.data() - line.content.data());
        line.indent = inner;
        line.content = std::string(rest);
        value = mapping(inner, depth + 1);
      } else {
        ++pos_;
        value = inlineValue(rest, line, depth);
      }
      if (!tag.empty()) value.tag = tag;
      node.entries.push_back({std::string(), std::move(value)});
    }
    if (pos_ < lines_.size() && lines_[pos_].indent > indent) fail(lines_[pos_], "unexpected indentation");
    return node;
  }

  static std::string takeTag(std::string_view& rest) {
    if (rest.empty() || rest.front() != '!') return {};
    const std::size_t end = rest.find(' ');
    std::string_view tag = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : trimmed(rest.substr(end));
    while (!tag.empty() && tag.front() == '!') tag.remove_prefix(1);
    return std::string(tag);
  }

  // A value on the rest of a line; a flow collection may go on over the next lines.
  StoredNode inlineValue(std::string_view rest, const Line& line, int depth) {
    if (rest.front() != '[' && rest.front() != '{') {
      StoredNode scalar;
      scalar.text = scalarText(rest, line);
      return scalar;
    }
    std::string flow(rest);
    while (!balanced(flow)) {
      if (pos_ >= lines_.size()) fail(line, "the " + std::string(1, rest.front()) + " is never closed");
      flow += ' ';
      flow += lines_[pos_].content;
      ++pos_;
    }
    std::size_t at = 0;
    StoredNode value = flowValue(flow, at, line, depth + 1);
    skipSpaces(flow, at);
    if (at != flow.size()) fail(line, "text after the closing bracket");
    return value;
  }

  static bool balanced(std::string_view text) {
    int depth = 0;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (quote != 0) {
        if (quote == '"' && c == '\\') {
          ++i;
        } else if (c == quote) {
          quote = 0;
        }
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[' || c == '{') {
        ++depth;
      } else if (c == ']' || c == '}') {
        if (--depth == 0) return true;
      }
    }
    return depth <= 0;
  }

  static void skipSpaces(std::string_view text, std::size_t& at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  }

  StoredNode flowValue(std::string_view text, std::size_t& at, const Line& line, int depth) {
    if (depth > kDeepest) fail(line, "nested too deeply");
    skipSpaces(text, at);
    if (at >= text.size()) fail(line, "a value is missing");
    const char open = text[at];
    if (open != '[' && open != '{') {
      StoredNode scalar;
      scalar.text = flowScalar(text, at, line);
      return scalar;
    }
    const char close = open == '[' ? ']' : '}';
    StoredNode node;
    node.kind = open == '[' ? StoredNode::Kind::Sequence : StoredNode::Kind::Map;
    ++at;
    skipSpaces(text, at);
    if (at < text.size() && text[at] == close) {
      ++at;
      return node;
    }
    while (true) {
      std::string name;
      if (node.kind == StoredNode::Kind::Map) {
        name = flowScalar(text, at, line, true);
        skipSpaces(text, at);
        if (at >= text.size() || text[at] != ':') fail(line, "expected ':' in a { } mapping");
        ++at;
      }
      node.entries.push_back({std::move(name), flowValue(text, at, line, depth + 1)});
      skipSpaces(text, at);
      if (at >= text.size()) fail(line, std::string("the ") + open + " is never closed");
      if (text[at] == close) {
        ++at;
        return node;
      }
      if (text[at] != ',') fail(line, std::string("expected ',' or '") + close + "'");
      ++at;
      skipSpaces(text, at);
      if (at < text.size() && text[at] == close) {  // a trailing comma
        ++at;
        return node;
      }
    }
  }

  std::string flowScalar(std::string_view text, std::size_t& at, const Line& line, bool isName = false) {
    skipSpaces(text, at);
    if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
      const std::size_t start = at;
      const char quote = text[at++];
      while (at < text.size() && text[at] != quote) at += (quote == '"' && text[at] == '\\') ? 2 : 1;
      if (at >= text.size()) fail(line, "a quoted text is never closed");
      ++at;
      return scalarText(text.substr(start, at - start), line);
    }
    const std::size_t start = at;
    while (at < text.size() && text[at] != ',' && text[at] != ']' && text[at] != '}' &&
           !(isName && text[at] == ':')) {
      if (text[at] == '[' || text[at] == '{') fail(line, "a bracket inside a value");
      ++at;
    }
    return std::string(trimmed(text.substr(start, at - start)));
  }

  // A plain or quoted scalar's text.
  std::string scalarText(std::string_view text, const Line& line) const {
    if (text.empty() || (text.front() != '"' && text.front() != '\'')) return std::string(text);
    const char quote = text.front();
    if (text.size() < 2 || text.back() != quote) fail(line, "a quoted text is never closed");
    const std::string_view inside = text.substr(1, text.size() - 2);
    std::string result;
    for (std::size_t i = 0; i < inside.size(); ++i) {
      const char c = inside[i];
      if (quote == '"' && c == '\\' && i + 1 < inside.size()) {
        const char next = inside[++i];
        result += next == 'n' ? '\n' : next == 't' ? '\t' : next;
      } else if (quote == '\'' && c == '\'' && i + 1 < inside.size() && inside[i + 1] == '\'') {
        result += '\'';
        ++i;
      } else if (c == quote) {
        fail(line, "text after a quoted text");
      } else {
        result += c;
      }
    }
    return result;
  }

  std::vector<Line> lines_;
  std::size_t pos_ = 0;
};

}  // namespace

StoredText readYamlText(std::string_view text) {
  std::vector<Line> lines;
  int number = 0;
  bool inDocument = false;
  try {
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view raw = text.substr(start, end - start);
      start = end + 1;
      ++number;
      if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
      std::size_t indent = 0;
      while (indent < raw.size() && raw[indent] == ' ') ++indent;
      if (indent < raw.size() && raw[indent] == '\t') {
        throw Failure{"line " + std::to_string(number) + ": a tab in the indentation"};
      }
      std::string_view content = raw.substr(indent);
      content = trimmed(content.substr(0, withoutComment(content)));
      if (content.empty()) continue;
      if (indent == 0 && !inDocument && content.front() == '%') continue;  // %YAML:1.0
      if (indent == 0 && (content == "---" || content.starts_with("--- "))) {
        if (inDocument && !lines.empty()) break;  // a second document
        inDocument = true;
        content = trimmed(content.substr(3));
        if (content.empty()) continue;
      }
      if (indent == 0 && content == "...") break;
      inDocument = true;
      lines.push_back({static_cast<int>(indent), std::string(content), number});
    }
    YamlReader reader(std::move(lines));
    return {reader.document(), {}};
  } catch (const Failure& failure) {
    return {std::nullopt, failure.message};
  }
}

}  // namespace kelmira
