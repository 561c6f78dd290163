#pragma once

#include <string>

#include "image/progress_sink.h"
#include "workspace/prompts.h"

namespace kelmira {

// What one photograph's work came to: the line that reports it, or why it failed (a
// sentence that names the file, as "cannot read A.jpg: ...").
struct FileOutcome {
  bool ok = false;
  std::string report;
  std::string warnings;  // lines of questions answered yes on the way

  static FileOutcome written(std::string report) { return {true, std::move(report), {}}; }
  static FileOutcome failed(std::string reason) { return {false, std::move(reason), {}}; }
};

// Progress that names the step under way ("Reading", "Unwarping", "Writing").
class StepProgress : public ProgressSink {
 public:
  virtual void setLabel(std::string label) = 0;
};

// The prompts of work nobody watches: a question is answered yes, with a warning kept;
// any other message is kept as the reason the work failed.
class RecordingPrompts : public Prompts {
 public:
  explicit RecordingPrompts(std::string subject) : subject_(std::move(subject)) {}
  MessageAnswer showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override;

  // "cannot read SUBJECT: MESSAGE" for the first message, or the fallback.
  std::string reason(const std::string& fallback) const;
  const std::string& warnings() const { return warnings_; }

 private:
  std::string subject_;
  std::string firstMessage_;
  std::string warnings_;
};

}  // namespace kelmira
