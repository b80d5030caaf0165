// quelt sonde: the sonde database Zorak.tol, as the probe page's list, Add and Remove use it.

#include <cstdio>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "config/ProgramContext.h"
#include "platform/Text.h"

namespace quelt::cli {
namespace {

const char* const kUsage =
    "Usage: quelt [--home DIR] sonde list [--json]\n"
    "       quelt [--home DIR] [--yes] sonde import FILE\n"
    "       quelt [--home DIR] [--yes] sonde remove SN\n"
    "       quelt [--home DIR] sonde select SN\n\n"
    "The sonde database Zorak.tol of the program folder:\n"
    "  list     the ten slots (serial number, lengths, offsets, gamma, high speed), the selected one marked\n"
    "  import   adds the sonde of a .vxq or .txt import file (the probe page's Add); a sonde already stored\n"
    "           with the same serial number is overwritten only with --yes. The imported sonde is selected.\n"
    "  remove   empties the slot of that serial number after the question, answered by --yes\n"
    "  select   makes the sonde of that serial number the one in use (SondeUsed)\n\n"
    "  --json   one JSON object: \"selected\" (slot) and \"slots\", an array of ten\n\n"
    "Exit codes: 0 done, 1 the program folder or a file cannot be used, 2 bad arguments, an unknown serial\n"
    "number, or the question answered no.\n";

// The command line's operator with the import file given on the command line.
class FileOperator final : public Operator {
  public:
    FileOperator(CliOperator& inner, std::string file) : inner_(inner), file_(std::move(file)) {}
    void message(const std::string& text, MessageKind kind) override {
        lastMessage = text;
        inner_.message(text, kind);
    }
    bool askYesNo(const std::string& text) override { return inner_.askYesNo(text); }
    std::optional<std::string> chooseFile(const std::string&, const std::string&, const std::string&,
                                          bool) override {
        return file_;
    }
    std::optional<std::string> chooseFolder(const std::string& t, const std::string& d) override {
        return inner_.chooseFolder(t, d);
    }

    std::string lastMessage;

  private:
    CliOperator& inner_;
    std::string file_;
};

std::string slotJson(const SondeEntry& e, int index, bool selected) {
    JsonObject o;
    o.addInt("slot", index).addBool("inUse", e.inUse()).addBool("selected", selected);
    if (e.inUse()) {
        o.addInt("SerialNumber", e.serialNumber)
            .addInt("SondeLenght", e.sondeLength)
            .addInt("WindowOffset", e.windowOffset())
            .addInt("DeviationOffset", static_cast<int>(e.deviationOffset))
            .addReal("RotationOffset", e.rotationOffset)
            .addInt("D42Travel", e.travelTimeOffset)
            .addBool("GammaOnBoard", e.gammaOnBoard)
            .addInt("GammaOffset", static_cast<int>(e.gammaOffset))
            .addReal("GammaCoef", parseLeadingDouble(formatG(e.gammaCoef)))
            .addBool("HighSpeedCOM", e.highSpeedCom);
    }
    return o.str();
}

int list(ProgramContext& c, bool json) {
    SondeDatabase& db = *c.sondes;
    if (json) {
        std::string slots;
        for (int i = 0; i < kSondeSlotCount; ++i)
            slots += (i ? ", " : "") + slotJson(db.slot(i), i, i == db.currentSlot());
        JsonObject o;
        o.addInt("selected", db.currentSlot()).add("slots", "[" + slots + "]");
        std::printf("%s\n", o.str().c_str());
        return kExitOk;
    }
    std::printf("slot  S/N   length window deviation rotation D42  gamma offset coef high-speed\n");
    for (int i = 0; i < kSondeSlotCount; ++i) {
        const SondeEntry& e = db.slot(i);
        const char* mark = i == db.currentSlot() ? "*" : " ";
        if (!e.inUse()) {
            std::printf("%s%-4d -\n", mark, i);
            continue;
        }
        std::printf("%s%-4d %04d  %6d %6d %9d %8.1f %4d  %-5s %6d %4.2f %s\n", mark, i, e.serialNumber,
                    e.sondeLength, e.windowOffset(), static_cast<int>(e.deviationOffset), e.rotationOffset,
                    e.travelTimeOffset, e.gammaOnBoard ? "yes" : "no", static_cast<int>(e.gammaOffset),
                    e.gammaCoef, e.highSpeedCom ? "yes" : "no");
    }
    return kExitOk;
}

std::optional<int> slotOfSerial(SondeDatabase& db, const std::string& text) {
    const int serial = parseLeadingInt(text);
    if (serial <= 0) return std::nullopt;
    return db.FindSonde(serial);
}

int runSonde(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fprintf(stderr, "quelt sonde: list, import, remove or select\n%s", kUsage);
        return kExitUsage;
    }
    const std::string action = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    bool json = false;
    std::string arg;
    OptionTable table;
    if (action == "list")
        table.switches = {{"--json", &json}};
    else
        table.positional = &arg;
    if (!parseOptions(rest, table, "sonde", kUsage)) return kExitUsage;
    if (action != "list" && action != "import" && action != "remove" && action != "select") {
        std::fprintf(stderr, "quelt sonde: bad argument %s\n%s", action.c_str(), kUsage);
        return kExitUsage;
    }
    if (action != "list" && arg.empty()) {
        std::fprintf(stderr, "quelt sonde %s: %s needed\n", action.c_str(),
                     action == "import" ? "FILE" : "SN");
        return kExitUsage;
    }

    CliOperator cliOp(options.yes);
    FileOperator op(cliOp, arg);
    ProgramContext context;
    std::string error;
    if (!startCommand("sonde", options.home, op, context)) return kExitFailure;
    SondeDatabase& db = *context.sondes;
    if (action == "list") return list(context, json);

    if (action == "import") {
        if (!db.ImportSonde()) return op.lastMessage == "Bad sonde file" ? kExitFailure : kExitUsage;
        context.preferences->SaveSettings();  // the imported sonde is the selected one
        std::fprintf(stderr, "quelt sonde: %04d imported into slot %d and selected\n",
                     db.current().serialNumber, db.currentSlot());
        return kExitOk;
    }

    auto slot = slotOfSerial(db, arg);
    if (!slot) {
        std::fprintf(stderr, "quelt sonde %s: no sonde %s in %s\n", action.c_str(), arg.c_str(),
                     SondeDatabase::filePath().c_str());
        return kExitUsage;
    }
    if (action == "select") {
        db.SelectSonde(*slot);
        context.preferences->SaveSettings();
        std::fprintf(stderr, "quelt sonde: %04d (slot %d) selected\n", db.current().serialNumber, *slot);
        return kExitOk;
    }
    // remove: the database blanks its current slot; the selection comes back afterwards when another
    // sonde was selected.
    const int selected = db.currentSlot();
    db.SelectSonde(*slot);
    const bool removed = db.RemoveSonde();
    if (selected != *slot) db.SelectSonde(selected);
    if (!removed) return kExitUsage;
    context.preferences->SaveSettings();
    return kExitOk;
}

CommandRegistration registration{{
    "sonde",
    "list, import, remove or select the sondes of the database Zorak.tol",
    kUsage,
    runSonde,
}};

}  // namespace
}  // namespace quelt::cli
