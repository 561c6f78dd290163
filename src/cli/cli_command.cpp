#include "cli/cli_command.h"

#include <CLI/CLI.hpp>

namespace kelmira {

bool CliCommand::chosen() const { return subcommand_ != nullptr && subcommand_->parsed(); }

namespace {

class OneFileCommand final : public CliCommand {
 public:
  OneFileCommand(CLI::App* command, const char* fileName, const char* fileDescription,
                 int (*run)(const std::string& path))
      : CliCommand(command), run_(run) {
    command->add_option(fileName, path_, fileDescription)->required();
  }
  int run() override { return run_(path_); }

 private:
  int (*run_)(const std::string& path);
  std::string path_;
};

}  // namespace

std::unique_ptr<CliCommand> addOneFileCommand(CLI::App& app, const char* name, const char* description,
                                              const char* fileName, const char* fileDescription,
                                              int (*run)(const std::string& path)) {
  return std::make_unique<OneFileCommand>(app.add_subcommand(name, description), fileName, fileDescription, run);
}

}  // namespace kelmira
