// What the operator sees in the main window must be true: the palette in use, the placements, the
// keyboard chord, a window that fits the screen, the transport pictures, the remembered paths and the
// HTML report made from the window.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "WindowFixture.h"
#include "app/QtOperator.h"
#include "config/Diagnostics.h"
#include "platform/Paths.h"
#include "ui/setup/PSetDepthPlayer.h"
#include "ui/widgets/DephtDlg.h"
#include "ui/widgets/PaletteDlg.h"
#include "ui/widgets/PictureView.h"
#include "ui/widgets/Placement.h"
#include "ui/widgets/ToolsProbeDlg.h"

namespace fs = std::filesystem;
using windowtest::bufferCopy;
using windowtest::WindowTest;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Answers the modal dialogs of one command with `act` instead of the fixture's closer.
class Answering {
  public:
    template <class F>
    Answering(QTimer& closer, F act) : closer_(closer) {
        closer_.stop();
        QObject::connect(&timer_, &QTimer::timeout, [act] {
            if (QWidget* w = QApplication::activeModalWidget()) act(w);
        });
        timer_.start(5);
    }
    ~Answering() { closer_.start(5); }

  private:
    QTimer& closer_;
    QTimer timer_;
};

}  // namespace

TEST_F(WindowTest, APaletteChosenInTheSelectorColoursTheNextRowsOfThePicture) {
    const std::string header = makeLog();
    auto replayedRows = [&] {
        op.answerPath(header);
        window->OpenAndPlay();
        window->onPlay();
        EXPECT_TRUE(nextLine());
        EXPECT_TRUE(nextLine());
        auto rows = bufferCopy(window->picture());
        window->onStop();
        return rows;
    };
    const auto before = replayedRows();
    const int other = context.settings.PaletteInUse == 3 ? 4 : 3;
    {
        Answering answer(*modalCloser, [other](QWidget* w) {
            if (auto* d = qobject_cast<quelt::ui::CPaletteDlg*>(w)) {
                d->choose(d->list()->findData(other));
                d->accept();
            }
        });
        window->choosePalette();
    }
    ASSERT_EQ(context.settings.PaletteInUse, other);
    const auto after = replayedRows();
    ASSERT_EQ(before.size(), after.size());
    EXPECT_NE(before, after) << "the rows drawn after the choice keep the old palette";
}

TEST_F(WindowTest, TheChordFiresWithTheKeyEventsOfAnX11Keyboard) {
    int opened = 0;
    window->technicalToolsHook = [&](quelt::ui::CTechnicalToolsDlg&) { ++opened; };
    // What the X server sends for Ctrl, Shift, Alt, T on a standard keymap: with Shift held, the Alt
    // key's keysym is Meta_L, which Qt reports as Key_Meta.
    struct Key {
        int key;
        Qt::KeyboardModifiers held;
        quint32 scanCode, keysym;
        const char* text;
    };
    const Key keys[] = {
        {Qt::Key_Control, Qt::NoModifier, 37, 0xffe3, ""},
        {Qt::Key_Shift, Qt::ControlModifier, 50, 0xffe1, ""},
        {Qt::Key_Meta, Qt::ControlModifier | Qt::ShiftModifier, 64, 0xffe7, ""},
        {Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, 28, 0x54, "T"},
    };
    for (const Key& k : keys) {
        QKeyEvent press(QEvent::KeyPress, k.key, k.held, k.scanCode, k.keysym, 0, k.text);
        QApplication::sendEvent(window.get(), &press);
    }
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
        QKeyEvent release(QEvent::KeyRelease, it->key, it->held, it->scanCode, it->keysym, 0, it->text);
        QApplication::sendEvent(window.get(), &release);
    }
    QApplication::processEvents();
    EXPECT_EQ(opened, 1);
}

TEST(Placement, ATitleBarOnNoScreenIsMovedOntoTheNearestOne) {
    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    struct Case {
        const char* name;
        QRect stored, placed;
    };
    const Case cases[] = {
        {"on the first screen", {100, 100, 800, 600}, {100, 100, 800, 600}},
        {"on the second screen", {2000, 50, 800, 600}, {2000, 50, 800, 600}},
        {"title bar above the screen", {100, -30, 800, 600}, {100, 0, 800, 600}},
        {"left of every screen", {-2000, 200, 800, 600}, {0, 200, 800, 600}},
        {"right of every screen", {4000, 100, 800, 600}, {2400, 100, 800, 600}},
        {"a sliver of title bar on a screen", {3150, 100, 800, 600}, {2400, 100, 800, 600}},
        {"below the first screen", {100, 1100, 800, 600}, {100, 480, 800, 600}},
        {"larger than the screen it lands on", {-50, -50, 2500, 1500}, {0, 0, 1920, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(quelt::ui::keepTitleBarOnScreen(c.stored, screens), c.placed);
    }
}

TEST_F(WindowTest, PlacementsPutTheTitleBarsWhereTheyWereStored) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    auto slot = [&](int left, int top, int width, int height) {
        quelt::WindowPlacement p;
        p.length = 44;
        p.showCmd = 1;
        p.left = left;
        p.top = top;
        p.right = left + width;
        p.bottom = top + height;
        return p;
    };
    // The main window at the corner of the screen; the tools box and the magnifier stored above it.
    context.placements.set(quelt::PlacementSlot::MainWindow, slot(area.left(), area.top(), 900, 600));
    context.placements.set(quelt::PlacementSlot::ToolsBox, slot(area.left() + 40, area.top() - 60, 300, 200));
    context.placements.set(quelt::PlacementSlot::DepthMagnifier,
                           slot(area.left() + 80, area.top() - 500, 300, 120));
    quelt::app::MainWindow second(context, op, source, clock);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    EXPECT_EQ(second.frameGeometry().topLeft(), area.topLeft());
    EXPECT_EQ(second.frameGeometry().height(), 600);
    EXPECT_GE(second.geometry().top(), area.top());

    second.ToolBox();
    const QRect tools = second.toolsBox()->frameGeometry();
    EXPECT_EQ(tools.topLeft(), QPoint(area.left() + 40, area.top())) << "moved onto the screen";
    second.showMagnifier();
    EXPECT_EQ(second.depthDisplay()->magnifier()->frameGeometry().topLeft(),
              QPoint(area.left() + 80, area.top()));

    // What is stored again is the frame: the same corner comes back.
    ASSERT_TRUE(second.close());
    const quelt::WindowPlacement kept = context.placements.get(quelt::PlacementSlot::MainWindow);
    EXPECT_EQ(QPoint(kept.left, kept.top), area.topLeft());
    EXPECT_EQ(kept.bottom - kept.top, 600);
}

TEST_F(WindowTest, EveryControlIsReachableOnA1024By768ScreenAndThePictureTakesTheHeight) {
    window->fitToScreen(QRect(0, 0, 1024, 768));
    QApplication::processEvents();
    EXPECT_LE(window->width() + quelt::app::kFrameAllowance.width(), 1024);
    EXPECT_LE(window->height() + quelt::app::kFrameAllowance.height(), 768);
    EXPECT_EQ(window->pictureView()->width(), 764) << "the picture keeps its full width";
    auto* column = window->findChild<QScrollArea*>("panelColumn");
    ASSERT_NE(column, nullptr);
    const QRect client = window->rect();
    int checked = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QSlider*>(w) || dynamic_cast<quelt::ui::CGraphicCounterCtrl*>(w) ||
                             dynamic_cast<quelt::ui::PaletteStrip*>(w);
        if (!control || !w->isVisibleTo(window.get()) || w->window() != window.get()) continue;
        ++checked;
        SCOPED_TRACE(w->objectName().toStdString() + " " + w->metaObject()->className());
        QRect shownIn = client;
        if (column->widget()->isAncestorOf(w)) {
            // Reachable by scrolling the panel column.
            column->ensureWidgetVisible(w, 0, 0);
            QApplication::processEvents();
            shownIn =
                QRect(column->viewport()->mapTo(window.get(), QPoint(0, 0)), column->viewport()->size());
            EXPECT_TRUE(client.contains(shownIn));
        }
        EXPECT_TRUE(shownIn.contains(QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size())));
    }
    EXPECT_GT(checked, 20);

    window->fitToScreen(QRect(0, 0, 1920, 1080));
    QApplication::processEvents();
    EXPECT_GE(window->pictureView()->height(), 1080 - 250) << "the picture uses the screen's height";
    EXPECT_EQ(window->minimumWidth(), window->maximumWidth()) << "the width stays fixed";
}

TEST_F(WindowTest, RecordAndPausePicturesBlinkWhileRecording) {
    auto polls = [&](int n, bool pause) {
        std::string shown;
        for (int i = 0; i < n; ++i) {
            clock.advance(300);
            window->modelTick(clock.now());
            window->mainTick(clock.now());
            shown += (pause ? panel().pauseShownBlinking() : panel().recordShownActive()) ? '1' : '0';
        }
        return shown;
    };
    EXPECT_EQ(polls(3, false), "000") << "idle while not recording";
    window->modeFlags().recording = true;
    EXPECT_EQ(polls(16, false), "1100001111000011");
    window->modeFlags().recordPaused = true;
    EXPECT_EQ(polls(4, true), "1010");
    EXPECT_FALSE(panel().recordShownActive());
    window->modeFlags().recording = false;
    window->modeFlags().recordPaused = false;
    EXPECT_EQ(polls(1, true), "0");
    // The travel and level tools exist with the window: their button is on.
    EXPECT_TRUE(panel().travelWindow->isEnabled());
}

TEST_F(WindowTest, OpeningALogRemembersItsPathsAndNamesAMissingDataFile) {
    const std::string header = makeLog(4, 0.5, 100, "second");
    op.answerPath(header);
    window->OpenAndPlay();
    ASSERT_TRUE(window->modeFlags().replayLoaded);
    const std::string cfg = readText(quelt::resolveNoCase(sandbox / "h" / "Zorak.cfg"));
    EXPECT_NE(cfg.find("LastFile=" + header), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("FileName=second.VIV"), std::string::npos);
    EXPECT_NE(cfg.find("FilePath=" + (sandbox / "h").string()), std::string::npos);
    window->onStop();

    fs::remove(sandbox / "h" / "second.VIV");
    op.answerPath(header);
    window->OpenAndPlay();
    ASSERT_FALSE(op.messages().empty());
    EXPECT_EQ(op.messages().back(), "Data file not present.\n" + (sandbox / "h" / "second.viv").string());
}

TEST_F(WindowTest, AtTheEndOfAReplayWithoutALoggerItsLastTimeStaysShown) {
    for (int link : {0, 16}) {
        SCOPED_TRACE(link);
        window->linkStatus() = link;
        op.answerPath(makeLog(3, 0.5, 61000));
        window->OpenAndPlay();
        window->onPlay();
        while (nextLine()) {
        }
        window->mainTick(clock.now());
        EXPECT_FALSE(window->modeFlags().playing);
        EXPECT_EQ(panel().elapsed->isVisible(), link == 0);
        if (link == 0) {
            EXPECT_EQ(panel().elapsed->text(), "00:02:02");
        }
        window->onStop();
    }
    window->linkStatus() = 0;
}

TEST_F(WindowTest, TheRunCountersAreReadBeforeThePowerOffZeroesThem) {
    window->probePanel().selectSonde(42, false);
    window->onPower();
    ASSERT_TRUE(window->probePanel().powered());
    window->acquisition().counters.fullDecoded = 120;
    unsigned seen = 0;
    window->onPowerOff = [&] { seen = window->acquisition().counters.fullDecoded.load(); };
    clock.advance(1000);
    window->onPower();
    EXPECT_EQ(seen, 120u);
    EXPECT_EQ(window->acquisition().counters.fullDecoded.load(), 0u) << "the power-off zeroes them";
}

TEST_F(WindowTest, AFailedLoggerCommandIsWrittenToTheErrorLog) {
    const std::string folder = (sandbox / "h").string() + "/";
    quelt::Diagnostics::configure(folder, true);
    window->acquisition().writeCommand = [](const quelt::CommandFrame&) -> bool {
        throw std::runtime_error("bridge gone");
    };
    static_cast<quelt::LoggerCommands&>(window->acquisition()).sendF1();  // the power-up sequence's call
    quelt::Diagnostics::configure(folder, false);
    EXPECT_NE(readText(quelt::resolveNoCase(sandbox / "h" / "error.log")).find("bridge gone=CUSB::sendF1"),
              std::string::npos);
}

TEST_F(WindowTest, TheOpenDialogsProposeTheDemonstrationLogOnANewProgramFolder) {
    // The first start copies the demonstration log of the build; a log of its name stands in for it
    // when this build has not made it.
    if (!fs::exists(quelt::resolveNoCase(sandbox / "h" / "Demo" / "Demo.HED"))) {
        fs::create_directories(sandbox / "h" / "Demo");
        makeLog(4, 0.5, 100, "Demo/Demo");
    }
    const fs::path demo = quelt::resolveNoCase(sandbox / "h" / "Demo" / "Demo.HED");
    const std::string own = makeLog();
    struct Case {
        const char* name;
        std::string logDir, lastHeader;
        fs::path proposed;
    };
    const Case cases[] = {
        {"as the first start left them", context.paths.logDir, context.paths.lastHeader, demo},
        {"a bare drive stored", "c:\\", "c:\\", demo},
        {"the root folder stored", "/", "/", demo},
        {"a log of the operator's", (sandbox / "h").string(), own, own},
    };
    quelt::app::QtOperator dialogs;
    quelt::app::MainWindow w(context, dialogs, source, clock);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        context.paths.logDir = c.logDir;
        context.paths.lastHeader = c.lastHeader;
        std::vector<std::pair<QString, QStringList>> shown;
        {
            Answering answer(*modalCloser, [&](QWidget* m) {
                if (auto* d = qobject_cast<QFileDialog*>(m)) {
                    shown.push_back({d->directory().absolutePath(), d->selectedFiles()});
                    d->reject();
                }
            });
            w.OpenAndPlay();
            w.OpenInHtml();
        }
        ASSERT_EQ(shown.size(), 2u) << "Open and Play, Open in HTML";
        for (const auto& [folder, files] : shown) {
            EXPECT_EQ(folder.toStdString(), c.proposed.parent_path().string());
            EXPECT_EQ(files, QStringList{QString::fromStdString(c.proposed.string())});
        }
    }
}

// --- The HTML report from the window --------------------------------------------------------------

namespace {

// The headless browser of the machine, or empty.
std::string browser() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        for (const char* name : {"chromium-headless-shell", "chromium"}) {
            const fs::path candidate = fs::path(dir) / name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        }
    return {};
}

// Loads the page in the browser and returns, per picture in page order, "complete WxH" of the
// picture as decoded, or the browser's failure.
std::vector<std::string> picturesAsLoaded(const std::string& chromium, const fs::path& page,
                                          const fs::path& scratch) {
    const fs::path check = page.parent_path() / "check.html";
    std::ofstream(check) << "<html><body><iframe id='r' src='" << page.filename().string() << "'></iframe>"
                         << "<script>window.onload = function() {"
                            " var out = [];"
                            " for (const i of document.getElementById('r').contentDocument.images)"
                            "  out.push((i.complete ? 'complete ' : 'broken ') + i.naturalWidth + 'x' + "
                            "i.naturalHeight);"
                            " var p = document.createElement('pre'); p.id = 'result';"
                            " p.textContent = out.join(';'); document.body.appendChild(p); };"
                            "</script></body></html>";
    const std::string command = "timeout 120 '" + chromium +
                                "' --headless --no-sandbox --disable-gpu --disable-background-networking "
                                "--disable-component-update --no-first-run --allow-file-access-from-files "
                                "--virtual-time-budget=10000 --user-data-dir='" +
                                (scratch / "browser").string() + "' --dump-dom 'file://" + check.string() +
                                "' 2>/dev/null";
    std::string dom;
    if (FILE* out = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
            dom.append(buffer, n);
        ::pclose(out);
    }
    fs::remove(check);
    std::smatch m;
    if (!std::regex_search(dom, m, std::regex("<pre id=\"result\">([^<]*)</pre>")))
        return {"no result: " + dom};
    std::vector<std::string> pictures;
    std::stringstream items(m[1].str());
    std::string item;
    while (std::getline(items, item, ';'))
        pictures.push_back(item);
    return pictures;
}

std::vector<std::string> picturesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".jpg") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_F(WindowTest, OpenInHtmlWritesTheReportShowsItsProgressAndThePagesPath) {
    // 450 lines of 25 cm from 12 m: pictures of 400 and 50 rows.
    const std::string header = makeLog(450, 0.25, 100, "report");
    int highest = -1;
    QObject::connect(window->progressBar(), &QProgressBar::valueChanged,
                     [&](int v) { highest = std::max(highest, v); });
    op.answerPath(header);
    window->OpenInHtml();
    ASSERT_TRUE(window->htmlBusy());
    window->mainTick(clock.now());
    EXPECT_FALSE(window->action("openHtml")->isEnabled()) << "one report at a time";
    EXPECT_FALSE(window->action("openPlay")->isEnabled());
    EXPECT_TRUE(window->progressBar()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->htmlBusy(); }, 120000));
    const fs::path folder = sandbox / "h" / "report-HTML", page = folder / "report.html";
    EXPECT_EQ(window->statusPart(0).toStdString(), page.string());
    EXPECT_TRUE(op.messages().empty()) << op.messages().front();
    EXPECT_GE(highest, 99);
    EXPECT_FALSE(window->progressBar()->isVisible());
    window->mainTick(clock.now());
    EXPECT_TRUE(window->action("openHtml")->isEnabled());
    EXPECT_EQ(picturesIn(folder),
              (std::vector<std::string>{"report+0012.00-0111.75.jpg", "report+0112.00-0124.25.jpg"}));
    const std::string cfg = readText(quelt::resolveNoCase(sandbox / "h" / "Zorak.cfg"));
    EXPECT_NE(cfg.find("LastFile=" + header), std::string::npos);

    // In a real browser every picture of the page loads at its size.
    const std::string chromium = browser();
    if (chromium.empty()) GTEST_SKIP() << "no chromium-headless-shell or chromium on this machine";
    EXPECT_EQ(picturesAsLoaded(chromium, page, sandbox),
              (std::vector<std::string>{"complete 764x400", "complete 764x50"}));
}

TEST_F(WindowTest, TheReplayStartDialogChoosesWhereTheReportStarts) {
    const std::string header = makeLog(450, 0.25, 100, "report");
    op.answerPath(header);
    {
        Answering answer(*modalCloser, [](QWidget* w) {
            if (auto* start = qobject_cast<quelt::ui::CPSetDepthPlayer*>(w)) {
                start->entry()->setText("62");
                start->okButton()->click();
            }
        });
        window->OpenInHtml();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->htmlBusy(); }, 120000));
    EXPECT_EQ(picturesIn(sandbox / "h" / "report-HTML"),
              std::vector<std::string>{"report+0062.00-0124.25.jpg"});
}

TEST_F(WindowTest, AReportThatCannotBeWrittenShowsTheLatencyMessageAndPutsTheStatusBack) {
    const std::string header = makeLog(20, 0.01, 100, "report");
    std::ofstream(sandbox / "h" / "report-HTML") << "a file where the report's folder goes";
    window->modeMessage("Acquisition Mode.");
    op.answerPath(header);
    window->OpenInHtml();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->htmlBusy(); }, 60000));
    EXPECT_EQ(op.messages(), std::vector<std::string>{
                                 "latency exceeded for the creation of images JPEG, await or start again the "
                                 "application."});
    EXPECT_EQ(window->statusPart(0), "Acquisition Mode.");

    // With the sonde on, the report is refused like a replay.
    op.clear();
    window->probePanel().selectSonde(42, false);
    window->onPower();
    window->mainTick(clock.now());
    EXPECT_FALSE(window->action("openHtml")->isEnabled());
    window->OpenInHtml();
    EXPECT_EQ(op.messages(),
              std::vector<std::string>{"Sonde must be switched Off before entering in Replay Mode."});
}
