#include "stream/CheckCommSetup.h"

namespace quelt {

std::unique_ptr<CCheckComm> makeCheckComm(Acquisition& acquisition, Operator& op) {
    ProgramContext& context = acquisition.context();
    auto check = std::make_unique<CCheckComm>(context.settings, acquisition.echo, acquisition.linkFlags,
                                              static_cast<LoggerCommands&>(acquisition), op);
    check->programFolder = context.home.string();
    check->sondeSerial = context.sondes ? context.sondes->current().serialNumber : 0;
    check->saveSettings = [&context] {
        if (context.preferences) context.preferences->SaveSettings();
    };
    check->refreshDataView = [&acquisition](int code) {
        if (acquisition.onRefresh) acquisition.onRefresh(code);
    };
    return check;
}

}  // namespace quelt
