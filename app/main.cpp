// queltlogger: the desktop program.

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTimer>
#include <clocale>

#include "app/LiveSource.h"
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
    QCommandLineOption quitAfter("quit-after", "Close the program after MS milliseconds.", "MS");
    parser.addOption(homeOption);
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
    quelt::app::NullLiveSource source;  // the device link plugs in here
    quelt::app::MainWindow window(context, op, source, clock);
    op.setParent(&window);
    instance.TrackFirstInstance(&window);
    window.show();
    if (parser.isSet(quitAfter))
        QTimer::singleShot(parser.value(quitAfter).toInt(), &application, &QApplication::quit);
    int rc = application.exec();
    context.preferences->SavePaths();
    return rc;
}
