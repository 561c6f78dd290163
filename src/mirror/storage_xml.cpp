#include "mirror/storage_xml.h"

#include <string>

#include "mirror/number_text.h"

namespace kelmira {

namespace {

constexpr int kDeepest = 64;

struct Failure {
  std::string message;
};

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c == ':';
}

class XmlReader {
 public:
  explicit XmlReader(std::string_view text) : text_(text) {}

  StoredNode document() {
    skipMisc();
    if (text_.substr(at_).starts_with("<?xml")) {
      const std::size_t end = text_.find("?>", at_);
      if (end == std::string_view::npos) fail("the XML declaration is never closed");
      at_ = end + 2;
    }
    skipMisc();
    std::string name;
    StoredNode root = element(name, 0);
    if (name != "opencv_storage") fail("the root element is <" + name + ">, not <opencv_storage>");
    skipMisc();
    if (at_ != text_.size()) fail("text after </opencv_storage>");
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    std::size_t line = 1;
    for (std::size_t i = 0; i < at_ && i < text_.size(); ++i) line += text_[i] == '\n';
    throw Failure{"line " + std::to_string(line) + ": " + what};
  }

  void skipSpaces() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n')) {
      ++at_;
    }
  }

  // Spaces and comments.
  void skipMisc() {
    while (true) {
      skipSpaces();
      if (!text_.substr(at_).starts_with("<!--")) return;
      const std::size_t end = text_.find("-->", at_ + 4);
      if (end == std::string_view::npos) fail("a comment is never closed");
      at_ = end + 3;
    }
  }

  std::string name() {
    const std::size_t start = at_;
    while (at_ < text_.size() && isNameCharacter(text_[at_])) ++at_;
    if (at_ == start) fail("a name is missing");
    return std::string(text_.substr(start, at_ - start));
  }

  StoredNode element(std::string& elementName, int depth) {
    if (depth > kDeepest) fail("nested too deeply");
    if (at_ >= text_.size() || text_[at_] != '<') fail("expected an element");
    ++at_;
    elementName = name();
    StoredNode node;
    // Attributes: only type_id means anything.
    while (true) {
      skipSpaces();
      if (at_ >= text_.size()) fail("<" + elementName + "> is never closed");
      if (text_[at_] == '>' || text_.substr(at_).starts_with("/>")) break;
      const std::string attribute = name();
      skipSpaces();
      if (at_ >= text_.size() || text_[at_] != '=') fail("an attribute without a value");
      ++at_;
      skipSpaces();
      if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) fail("an attribute without quotes");
      const char quote = text_[at_++];
      const std::size_t end = text_.find(quote, at_);
      if (end == std::string_view::npos) fail("an attribute's value is never closed");
      if (attribute == "type_id") node.tag = std::string(text_.substr(at_, end - at_));
      at_ = end + 1;
    }
    if (text_[at_] == '/') {
      at_ += 2;
      return node;
    }
    ++at_;
    std::string text;
    while (true) {
      if (at_ >= text_.size()) fail("<" + elementName + "> is never closed");
      if (text_.substr(at_).starts_with("<!--")) {
        skipMisc();
        continue;
      }
      if (text_.substr(at_).starts_with("</")) {
        at_ += 2;
        if (name() != elementName) fail("</" + elementName + "> is missing");
        skipSpaces();
        if (at_ >= text_.size() || text_[at_] != '>') fail("</" + elementName + " is never closed");
        ++at_;
        break;
      }
      if (text_[at_] == '<') {
        if (!trimmed(text).empty()) fail("<" + elementName + "> mixes text and elements");
        node.kind = StoredNode::Kind::Map;
        std::string childName;
        StoredNode child = element(childName, depth + 1);
        node.entries.push_back({std::move(childName), std::move(child)});
        continue;
      }
      text += character();
    }
    if (node.kind == StoredNode::Kind::Map) {
      if (!trimmed(text).empty()) fail("<" + elementName + "> mixes text and elements");
    } else {
      node.text = std::string(trimmed(text));
    }
    return node;
  }

  // One character of text, entities decoded.
  char character() {
    const char c = text_[at_++];
    if (c != '&') return c;
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const auto& [entity, value] : kEntities) {
      if (text_.substr(at_).starts_with(entity)) {
        at_ += entity.size();
        return value;
      }
    }
    fail("an unknown entity");
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

StoredText readStorageXml(std::string_view text) {
  try {
    XmlReader reader(text);
    return {reader.document(), {}};
  } catch (const Failure& failure) {
    return {std::nullopt, failure.message};
  }
}

}  // namespace kelmira
