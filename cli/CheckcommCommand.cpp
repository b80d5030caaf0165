// quelt checkcomm: the communication auto-check from the command line, through the same model as the
// desktop dialog.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "cli/Headless.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "link/SpeedTables.h"
#include "stream/CheckCommSetup.h"

namespace quelt::cli {
namespace {

enum class Accept { Yes, No, Ask };

// Messages on standard error; the acceptance question answered as --accept says.
class CheckcommOperator final : public Operator {
  public:
    CheckcommOperator(Operator& base, Accept accept) : base_(base), accept_(accept) {}
    void message(const std::string& text, MessageKind kind) override {
        std::string oneLine = text;
        for (char& c : oneLine)
            if (c == '\n') c = ' ';
        base_.message("quelt checkcomm: " + oneLine, kind);
    }
    bool askYesNo(const std::string& text) override {
        if (accept_ != Accept::Ask) {
            std::fprintf(stderr, "quelt checkcomm: %s [%s]\n", text.c_str(),
                         accept_ == Accept::Yes ? "yes (--accept yes)" : "no (--accept no)");
            return accept_ == Accept::Yes;
        }
        std::fprintf(stderr, "quelt checkcomm: %s [y/N] ", text.c_str());
        std::string answer;
        if (!std::getline(std::cin, answer)) return false;
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
    }
    std::optional<std::string> chooseFile(const std::string& t, const std::string& d, const std::string& f,
                                          bool s) override {
        return base_.chooseFile(t, d, f, s);
    }
    std::optional<std::string> chooseFolder(const std::string& t, const std::string& d) override {
        return base_.chooseFolder(t, d);
    }

  private:
    Operator& base_;
    Accept accept_;
};

int baudNumber(int divisor) {
    return std::atoi(baudText(divisor));
}

std::string resultJson(const CCheckComm& c) {
    std::string entries;
    for (const CheckCommEntry& e : c.entries()) {
        if (!entries.empty()) entries += ",";
        entries += JsonObject()
                       .addInt("baud", baudNumber(e.divisor))
                       .addInt("downholeDrive", e.downholeDrive)
                       .addInt("upholeDrive", e.upholeDrive)
                       .addInt("gainMin", e.gainMin)
                       .addInt("gainMax", e.gainMax)
                       .str();
    }
    return JsonObject()
        .addString("result", checkCommResultName(c.result()))
        .addInt("baud", baudNumber(c.finalDivisor()))
        .addInt("downholeDrive", c.finalDrive())
        .addInt("upholeDrive", c.finalUphole())
        .addInt("gain", c.finalGain())
        .add("entries", "[" + entries + "]")
        .addString("report", c.reportPath())
        .str();
}

int runCheckcomm(const GlobalOptions& options, const std::vector<std::string>& argsIn);

const char* const kUsage =
    "Usage: quelt [--home DIR] [--device sim|ftdi|serial:PATH] checkcomm [--accept yes|no|ask] [--json]\n"
    "                                 [--scenario S --seed N] [--fast]\n\n"
    "Powers the sonde up and runs the communication auto-check: the gain test, the downhole drive\n"
    "statistics and the speed scan, as the \"Communication Auto check\" dialog does. Each Infos text and\n"
    "each speed that passes is printed on standard error. When a speed is found the check asks whether to\n"
    "accept it; accepted values are applied and stored in Zorak.cfg. The report\n"
    "reporting_NNNN_<mono|4cond>.txt is written in the program folder in every case. Then the sonde is\n"
    "powered down.\n\n"
    "  --accept A      answer the acceptance question: yes, no, or ask on the terminal (the default on a\n"
    "                  terminal; no otherwise)\n"
    "  --json          print the result as one JSON object: "
    "{\"result\":\"success|refused|failed|cancelled\",\n"
    "                  "
    "\"baud\":208333,\"downholeDrive\":18,\"upholeDrive\":5,\"gain\":4,\"entries\":[{\"baud\":62500,\n"
    "                  "
    "\"downholeDrive\":18,\"upholeDrive\":16,\"gainMin\":0,\"gainMax\":6},...],\"report\":\"PATH\"}\n"
    "  --scenario S    the simulated logger's scenario (quelt simulate --list), --seed N its seed\n"
    "  --fast          run the simulated logger on simulated time, as fast as the machine goes\n\n"
    "Ctrl-C cancels the check as its Cancel button does: the values at opening are restored and the report\n"
    "is written.\n\n"
    "Exit codes: 0 a result accepted and stored, 1 the check failed (or the logger was lost), 2 the result\n"
    "was refused or a bad command line, 3 no logger, 130 interrupted.\n";

int runCheckcomm(const GlobalOptions& options, const std::vector<std::string>& argsIn) {
    std::vector<std::string> args = argsIn;
    HeadlessOptions ho;
    if (!takeHeadlessOptions(args, ho, "checkcomm")) return kExitUsage;
    std::string acceptText;
    bool json = false;
    if (!parseOptions(args, {{{"--accept", &acceptText}}, {{"--json", &json}}, nullptr}, "checkcomm", kUsage))
        return kExitUsage;
    Accept accept = ::isatty(STDIN_FILENO) ? Accept::Ask : Accept::No;
    if (acceptText == "yes") {
        accept = Accept::Yes;
    } else if (acceptText == "no") {
        accept = Accept::No;
    } else if (acceptText == "ask") {
        accept = Accept::Ask;
    } else if (!acceptText.empty()) {
        std::fprintf(stderr, "quelt checkcomm: --accept takes yes, no or ask\n");
        return kExitUsage;
    }

    Headless h(options, ho);
    if (!h.start("checkcomm")) return h.startFailure;
    if (h.threaded()) h.acq->commandPendingNow = [&h] { return h.acq->linkFlags.senderBusy.load(); };
    catchInterrupts();
    int rc = powerUp(h, "checkcomm", json);
    if (rc != kExitOk) return rc;

    CheckcommOperator op(h.op, accept);
    std::unique_ptr<CCheckComm> made = makeCheckComm(*h.acq, op);
    CCheckComm& check = *made;
    std::string lastInfos;
    check.onChange = [&] {
        const std::string& infos = check.view().infos.text;
        if (infos != lastInfos && !infos.empty()) {
            lastInfos = infos;
            std::fprintf(stderr, "quelt checkcomm: %s\n", infos.c_str());
        }
    };
    check.onSpeedPassed = [](const CheckCommEntry& e) {
        std::fprintf(stderr, "quelt checkcomm: passed %s: downhole drive %d, uphole drive %d, gain %d..%d\n",
                     baudText(e.divisor), e.downholeDrive, e.upholeDrive, e.gainMin, e.gainMax);
    };
    const Millis start = h.now();
    check.open(start);
    bool lost = false, cancelled = false;
    while (!check.closed()) {
        if (interrupted() && !cancelled) {
            cancelled = true;
            check.cancel();
        }
        if (!h.run(10)) {
            lost = true;
            break;
        }
        check.tick(h.now());
    }
    if (lost) {
        std::fprintf(stderr, "quelt checkcomm: the logger was lost: its USB link failed (cable pulled?)\n");
        return kExitFailure;
    }
    std::fprintf(stderr, "quelt checkcomm: %s after %.1f s, %d commands\n",
                 checkCommResultName(check.result()), static_cast<double>(h.now() - start) / 1000.0,
                 check.commandsSent());
    if (json) {
        std::printf("%s\n", resultJson(check).c_str());
    } else {
        std::printf("result %s\nbaud %s\ndownholeDrive %d\nupholeDrive %d\ngain %d\n",
                    checkCommResultName(check.result()), baudText(check.finalDivisor()), check.finalDrive(),
                    check.finalUphole(), check.finalGain());
        for (const CheckCommEntry& e : check.entries())
            std::printf("entry %s %d %d %d %d\n", baudText(e.divisor), e.downholeDrive, e.upholeDrive,
                        e.gainMin, e.gainMax);
        std::printf("report %s\n", check.reportPath().c_str());
    }
    std::fflush(stdout);
    powerDown(h, "checkcomm");
    switch (check.result()) {
        case CheckCommResult::Success:
            return kExitOk;
        case CheckCommResult::Refused:
            return kExitUsage;
        case CheckCommResult::Cancelled:
            return kExitInterrupted;
        default:
            return kExitFailure;
    }
}

CommandRegistration registration{{
    "checkcomm",
    "power the sonde up and find the drives, gain window and fastest speed the cable carries",
    kUsage,
    runCheckcomm,
}};

}  // namespace
}  // namespace quelt::cli
