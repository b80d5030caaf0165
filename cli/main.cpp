// quelt: the command line of QueltLogger.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "config/ProgramContext.h"

namespace quelt::cli {

std::vector<Command>& commands() {
    static std::vector<Command> list;
    return list;
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

bool startCommand(const char* command, const std::string& home, Operator& op, ProgramContext& context) {
    std::string error;
    if (!startProgram(home, op, context, error)) {
        std::fprintf(stderr, "quelt %s: %s\n", command, error.c_str());
        return false;
    }
    for (const std::string& note : context.preferences->loadNotes())
        std::fprintf(stderr, "quelt %s: %s\n", command, note.c_str());
    return true;
}

double numberArgument(const std::string& text) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    return text.empty() || !end || *end != '\0' ? std::nan("") : v;
}

bool parseOptions(const std::vector<std::string>& args, const OptionTable& table, const char* command,
                  const char* usage) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool ok = false;
        for (const auto& [name, into] : table.values) {
            if (a != name) continue;
            ok = i + 1 < args.size();
            if (ok) *into = args[++i];
            break;
        }
        for (const auto& [name, into] : table.switches) {
            if (a != name) continue;
            *into = ok = true;
        }
        if (!ok && table.positional && !a.empty() && a[0] != '-' && table.positional->empty()) {
            *table.positional = a;
            ok = true;
        }
        if (!ok) {
            std::fprintf(stderr, "quelt %s: bad argument %s\n%s", command, a.c_str(), usage);
            return false;
        }
    }
    return true;
}

static void printHelp() {
    std::printf(
        "Usage: quelt [--home DIR] [--device sim|ftdi|serial:PATH] [--yes] [--replace] COMMAND [OPTIONS]\n"
        "       quelt --version\n\n"
        "The command line of QueltLogger, the surface acquisition program of the VEXA televiewer.\n\n"
        "Options (before or after COMMAND):\n"
        "  --home DIR     program folder (default: $QUELT_HOME, else ~/.local/share/queltlogger)\n"
        "  --device DEV   logger device: ftdi (the real logger's USB bridge, the default), serial:PATH\n"
        "                 or sim (the built-in simulated logger, named as such in every output)\n"
        "  --yes          answer yes to every question\n"
        "  --replace      replace existing files without asking\n"
        "  --version      print the version and exit\n\n"
        "Commands:\n");
    for (const auto& c : commands())
        std::printf("  %-12s %s\n", c.name.c_str(), c.summary.c_str());
    std::printf("\n'quelt COMMAND --help' describes one command.\n");
}

}  // namespace quelt::cli

namespace {

using namespace quelt::cli;

enum class Global { No, Taken, Bad };

// Takes a global option at args[i] (and its value); --home, --device, --yes and --replace are global
// wherever they stand, before or after the command name, as users type them.
Global takeGlobal(const std::vector<std::string>& args, size_t& i, GlobalOptions& options) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "quelt: %s needs a value\n", a.c_str());
            return Global::Bad;
        }
        out = args[++i];
        return Global::Taken;
    };
    if (a == "--home") return value(options.home);
    if (a == "--device") return value(options.device);
    if (a.rfind("--home=", 0) == 0) {
        options.home = a.substr(7);
    } else if (a.rfind("--device=", 0) == 0) {
        options.device = a.substr(9);
    } else if (a == "--yes") {
        options.yes = true;
    } else if (a == "--replace") {
        options.replace = true;
    } else {
        return Global::No;
    }
    return Global::Taken;
}

}  // namespace

int main(int argc, char** argv) {
    GlobalOptions options;
    const std::vector<std::string> all(argv + 1, argv + argc);
    size_t i = 0;
    for (; i < all.size(); ++i) {
        const Global g = takeGlobal(all, i, options);
        if (g == Global::Bad) return kExitUsage;
        if (g == Global::Taken) continue;
        const std::string& a = all[i];
        if (a == "--version") {
            std::printf("quelt %s\n", QUELT_VERSION);
            return kExitOk;
        } else if (a == "--help" || a == "-h") {
            printHelp();
            return kExitOk;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "quelt: unknown option %s (see quelt --help)\n", a.c_str());
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i >= all.size()) {
        printHelp();
        return kExitUsage;
    }
    const std::string name = all[i++];
    std::vector<std::string> args;
    for (; i < all.size(); ++i) {
        const Global g = takeGlobal(all, i, options);
        if (g == Global::Bad) return kExitUsage;
        if (g == Global::No) args.push_back(all[i]);
    }
    for (const auto& c : commands()) {
        if (c.name != name) continue;
        if (wantsHelp(args)) {
            std::printf("%s", c.usage.c_str());
            return kExitOk;
        }
        return c.run(options, args);
    }
    std::fprintf(stderr, "quelt: unknown command '%s' (see quelt --help)\n", name.c_str());
    return kExitUsage;
}
