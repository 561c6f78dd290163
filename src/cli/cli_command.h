#pragma once

#include <memory>
#include <string>

namespace CLI {
class App;
}

namespace kelmira {

// One kelmira-cli command: its subcommand and options, declared on the program's command
// line by the function that makes it, and its work once the line is parsed.
class CliCommand {
 public:
  explicit CliCommand(CLI::App* subcommand) : subcommand_(subcommand) {}
  virtual ~CliCommand() = default;
  CliCommand(const CliCommand&) = delete;
  CliCommand& operator=(const CliCommand&) = delete;

  // Whether the command line named this command.
  bool chosen() const;
  // Runs it; the exit status.
  virtual int run() = 0;

 protected:
  const CLI::App& subcommand() const { return *subcommand_; }

 private:
  CLI::App* subcommand_;
};

// A command that takes one file, named `fileName` in its help, and runs `run` on it.
std::unique_ptr<CliCommand> addOneFileCommand(CLI::App& app, const char* name, const char* description,
                                              const char* fileName, const char* fileDescription,
                                              int (*run)(const std::string& path));

// Each declares its command on `app`, in the order --help lists them.
std::unique_ptr<CliCommand> addUnwarpCommand(CLI::App& app);
std::unique_ptr<CliCommand> addInfoCommand(CLI::App& app);
std::unique_ptr<CliCommand> addSimulateCommand(CLI::App& app);
std::unique_ptr<CliCommand> addMovieCommand(CLI::App& app);
std::unique_ptr<CliCommand> addSphereCommand(CLI::App& app);
std::unique_ptr<CliCommand> addWebCommand(CLI::App& app);
std::unique_ptr<CliCommand> addVideoCommand(CLI::App& app);
std::unique_ptr<CliCommand> addFindRingCommand(CLI::App& app);
std::unique_ptr<CliCommand> addMovdumpCommand(CLI::App& app);
std::unique_ptr<CliCommand> addPanoramaCommand(CLI::App& app);

}  // namespace kelmira
