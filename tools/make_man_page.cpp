// kelmira-make-man: writes a program's manual page from its own --help and --version, and
// from those of each of its subcommands, so that the page never drifts from the code.
// Usage: kelmira-make-man PROGRAM NAME DATE OUT.1 [--description FILE] [--tail FILE]
//                         [--commands-of OTHER_PROGRAM]
// DESCRIPTION and the sections after the options come from roff files of their own;
// --commands-of lists another program's subcommands under SEE ALSO.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string run(const std::string& command) {
  std::string output;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  return output;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// Text safe in roff: backslashes and hyphens escaped, no control character at a line start.
std::string roff(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

struct Item {
  std::string name;
  std::string description;
};

struct Section {
  std::string title;  // "Options", "Positionals", "Subcommands"
  std::vector<Item> items;
};

// A help text as the programs print it: a description line, a usage line, then sections
// of items, each a name and a description from the 30th column (or on the next lines).
struct Help {
  std::string description;
  std::string usage;
  std::vector<Section> sections;
};

Help parseHelp(const std::string& text) {
  Help help;
  const std::vector<std::string> all = lines(text);
  for (const std::string& line : all) {
    if (line.empty()) continue;
    if (line.rfind("Usage: ", 0) == 0) {
      help.usage = line.substr(7);
    } else if (line[0] != ' ' && line.back() == ':') {
      help.sections.push_back({line.substr(0, line.size() - 1), {}});
    } else if (line[0] != ' ' && help.usage.empty()) {
      help.description += (help.description.empty() ? "" : " ") + line;
    } else if (!help.sections.empty() && line.rfind("  ", 0) == 0) {
      std::vector<Item>& items = help.sections.back().items;
      const std::size_t start = line.find_first_not_of(' ');
      if (start >= 4 && !items.empty()) {  // a description carried on from the line before
        items.back().description += (items.back().description.empty() ? "" : " ") + line.substr(start);
        continue;
      }
      const std::size_t gap = line.find("  ", start);
      Item item;
      item.name = line.substr(start, gap == std::string::npos ? std::string::npos : gap - start);
      if (gap != std::string::npos) {
        const std::size_t text = line.find_first_not_of(' ', gap);
        if (text != std::string::npos) item.description = line.substr(text);
      }
      items.push_back(item);
    }
  }
  return help;
}

const Section* findSection(const Help& help, const std::string& title) {
  for (const Section& section : help.sections) {
    if (section.title == title) return &section;
  }
  return nullptr;
}

// "-h,--help" as roff: each spelling bold, separated by commas; a value part in italics.
std::string itemName(const std::string& name) {
  const std::size_t space = name.find(' ');
  const std::string flags = name.substr(0, space);
  std::string out;
  std::size_t from = 0;
  while (from <= flags.size()) {
    const std::size_t comma = flags.find(',', from);
    const std::string flag = flags.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    out += (out.empty() ? "" : ", ") + std::string("\\fB") + roff(flag) + "\\fR";
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  if (space != std::string::npos) out += " \\fI" + roff(name.substr(space + 1)) + "\\fR";
  return out;
}

void writeItems(std::ostream& out, const Section& section) {
  for (const Item& item : section.items) {
    out << ".TP\n" << itemName(item.name) << "\n" << roff(item.description) << "\n";
  }
}

std::vector<std::string> subcommandsOf(const Help& help) {
  std::vector<std::string> names;
  if (const Section* section = findSection(help, "Subcommands")) {
    for (const Item& item : section->items) names.push_back(item.name);
  }
  return names;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: kelmira-make-man PROGRAM NAME DATE OUT.1 [--description FILE] [--tail FILE] "
                 "[--commands-of PROGRAM]\n");
    return 2;
  }
  const std::string program = argv[1], name = argv[2], date = argv[3], outPath = argv[4];
  std::string description, tail, otherProgram;
  for (int i = 5; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--description") description = readFile(argv[i + 1]);
    if (option == "--tail") tail = readFile(argv[i + 1]);
    if (option == "--commands-of") otherProgram = argv[i + 1];
  }

  const Help help = parseHelp(run("'" + program + "' --help"));
  // The first line names the release; the next say what this machine runs.
  std::string version = run("'" + program + "' --version");
  version = version.substr(0, version.find('\n'));
  if (help.usage.empty() || version.empty()) {
    std::fprintf(stderr, "kelmira-make-man: %s gave no usable --help or --version\n", program.c_str());
    return 1;
  }

  std::ostringstream page;
  page << ".\\\" Made by kelmira-make-man from the program's own help; do not edit.\n";
  page << ".TH " << upper(name) << " 1 \"" << date << "\" \"" << roff(version) << "\" \"User Commands\"\n";
  std::string summary = help.description;
  if (summary.rfind("Kelmira: ", 0) == 0) summary = summary.substr(9);
  page << ".SH NAME\n" << roff(name) << " \\- " << roff(summary) << "\n";
  page << ".SH SYNOPSIS\n.B " << roff(name) << "\n" << roff(help.usage.substr(help.usage.find(' ') + 1)) << "\n";
  const std::vector<std::string> subcommands = subcommandsOf(help);
  for (const std::string& subcommand : subcommands) {
    const Help sub = parseHelp(run("'" + program + "' " + subcommand + " --help"));
    page << ".br\n.B " << roff(name) << "\n" << roff(sub.usage.substr(sub.usage.find(' ') + 1)) << "\n";
  }
  page << ".SH DESCRIPTION\n" << description;
  if (const Section* positionals = findSection(help, "Positionals")) {
    page << ".SH ARGUMENTS\n";
    writeItems(page, *positionals);
  }
  if (const Section* options = findSection(help, "Options")) {
    page << ".SH OPTIONS\n";
    writeItems(page, *options);
  }
  if (!subcommands.empty()) {
    page << ".SH COMMANDS\n";
    for (const std::string& subcommand : subcommands) {
      const Help sub = parseHelp(run("'" + program + "' " + subcommand + " --help"));
      page << ".SS " << roff(subcommand) << "\n" << roff(sub.description) << "\n.PP\n.B " << roff(name) << "\n"
           << roff(sub.usage.substr(sub.usage.find(' ') + 1)) << "\n";
      for (const Section& section : sub.sections) {
        if (section.title == "Options") {
          // Every command takes --help; the rest are its own.
          Section own{section.title, {}};
          for (const Item& item : section.items) {
            if (item.name.find("--help") == std::string::npos) own.items.push_back(item);
          }
          writeItems(page, own);
        } else {
          writeItems(page, section);
        }
      }
    }
  }
  page << tail;
  if (!otherProgram.empty()) {
    const Help other = parseHelp(run("'" + otherProgram + "' --help"));
    std::string otherName = other.usage.substr(0, other.usage.find(' '));
    page << "\\fB" << roff(otherName) << "\\fR(1), the same engine on the command line: ";
    const std::vector<std::string> commands = subcommandsOf(other);
    for (std::size_t i = 0; i < commands.size(); ++i) {
      page << (i == 0 ? "" : i + 1 == commands.size() ? " and " : ", ") << "\\fB" << roff(commands[i]) << "\\fR";
    }
    page << ".\n";
  }

  std::ofstream out(outPath);
  out << page.str();
  if (!out) {
    std::fprintf(stderr, "kelmira-make-man: cannot write %s\n", outPath.c_str());
    return 1;
  }
  return 0;
}
