// queltlogger: the desktop program.

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <clocale>

#include "app/DeviceLiveSource.h"
#include "app/EndProcessDlg.h"
#include "app/MainWindow.h"
#include "app/QtOperator.h"
#include "app/SingleInstance.h"
#include "config/ProgramContext.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
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
        "device", "Logger device: sim (the built-in simulated logger), ftdi, serial:PATH.", "DEV");
    QCommandLineOption scenarioOption("scenario", "Scenario of the simulated logger (a name or an INI file).",
                                      "NAME");
    QCommandLineOption seedOption("seed", "Seed of the simulated logger.", "N");
    QCommandLineOption powerOnOption("power-on", "Switch the sonde on as soon as the logger is found.");
    QCommandLineOption screenshotOption("screenshot", "Save a picture of the main window as PNG into FILE.",
                                        "FILE");
    QCommandLineOption screenshotAfter("screenshot-after", "Take the --screenshot after MS milliseconds.",
                                       "MS", "5000");
    parser.addOption(powerOnOption);
    parser.addOption(screenshotOption);
    parser.addOption(screenshotAfter);
    parser.addOption(homeOption);
    parser.addOption(deviceOption);
    parser.addOption(scenarioOption);
    parser.addOption(seedOption);
    parser.addOption(quitAfter);
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
    quelt::app::DeviceChoice choice;
    choice.device = parser.value(deviceOption).toStdString();
    if (parser.isSet(scenarioOption)) choice.scenario = parser.value(scenarioOption).toStdString();
    if (parser.isSet(seedOption)) {
        bool ok = false;
        choice.seed = parser.value(seedOption).toULongLong(&ok);
        choice.seedGiven = ok;
    }
    std::uint16_t productId = 0;
    std::unique_ptr<quelt::Device> device = quelt::app::makeDevice(choice, clock, context, productId, error);
    if (!device) {
        QMessageBox::critical(nullptr, "QueltLogger", QString::fromStdString(error));
        return 2;
    }
    quelt::app::DeviceLiveSource source(std::move(device), productId);
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
    if (parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        QTimer::singleShot(parser.value(screenshotAfter).toInt(), &window,
                           [&window, file] { window.grab().save(file, "PNG"); });
    }
    if (parser.isSet(quitAfter)) {
        QTimer::singleShot(parser.value(quitAfter).toInt(), &window, [&window, &op] {
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
    // The main window has run its shutdown; the link threads that are still there get their waits.
    end.say(quelt::app::kEndingUsb);
    source.stop();
    end.say(quelt::app::kShutdownProcess);
    QThread::msleep(400);
    end.hide();
    context.preferences->SavePaths();
    return rc;
}
