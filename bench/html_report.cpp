// The HTML picture report of a long log (100 000 lines of 90 samples: 250 pictures of 764 x 400)
// against encoding the same number of 764 x 400 JPEG files directly from one raster, in the same run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "export/ExportAdapters.h"
#include "export/HtmlReport.h"
#include "stream/LogFile.h"
#include "tests/export/LogFixture.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

constexpr int kLines = 100000;

struct LongLog {
    fs::path dir, header;
    LongLog() {
        dir = fs::temp_directory_path() / ("quelt-bench-html-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        testing::FixtureLog log;
        log.recLineSize = testing::kFixtureFullLine;
        for (int i = 0; i < kLines; ++i) {
            testing::FixtureLine l;
            l.depth = 10000 + 5 * i;
            log.lines.push_back(l);
        }
        header = log.write(dir, "long");
    }
    ~LongLog() { fs::remove_all(dir); }
};

LongLog& longLog() {
    static LongLog log;
    return log;
}

void BM_HtmlReport(benchmark::State& state) {
    LongLog& log = longLog();
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    SondeDatabase sondes(settings, op);
    LogHeader header;
    CHeader io(settings, paths, placements, op, header, sondes);
    OpenedLog opened;
    if (openLog(log.header.string(), io, op, opened, false) != OpenLogResult::Ok) {
        state.SkipWithError("log not opened");
        return;
    }
    ColourTable table;
    BuildColourTable(defaultPalette(), 0, table);
    for (auto _ : state) {
        DataFileLineSource lines;
        if (!lines.open(opened.dataPath, header)) state.SkipWithError("data not opened");
        ExportReportRaster raster(settings, header, opened.layout, table);
        CHtmlReport report(log.dir.string() + "/", 0, raster);
        if (!report.MakeHtmlReport(lines, header, "long")) state.SkipWithError("report failed");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_JpegFilesDirect(benchmark::State& state) {
    LongLog& log = longLog();
    ColourTable table;
    BuildColourTable(defaultPalette(), 0, table);
    CExportBmp bmp(table, kColourMode);
    ExportRaster raster;
    bmp.ClearRaster(raster);
    std::array<std::uint8_t, 764> samples{};
    for (int row = 0; row < kExportRows; ++row) {
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::uint8_t>((row + 3 * i) % 256);
        bmp.ComposeRow(raster, samples.data(), 0, kExportBytesPerRow, row, 0, 360, 4);
        bmp.ComposeRow(raster, samples.data(), 0, kExportBytesPerRow, row, 404, 764, 4);
    }
    const fs::path out = log.dir / "direct.jpg";
    for (auto _ : state) {
        for (int picture = 0; picture < kLines / kExportRows; ++picture)
            if (!SaveJpeg(raster, out.string(), kExportRows, false)) state.SkipWithError("not written");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

}  // namespace

BENCHMARK(BM_JpegFilesDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlReport)->Unit(benchmark::kMillisecond);
