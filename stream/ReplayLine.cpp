#include "stream/ReplayLine.h"

#include <memory>

namespace quelt {

Settings replaySettings(const Settings& live, const LogHeader& header) {
    Settings s = live;
    s.PicOriented = header.screenMode;
    s.MagneticOffset = header.magneticDeclination;
    if (header.playbackWindow > 0) {
        s.DisplayBlanking = header.playbackBlanking;
        s.DisplayWindow = header.playbackWindow;
    }
    s.LevelContrast = header.playbackLevelGain;
    return s;
}

void prepareReplay(StreamShared& shared, const LineLayout& layout, const LogHeader& header) {
    auto kinds = std::make_shared<std::vector<int>>();
    for (const LineChannel& c : layout.channels)
        kinds->push_back(c.kind);
    shared.channelIdOfIndex = [kinds](int index) {
        return index >= 0 && index < static_cast<int>(kinds->size()) ? (*kinds)[static_cast<size_t>(index)]
                                                                     : -1;
    };
    shared.logInFeet = header.referenceUnit == 1;
    shared.modes.replayLoaded = 1;
}

void applyReplayLine(const ParsedLine& parsed, const LineLayout& layout, const Settings& settings,
                     CToolsStream& stream, LiveState& live, ImageLine& line) {
    for (size_t i = 0; i < layout.channels.size(); ++i) {
        int type = layout.channels[i].sampleType;
        if (type <= 7)
            stream.OnScreenAssigment(static_cast<int>(i), static_cast<int>(parsed.values[i]), true);
        else if (type == 8 || type == 9)
            stream.OnScreenAssigment(static_cast<int>(i), 0, true);
    }
    const int n = parsed.sampleCount;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<size_t>(i);
        const std::uint16_t t = parsed.travelTimes[k];
        line.rawLine[k] = t;
        line.sampleLine[k] = scaleTravelTime(t, settings.DisplayBlanking, settings.DisplayWindow);
        std::uint8_t a = parsed.amplitudes16 ? scaleAmplitude16(parsed.amplitudes[k], settings.LevelContrast)
                                             : static_cast<std::uint8_t>(parsed.amplitudes[k]);
        line.sampleLine[ImageLine::kAmplitudeOffset + k] = a;
        line.rawLine[ImageLine::kRawAmplitudeOffset + k] = a;
    }
    if (n > 0) line.samplesPerTurn = n;
    // The orientation from the six axes the line just gave, averaged as live.
    const LiveValues v = live.snapshot();
    stream.updateOrientation(v.hx, v.hy, v.hz, v.gx, v.gy, v.gz, true);
}

}  // namespace quelt
