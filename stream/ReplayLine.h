#pragma once
// A data line of a log read back into the live record and the image line, as a replay shows it: every
// scalar channel through the channel assignment, the samples scaled into the display window, then the
// orientation recomputed from the axes just read.

#include "config/Header.h"
#include "config/Settings.h"
#include "link/LinkState.h"
#include "stream/DataLine.h"
#include "stream/ImageLine.h"
#include "stream/StreamPorts.h"
#include "stream/ToolsStream.h"

namespace quelt {

// The settings a replay decodes with: the live ones, with the orientation reference and the magnetic
// declination of the log's header and its playback display window.
Settings replaySettings(const Settings& live, const LogHeader& header);

// Points the channel assignment of `shared` at the channel kinds of the layout and the log's unit.
void prepareReplay(StreamShared& shared, const LineLayout& layout, const LogHeader& header);

// Applies one parsed line; `settings` are the replay settings the stream was built with.
void applyReplayLine(const ParsedLine& parsed, const LineLayout& layout, const Settings& settings,
                     CToolsStream& stream, LiveState& live, ImageLine& line);

// Everything a replay outside the window decodes with: the replay settings, its own live record, image
// line and decoder. The command line's replay and line listing use it.
struct ReplayDecoder {
    ReplayDecoder(const Settings& liveSettings, const LogHeader& header, const LineLayout& layout,
                  double rotationOffset)
        : settings(replaySettings(liveSettings, header)),
          stream(settings, live, echo, image, shared, counters, linkStatus, events) {
        prepareReplay(shared, layout, header);
        shared.rotationOffset = rotationOffset;
    }
    void apply(const ParsedLine& parsed, const LineLayout& layout) {
        applyReplayLine(parsed, layout, settings, stream, live, image);
    }

    const Settings settings;
    LiveState live;
    ReplyEcho echo;
    ImageLine image;
    StreamShared shared;
    NullStreamEvents events;
    LinkCounters counters;
    std::atomic<int> linkStatus{0};
    CToolsStream stream;
};

}  // namespace quelt
