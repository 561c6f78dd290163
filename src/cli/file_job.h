#pragma once

#include <string>

#include "image/progress_sink.h"
#include "workspace/prompts.h"

namespace kelmira {

// How one photograph's work ended.
enum class FileResult {
  Written,
  Failed,
  Skipped,  // left alone for a reason that is no failure (it is a panorama already)
  Stopped,  // the run was interrupted before it was done
};

// What one photograph's work came to: the line that reports it, or why it failed or was
// skipped (a sentence that names the file, as "cannot read A.jpg: ..."). File names in
// these lines are printable (printable_text.h).
struct FileOutcome {
  FileResult result = FileResult::Failed;
  std::string report;
  std::string warnings;  // lines of questions answered yes on the way

  bool ok() const { return result == FileResult::Written; }
  static FileOutcome written(std::string report) { return {FileResult::Written, std::move(report), {}}; }
  static FileOutcome failed(std::string reason) { return {FileResult::Failed, std::move(reason), {}}; }
  static FileOutcome skipped(std::string reason) { return {FileResult::Skipped, std::move(reason), {}}; }
};

// Progress that names the step under way ("Reading", "Unwarping", "Writing").
class StepProgress : public ProgressSink {
 public:
  virtual void setLabel(std::string label) = 0;
};

// The prompts of work nobody watches: a message of information is kept as a warning, any
// other message as the reason the work failed; a question is answered yes with a warning
// kept, or, when questions are declined, no, and the question kept.
class RecordingPrompts : public Prompts {
 public:
  explicit RecordingPrompts(std::string subject, bool declineQuestions = false)
      : subject_(std::move(subject)), declineQuestions_(declineQuestions) {}
  MessageAnswer showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override;

  // "cannot read SUBJECT: MESSAGE" for the first message, or the fallback.
  std::string reason(const std::string& fallback) const;
  const std::string& warnings() const { return warnings_; }

 private:
  std::string subject_;
  bool declineQuestions_;
  std::string firstMessage_;
  std::string warnings_;
};

}  // namespace kelmira
