// The cost of one picture row per resolution, and of writing the export raster as JPEG against
// TurboJPEG called directly on the same pixels.
#include <benchmark/benchmark.h>

#include <turbojpeg.h>

#include <cmath>
#include <filesystem>

#include "imaging/ExportBmp.h"
#include "imaging/ToolsBmp.h"

namespace {

using namespace quelt;

void fillLine(ImageLine& line, int ns, int phase) {
    for (int i = 0; i < ns; ++i) {
        line.sampleLine[i] = static_cast<std::uint8_t>(128 + 100 * std::sin((i + phase) * 0.05));
        line.sampleLine[kAmplitudeColumn + i] = static_cast<std::uint8_t>(i * 7 + phase);
    }
}

void BM_CreatePixelRow(benchmark::State& state) {
    int code = static_cast<int>(state.range(0));
    ScriptedOperator op;
    CToolsBmp bmp;
    bmp.InitImageBuffer(1080, op);
    bmp.ClearImageBuffer();
    RowInputs in;
    in.gammaScale = 1000;
    in.gammaCount = 100;
    in.gammaTime = 200;
    ImageLine line;
    fillLine(line, samplesForResolution(code), 0);
    int row = 0;
    double depth = 100.0;
    for (auto _ : state) {
        depth += 0.004;
        bmp.CreatePixelRow(kMarginRows + (row++ % 1000), line.sampleLine.data(), 90, code,
                           static_cast<int>(depth * 100), true, true, 100, 200, in);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CreatePixelRow)->DenseRange(1, 4);

void BM_DrawLineOfPixel(benchmark::State& state) {
    ScriptedOperator op;
    CToolsBmp bmp;
    bmp.InitImageBuffer(1080, op);
    bmp.ClearImageBuffer();
    RowInputs in;
    ImageLine line;
    fillLine(line, 180, 3);
    double depth = 100.0;
    for (auto _ : state) {
        depth += 0.004;
        bmp.DrawLineOfPixel(line, in, true, 2, true, false, depth);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawLineOfPixel);

ExportRaster makeRaster() {
    ColourTable table;
    BuildColourTable(defaultPalette(), 0, table);
    CExportBmp bmp(table, kColourMode);
    ExportRaster raster;
    bmp.ClearRaster(raster);
    ImageLine line;
    for (int r = 0; r < kExportRows; ++r) {
        fillLine(line, 180, r);
        bmp.ComposeRow(raster, line.sampleLine.data(), 0, kExportBytesPerRow, r, 0, 360, 2);
        bmp.ComposeRow(raster, line.sampleLine.data(), 0, kExportBytesPerRow, r, 404, 764, 2);
    }
    return raster;
}

void BM_SaveJpeg(benchmark::State& state) {
    ExportRaster raster = makeRaster();
    std::string path = (std::filesystem::temp_directory_path() / "quelt_bench_rowbuilder.jpg").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveJpeg(raster, path, kExportRows, false));
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveJpeg)->Unit(benchmark::kMillisecond);

// The same pixels compressed by TurboJPEG alone (no file): the floor for BM_SaveJpeg.
void BM_TurboJpegDirect(benchmark::State& state) {
    ExportRaster raster = makeRaster();
    tjhandle handle = tjInitCompress();
    for (auto _ : state) {
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(handle, raster.bytes.data(), 764, kExportBytesPerRow, kExportRows, TJPF_BGR, &out, &size,
                    TJSAMP_444, kJpegQuality, TJFLAG_ACCURATEDCT);
        benchmark::DoNotOptimize(size);
        tjFree(out);
    }
    tjDestroy(handle);
}
BENCHMARK(BM_TurboJpegDirect)->Unit(benchmark::kMillisecond);

}  // namespace
