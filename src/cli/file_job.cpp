#include "cli/file_job.h"

namespace kelmira {

MessageAnswer RecordingPrompts::showMessage(const std::string& text, MessageIcon, MessageButtons buttons) {
  if (buttons == MessageButtons::YesNo) {
    warnings_ += "kelmira-cli: warning: " + text + " Yes.\n";
    return MessageAnswer::Yes;
  }
  if (firstMessage_.empty()) firstMessage_ = text;
  return MessageAnswer::Ok;
}

std::string RecordingPrompts::reason(const std::string& fallback) const {
  return firstMessage_.empty() ? fallback : "cannot read " + subject_ + ": " + firstMessage_;
}

}  // namespace kelmira
