// Channel maps: from the order of a file's channels to the engine's order.
//
// The engine takes mono, stereo (left, right) or 5.1 in the order front left,
// front right, centre, LFE, back left, back right. A file without a channel
// map is taken to be in that order; a file with one is reordered, and a map
// that does not name exactly those positions is refused.
#pragma once

#include <string>

#include "ParamTable.h"

struct ChannelLayout {
    Layout layout = Layout::Stereo;
    int channels = 0;
    // engineToFile[e]: the file channel that feeds engine channel e.
    int engineToFile[6] = {0, 1, 2, 3, 4, 5};
    bool reordered = false;
};

// Builds the layout of a file with `channels` channels and, when map is not
// null, the libsndfile channel map (SF_CHANNEL_MAP_* per file channel).
// Returns an empty string, or the cause of a refusal ("3 channels: ...").
std::string mapChannels(int channels, const int* map, ChannelLayout& layout);

// "mono", "stereo", "5.1"
const char* layoutName(Layout layout);
