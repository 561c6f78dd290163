#include "cli/cli_command.h"

#include <CLI/CLI.hpp>

namespace kelmira {

bool CliCommand::chosen() const { return subcommand_ != nullptr && subcommand_->parsed(); }

}  // namespace kelmira
