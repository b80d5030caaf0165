#pragma once
// The subcommands of `quelt`. Each lives in its own file and registers itself with a static
// CommandRegistration, so adding a subcommand touches no other file.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quelt {
class Operator;
struct ProgramContext;
}  // namespace quelt

namespace quelt::cli {

// Exit codes shared by every subcommand.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,  // the work failed (a file could not be read or written, the device failed ...)
    kExitUsage = 2,    // bad command line
    kExitNoDevice = 3,
    kExitInterrupted = 130,
};

// The options that come before the subcommand.
struct GlobalOptions {
    std::string home;      // --home DIR
    std::string device;    // --device sim|ftdi|serial:PATH
    bool yes = false;      // --yes: answer yes to every question
    bool replace = false;  // --replace: replace existing files
};

struct Command {
    std::string name;
    std::string summary;  // one line for `quelt --help`
    std::string usage;    // the whole `quelt NAME --help` text
    std::function<int(const GlobalOptions&, const std::vector<std::string>& args)> run;
};

std::vector<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(Command command) { commands().push_back(std::move(command)); }
};

bool wantsHelp(const std::vector<std::string>& args);

// Starts the program as every command does (the program folder, filled at a first start, and the
// settings). Prints "quelt COMMAND: reason" and gives false when it cannot; prints each setting that was
// out of its range and clamped on loading, so that a script's log shows it.
bool startCommand(const char* command, const std::string& home, Operator& op, ProgramContext& context);
// A number argument read as a whole ("12.5"); NaN for anything else ("12m", "abc"), so that the range
// check that follows refuses it with its own message. "nan" and "inf" read as themselves.
double numberArgument(const std::string& text);

// The options of a command: those that take a value, the switches, and one positional argument.
struct OptionTable {
    std::vector<std::pair<std::string, std::string*>> values;
    std::vector<std::pair<std::string, bool*>> switches;
    std::string* positional = nullptr;
};
// Reads `args` by the table. An unknown option, a missing value or a second positional argument prints
// "quelt COMMAND: bad argument A" and the usage on standard error and gives false.
bool parseOptions(const std::vector<std::string>& args, const OptionTable& table, const char* command,
                  const char* usage);

}  // namespace quelt::cli
