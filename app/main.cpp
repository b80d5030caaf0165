// queltlogger: the desktop program.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "app/DeviceLiveSource.h"
#include "app/EndProcessDlg.h"
#include "app/MainWindow.h"
#include "app/PowerDlg.h"
#include "app/QtOperator.h"
#include "app/SingleInstance.h"
#include "config/ProgramContext.h"
#include "link/DeviceFactory.h"
#include "link/LoggerId.h"
#include "platform/Paths.h"
#include "sim/SimDevice.h"
#include "ui/setup/PSetDepthPlayer.h"
#include "ui/travel/TravelWindowDlg.h"

namespace {

using quelt::app::MainWindow;

// How often --power-on looks whether the logger has been found.
constexpr int kPowerOnPollMs = 200;
// How often a scripted run looks for the window it answers (the replay-start question) or waits on
// (the end of the power-off).
constexpr int kScriptPollMs = 100;
// How long the end-of-process window stays up after the link threads have ended.
constexpr unsigned long kEndProcessShowMs = 400;

// What the command line asked for.
struct Arguments {
    QString home;
    quelt::DeviceChoice choice;
    bool powerOn = false;
    QString replay;  // empty: no replay at start
    std::optional<int> replaySpeed;
    QString screenshot;  // empty: no screenshot
    int screenshotAfterMs = 0;
    std::optional<int> scrollBackRows;  // with a screenshot: rows to look back before it is taken
    bool travelTools = false;
    std::optional<int> quitAfterMs;
    bool stats = false;
};

// --help and --version print and leave: they need no display.
void noDisplayForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if ((a == "-h" || a == "--help" || a == "--help-all" || a == "-v" || a == "--version") &&
            !std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
}

Arguments parseArguments(const QApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription("QueltLogger, the surface acquisition program of the VEXA televiewer.");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption homeOption("home", "Program folder.", "DIR");
    QCommandLineOption quitAfter(
        "quit-after",
        "After MS milliseconds switch the sonde off and close the program, answering "
        "yes to the leaving question.",
        "MS");
    QCommandLineOption deviceOption(
        "device",
        "Logger device: ftdi (the real logger's USB bridge, the default), serial:PATH, or sim (the built-in "
        "simulated logger, shown as such in the title and the status bar).",
        "DEV");
    QCommandLineOption scenarioOption("scenario", "Scenario of the simulated logger (a name or an INI file).",
                                      "NAME");
    QCommandLineOption seedOption("seed", "Seed of the simulated logger.", "N");
    QCommandLineOption powerOnOption("power-on", "Switch the sonde on as soon as the logger is found.");
    QCommandLineOption screenshotOption("screenshot", "Save a picture of the main window as PNG into FILE.",
                                        "FILE");
    QCommandLineOption travelOption("travel-tools",
                                    "Open the \"Travel and LevelTime tools\" at start; with --screenshot, "
                                    "their picture goes to FILE with \"_travel\" before the extension.");
    QCommandLineOption screenshotAfter("screenshot-after", "Take the --screenshot after MS milliseconds.",
                                       "MS", "5000");
    QCommandLineOption scrollBackOption(
        "scroll-back",
        "With --screenshot: scroll the picture back ROWS rows three seconds before the picture is taken "
        "(the log goes on underneath).",
        "ROWS");
    QCommandLineOption replayOption(
        "replay",
        "Open the log PATH.HED (a relative path not found is taken in the program folder) and play it from "
        "its start, as \"Open and Play\" does.",
        "PATH.HED");
    QCommandLineOption statsOption("stats",
                                   "Print the link's frame counters on standard error (and the frames the "
                                   "simulated logger sent), before the power-off of --quit-after, else on "
                                   "leaving.");
    QCommandLineOption replaySpeedOption(
        "replay-speed", "Position of the player speed variator for --replay, 1 (slowest) to 50 (fastest).",
        "N");
    parser.addOption(homeOption);
    parser.addOption(deviceOption);
    parser.addOption(scenarioOption);
    parser.addOption(seedOption);
    parser.addOption(powerOnOption);
    parser.addOption(replayOption);
    parser.addOption(replaySpeedOption);
    parser.addOption(screenshotOption);
    parser.addOption(screenshotAfter);
    parser.addOption(scrollBackOption);
    parser.addOption(travelOption);
    parser.addOption(quitAfter);
    parser.addOption(statsOption);
    parser.process(application);

    Arguments args;
    args.home = parser.value(homeOption);
    args.choice.device = parser.value(deviceOption).toStdString();
    if (parser.isSet(scenarioOption)) args.choice.scenario = parser.value(scenarioOption).toStdString();
    if (parser.isSet(seedOption)) {
        bool ok = false;
        args.choice.seed = parser.value(seedOption).toULongLong(&ok);
        args.choice.seedGiven = ok;
    }
    args.powerOn = parser.isSet(powerOnOption);
    if (parser.isSet(replayOption)) args.replay = parser.value(replayOption);
    if (parser.isSet(replaySpeedOption)) args.replaySpeed = parser.value(replaySpeedOption).toInt();
    if (parser.isSet(screenshotOption)) args.screenshot = parser.value(screenshotOption);
    args.screenshotAfterMs = parser.value(screenshotAfter).toInt();
    if (parser.isSet(scrollBackOption)) args.scrollBackRows = parser.value(scrollBackOption).toInt();
    args.travelTools = parser.isSet(travelOption);
    if (parser.isSet(quitAfter)) args.quitAfterMs = parser.value(quitAfter).toInt();
    args.stats = parser.isSet(statsOption);
    return args;
}

// The live source over the device of --device. The "Simulated logger" entry switches to the simulated
// logger and back to the device of the start (the real logger unless --device chose another).
std::unique_ptr<quelt::app::DeviceLiveSource> makeLiveSource(const quelt::DeviceChoice& choice,
                                                             const quelt::Clock& clock,
                                                             quelt::ProgramContext& context,
                                                             std::string& error) {
    const std::uint16_t productId =
        quelt::loggerProductId(context.preferences ? context.preferences->File() : std::string());
    std::unique_ptr<quelt::Device> device =
        quelt::makeDevice(choice, clock, context.settings, productId, error);
    if (!device) return nullptr;
    auto switchDevice = [&clock, &context, choice, productId](bool simulated, std::string& why) {
        quelt::DeviceChoice next = choice;
        if (simulated)
            next.device = quelt::kSimDevice;
        else if (choice.simulated())
            next.device.clear();
        return quelt::makeDevice(next, clock, context.settings, productId, why);
    };
    return std::make_unique<quelt::app::DeviceLiveSource>(std::move(device), productId, switchDevice);
}

// --power-on: the power button is pressed once the logger is found.
void scriptPowerOn(MainWindow& window) {
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll] {
        if (window.linkStatus().load() < quelt::kLinkLogger) return;
        poll->stop();
        window.onPower();
    });
    poll->start(kPowerOnPollMs);
}

// --replay: "Open and Play" of the log, its replay-start question answered with "All" as soon as it
// shows, and the play started at once.
void scriptReplay(MainWindow& window, quelt::app::QtOperator& op, const std::string& home,
                  const Arguments& args) {
    auto* answer = new QTimer(&window);
    QObject::connect(answer, &QTimer::timeout, &window, [answer] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* start = qobject_cast<quelt::ui::CPSetDepthPlayer*>(w); start && start->isVisible()) {
                answer->stop();
                start->allButton()->click();
            }
        }
    });
    answer->start(kScriptPollMs);
    // A relative path that is not there is taken in the program folder ("Demo/Demo.HED").
    QFileInfo log(args.replay);
    if (log.isRelative() && !log.exists())
        log = QFileInfo(QDir(QString::fromStdString(home)), log.filePath());
    op.scriptedPath = log.absoluteFilePath().toStdString();
    if (args.replaySpeed) window.powerPanel()->speed->setValue(*args.replaySpeed);
    QTimer::singleShot(0, &window, [&window] {
        window.OpenAndPlay();
        window.onPlay();  // --replay plays at once
    });
}

// --screenshot of the main window, and with --travel-tools of the travel tools too.
void scriptScreenshots(MainWindow& window, const Arguments& args) {
    if (!args.screenshot.isEmpty() && args.scrollBackRows) {
        constexpr int kScrollBackLead = 3000;  // ms of live rows arriving under the scrolled-back window
        const int rows = *args.scrollBackRows;
        QTimer::singleShot(std::max(args.screenshotAfterMs - kScrollBackLead, 0), &window,
                           [&window, rows] { window.scrollPictureBack(rows); });
    }
    if (!args.screenshot.isEmpty()) {
        const QString file = args.screenshot;
        QTimer::singleShot(args.screenshotAfterMs, &window,
                           [&window, file] { window.grab().save(file, "PNG"); });
    }
    if (args.travelTools) {
        QTimer::singleShot(0, &window, [&window] { window.TravelTools(); });
        if (!args.screenshot.isEmpty()) {
            QFileInfo shot(args.screenshot);
            const QString file = shot.dir().filePath(shot.completeBaseName() + "_travel." + shot.suffix());
            QTimer::singleShot(args.screenshotAfterMs, &window,
                               [&window, file] { window.travelTools()->grab().save(file, "PNG"); });
        }
    }
}

// --stats: the counters of the live link, printed once: before the scripted power-off, else on leaving.
class StatsPrinter {
  public:
    StatsPrinter(bool due, MainWindow& window, quelt::app::DeviceLiveSource& source)
        : due_(due), window_(window), source_(source) {}
    void operator()() {
        if (!due_) return;
        due_ = false;
        const quelt::LinkCounters& c = window_.acquisition().counters;
        std::fprintf(stderr,
                     "frames: dispatched %u, missed %u, resync %u, full decoded %u (Valid), full replaced %u "
                     "(Error)",
                     c.dispatched.load(), c.missed.load(), c.resync.load(), c.fullDecoded.load(),
                     c.fullReplaced.load());
        if (auto* sim = dynamic_cast<quelt::sim::SimDevice*>(&source_.device()))
            std::fprintf(stderr, "; the simulated logger sent %d data frames",
                         sim->logger().counters().dataFrames);
        std::fprintf(stderr, "\n");
    }

  private:
    bool due_;
    MainWindow& window_;
    quelt::app::DeviceLiveSource& source_;
};

// --quit-after: the sonde switched off, the leaving question answered yes, the window closed once the
// power-off has ended.
void scriptQuit(MainWindow& window, quelt::app::QtOperator& op, StatsPrinter& stats, int afterMs) {
    QTimer::singleShot(afterMs, &window, [&window, &op, &stats] {
        stats();
        op.scriptedAnswer = true;
        if (window.probePanel().powered()) window.onPower();
        auto* wait = new QTimer(&window);
        QObject::connect(wait, &QTimer::timeout, &window, [&window, wait] {
            if (window.probePanel().powered() || window.probePanel().powerDownRunning()) return;
            wait->stop();
            window.close();
        });
        wait->start(kScriptPollMs);
    });
}

// The main window has run its shutdown; the link threads that are still there get their waits, then
// the paths are saved.
void endProcess(quelt::app::CEndProcessDlg& end, quelt::app::DeviceLiveSource& source,
                quelt::ProgramContext& context) {
    end.say(quelt::app::kEndingUsb);
    source.stop();
    end.say(quelt::app::kShutdownProcess);
    QThread::msleep(kEndProcessShowMs);
    end.hide();
    context.preferences->SavePaths();
}

}  // namespace

int main(int argc, char** argv) {
    noDisplayForHelp(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName("QueltLogger");
    QApplication::setApplicationVersion(QUELT_VERSION);
    // Files always use a decimal point, whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    const Arguments args = parseArguments(application);

    quelt::app::QtOperator op;
    const std::string home = quelt::chooseHome(args.home.toStdString()).string();
    quelt::app::SingleInstance instance(home);
    if (instance.PreviousInstanceRunning()) {
        op.message(quelt::app::kPrecedingInstanceText, quelt::MessageKind::Warning);
        instance.ActivatePreviousInstance();
        return 0;
    }

    quelt::ProgramContext context;
    std::string error;
    if (!quelt::startProgram(home, op, context, error)) {
        QMessageBox::critical(nullptr, "QueltLogger", QString::fromStdString(error));
        return 1;
    }
    // Files are read from here on: the application object may have set the numeric locale.
    std::setlocale(LC_NUMERIC, "C");
    quelt::SteadyClock clock;
    std::unique_ptr<quelt::app::DeviceLiveSource> source = makeLiveSource(args.choice, clock, context, error);
    if (!source) {
        QMessageBox::critical(nullptr, "QueltLogger", QString::fromStdString(error));
        return 2;
    }
    // The end-of-process window exists, hidden, before the main window.
    quelt::app::CEndProcessDlg end;
    end.setAttribute(Qt::WA_QuitOnClose, false);
    MainWindow window(context, op, *source, clock);
    window.setEndProcessWindow(&end);
    op.setParent(&window);
    instance.TrackFirstInstance(&window);
    window.show();

    if (args.powerOn) scriptPowerOn(window);
    if (!args.replay.isEmpty()) scriptReplay(window, op, home, args);
    scriptScreenshots(window, args);
    StatsPrinter printStats(args.stats, window, *source);
    window.onPowerOff = [&printStats] { printStats(); };
    if (args.quitAfterMs) scriptQuit(window, op, printStats, *args.quitAfterMs);

    const int rc = application.exec();
    printStats();
    endProcess(end, *source, context);
    return rc;
}
