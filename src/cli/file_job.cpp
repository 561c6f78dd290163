#include "cli/file_job.h"

#include "cli/printable_text.h"

namespace kelmira {

MessageAnswer RecordingPrompts::showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  if (buttons == MessageButtons::YesNo) {
    if (declineQuestions_) return MessageAnswer::No;
    warnings_ += "kelmira-cli: warning: " + printable(text) + " Yes.\n";
    return MessageAnswer::Yes;
  }
  // Information is a warning: the work goes on.
  if (icon == MessageIcon::Information) {
    warnings_ += "kelmira-cli: warning: " + printable(text) + "\n";
    return MessageAnswer::Ok;
  }
  if (firstMessage_.empty()) firstMessage_ = text;
  return MessageAnswer::Ok;
}

std::string RecordingPrompts::reason(const std::string& fallback) const {
  return firstMessage_.empty() ? fallback : "cannot read " + printable(subject_) + ": " + printable(firstMessage_);
}

}  // namespace kelmira
