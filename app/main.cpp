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

int main(int argc, char** argv) {
    // --help and --version print and leave: they need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if ((a == "-h" || a == "--help" || a == "--help-all" || a == "-v" || a == "--version") &&
            !std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("QueltLogger");
    QApplication::setApplicationVersion(QUELT_VERSION);
    // Files always use a decimal point, whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");

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

    quelt::app::QtOperator op;
    const std::string home = quelt::chooseHome(parser.value(homeOption).toStdString()).string();
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
    quelt::DeviceChoice choice;
    choice.device = parser.value(deviceOption).toStdString();
    if (parser.isSet(scenarioOption)) choice.scenario = parser.value(scenarioOption).toStdString();
    if (parser.isSet(seedOption)) {
        bool ok = false;
        choice.seed = parser.value(seedOption).toULongLong(&ok);
        choice.seedGiven = ok;
    }
    const std::uint16_t productId =
        quelt::loggerProductId(context.preferences ? context.preferences->File() : std::string());
    std::unique_ptr<quelt::Device> device =
        quelt::makeDevice(choice, clock, context.settings, productId, error);
    if (!device) {
        QMessageBox::critical(nullptr, "QueltLogger", QString::fromStdString(error));
        return 2;
    }
    // The "Simulated logger" entry switches to the simulated logger and back to the device of the start
    // (the real logger unless --device chose another).
    auto switchDevice = [&clock, &context, choice, productId](bool simulated, std::string& why) {
        quelt::DeviceChoice next = choice;
        if (simulated)
            next.device = quelt::kSimDevice;
        else if (choice.simulated())
            next.device.clear();
        return quelt::makeDevice(next, clock, context.settings, productId, why);
    };
    quelt::app::DeviceLiveSource source(std::move(device), productId, switchDevice);
    // The end-of-process window exists, hidden, before the main window.
    quelt::app::CEndProcessDlg end;
    end.setAttribute(Qt::WA_QuitOnClose, false);
    quelt::app::MainWindow window(context, op, source, clock);
    window.setEndProcessWindow(&end);
    op.setParent(&window);
    instance.TrackFirstInstance(&window);
    window.show();
    if (parser.isSet(powerOnOption)) {
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window, poll] {
            if (window.linkStatus().load() < quelt::kLinkLogger) return;
            poll->stop();
            window.onPower();
        });
        poll->start(200);
    }
    if (parser.isSet(replayOption)) {
        // The replay-start question is answered with "All" as soon as it shows.
        auto* answer = new QTimer(&window);
        QObject::connect(answer, &QTimer::timeout, &window, [answer] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* start = qobject_cast<quelt::ui::CPSetDepthPlayer*>(w);
                    start && start->isVisible()) {
                    answer->stop();
                    start->allButton()->click();
                }
            }
        });
        answer->start(100);
        // A relative path that is not there is taken in the program folder ("Demo/Demo.HED").
        QFileInfo log(parser.value(replayOption));
        if (log.isRelative() && !log.exists())
            log = QFileInfo(QDir(QString::fromStdString(home)), log.filePath());
        op.scriptedPath = log.absoluteFilePath().toStdString();
        if (parser.isSet(replaySpeedOption))
            window.powerPanel()->speed->setValue(parser.value(replaySpeedOption).toInt());
        QTimer::singleShot(0, &window, [&window] {
            window.OpenAndPlay();
            window.onPlay();  // --replay plays at once
        });
    }
    if (parser.isSet(screenshotOption) && parser.isSet(scrollBackOption)) {
        constexpr int kScrollBackLead = 3000;  // ms of live rows arriving under the scrolled-back window
        const int rows = parser.value(scrollBackOption).toInt();
        QTimer::singleShot(std::max(parser.value(screenshotAfter).toInt() - kScrollBackLead, 0), &window,
                           [&window, rows] { window.scrollPictureBack(rows); });
    }
    if (parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        QTimer::singleShot(parser.value(screenshotAfter).toInt(), &window,
                           [&window, file] { window.grab().save(file, "PNG"); });
    }
    if (parser.isSet(travelOption)) {
        QTimer::singleShot(0, &window, [&window] { window.TravelTools(); });
        if (parser.isSet(screenshotOption)) {
            QFileInfo shot(parser.value(screenshotOption));
            const QString file = shot.dir().filePath(shot.completeBaseName() + "_travel." + shot.suffix());
            QTimer::singleShot(parser.value(screenshotAfter).toInt(), &window,
                               [&window, file] { window.travelTools()->grab().save(file, "PNG"); });
        }
    }
    // The counters of the live link, printed once: before the scripted power-off, else on leaving.
    bool statsDue = parser.isSet(statsOption);
    auto printStats = [&window, &source, &statsDue] {
        if (!statsDue) return;
        statsDue = false;
        const quelt::LinkCounters& c = window.acquisition().counters;
        std::fprintf(stderr,
                     "frames: dispatched %u, missed %u, resync %u, full decoded %u (Valid), full replaced %u "
                     "(Error)",
                     c.dispatched.load(), c.missed.load(), c.resync.load(), c.fullDecoded.load(),
                     c.fullReplaced.load());
        if (auto* sim = dynamic_cast<quelt::sim::SimDevice*>(&source.device()))
            std::fprintf(stderr, "; the simulated logger sent %d data frames",
                         sim->logger().counters().dataFrames);
        std::fprintf(stderr, "\n");
    };
    window.onPowerOff = printStats;
    if (parser.isSet(quitAfter)) {
        QTimer::singleShot(parser.value(quitAfter).toInt(), &window, [&window, &op, &printStats] {
            printStats();
            op.scriptedAnswer = true;
            if (window.probePanel().powered()) window.onPower();
            auto* wait = new QTimer(&window);
            QObject::connect(wait, &QTimer::timeout, &window, [&window, wait] {
                if (window.probePanel().powered() || window.probePanel().powerDownRunning()) return;
                wait->stop();
                window.close();
            });
            wait->start(100);
        });
    }
    int rc = application.exec();
    printStats();
    // The main window has run its shutdown; the link threads that are still there get their waits.
    end.say(quelt::app::kEndingUsb);
    source.stop();
    end.say(quelt::app::kShutdownProcess);
    QThread::msleep(400);
    end.hide();
    context.preferences->SavePaths();
    return rc;
}
