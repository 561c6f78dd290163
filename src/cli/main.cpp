// kelmira-cli: turns round mirror photographs into panoramas from the command line.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/interruption.h"
#include "base/simd_target.h"
#include "cli/cli_command.h"
#include "cli/command_options.h"
#include "cli/printable_text.h"
#include "settings/settings_version.h"

namespace {

// The status of a command, or of the interruption that stopped it.
int ended(int status) {
  if (!kelmira::Interruption::stopped()) return status;
  std::fprintf(stderr, "kelmira-cli: stopped by %s: the results reported above are finished, no other was written\n",
               kelmira::Interruption::signalName(kelmira::Interruption::signal()).c_str());
  return kelmira::Interruption::exitStatus();
}

int runCommandLine(int argc, char** argv) {
  CLI::App app{"Kelmira: turns round photographs taken through a panoramic mirror into 360-degree panoramas.",
               "kelmira-cli"};
  app.set_version_flag("--version", "kelmira-cli " + kelmira::versionText() + "\n" + kelmira::simdDescription(),
                       "Print the version and the vector instructions in use, and exit");
  app.require_subcommand(1);

  std::vector<std::unique_ptr<kelmira::CliCommand>> commands;
  for (const auto add : {kelmira::addUnwarpCommand, kelmira::addInfoCommand, kelmira::addSimulateCommand,
                         kelmira::addMovieCommand, kelmira::addSphereCommand, kelmira::addWebCommand,
                         kelmira::addVideoCommand, kelmira::addFindRingCommand, kelmira::addMovdumpCommand,
                         kelmira::addPanoramaCommand}) {
    commands.push_back(add(app));
  }
  // Positionals are named by themselves; "TEXT" after each says nothing.
  for (CLI::App* command : app.get_subcommands({})) {
    for (CLI::Option* option : command->get_options()) {
      if (option->get_positional()) option->type_name("");
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and the version are answers (0); anything else is a usage error (2).
    return app.exit(error) == 0 ? 0 : 2;
  }

  // A forced target that cannot be had would make a test or a bug report say the wrong thing.
  if (const std::string problem = kelmira::simdChoice().problem; !problem.empty()) {
    return kelmira::usageError(problem.c_str());
  }

  // A failure is a message and a status, never an abort that leaves the shell a core dump.
  try {
    for (const auto& command : commands) {
      if (command->chosen()) return command->run();
    }
    return 2;  // the parser lets no command line through without one
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kelmira-cli: stopped by an unexpected problem: %s\n",
                 kelmira::printable(error.what()).c_str());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "kelmira-cli: stopped by an unexpected problem\n");
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C, SIGTERM and SIGHUP stop the work in order.
  kelmira::Interruption::watch("kelmira-cli");
  return ended(runCommandLine(argc, argv));
}
