#pragma once

namespace kelmira {

// How a command on the job ended.
enum class WorkspaceResult {
  Done,
  // Nothing to work on, or the work could not be done; the job is as it was, and the user
  // was told where there is anything to tell.
  Failed,
  // A question was answered no: the job keeps what it had.
  Declined,
};

}  // namespace kelmira
