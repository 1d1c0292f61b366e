#include "ChannelMap.h"

#include <sndfile.h>

namespace {

// Short position names for messages.
const char* positionName(int position) {
    switch (position) {
        case SF_CHANNEL_MAP_MONO: return "M";
        case SF_CHANNEL_MAP_LEFT: return "L";
        case SF_CHANNEL_MAP_RIGHT: return "R";
        case SF_CHANNEL_MAP_CENTER: return "C";
        case SF_CHANNEL_MAP_FRONT_LEFT: return "FL";
        case SF_CHANNEL_MAP_FRONT_RIGHT: return "FR";
        case SF_CHANNEL_MAP_FRONT_CENTER: return "FC";
        case SF_CHANNEL_MAP_REAR_CENTER: return "BC";
        case SF_CHANNEL_MAP_REAR_LEFT: return "BL";
        case SF_CHANNEL_MAP_REAR_RIGHT: return "BR";
        case SF_CHANNEL_MAP_LFE: return "LFE";
        case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER: return "FLC";
        case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER: return "FRC";
        case SF_CHANNEL_MAP_SIDE_LEFT: return "SL";
        case SF_CHANNEL_MAP_SIDE_RIGHT: return "SR";
        case SF_CHANNEL_MAP_TOP_CENTER: return "TC";
        default: return "?";
    }
}

// The engine channel a position feeds in a layout, or -1. The 5.1 surrounds
// may be labelled back (rear) or side: both are the layout's surround pair.
int engineChannel(Layout layout, int position) {
    switch (layout) {
        case Layout::Mono:
            return 0;
        case Layout::Stereo:
            if (position == SF_CHANNEL_MAP_LEFT || position == SF_CHANNEL_MAP_FRONT_LEFT) return 0;
            if (position == SF_CHANNEL_MAP_RIGHT || position == SF_CHANNEL_MAP_FRONT_RIGHT) return 1;
            return -1;
        case Layout::Surround51:
            switch (position) {
                case SF_CHANNEL_MAP_LEFT:
                case SF_CHANNEL_MAP_FRONT_LEFT: return 0;
                case SF_CHANNEL_MAP_RIGHT:
                case SF_CHANNEL_MAP_FRONT_RIGHT: return 1;
                case SF_CHANNEL_MAP_CENTER:
                case SF_CHANNEL_MAP_FRONT_CENTER: return 2;
                case SF_CHANNEL_MAP_LFE: return 3;
                case SF_CHANNEL_MAP_REAR_LEFT:
                case SF_CHANNEL_MAP_SIDE_LEFT: return 4;
                case SF_CHANNEL_MAP_REAR_RIGHT:
                case SF_CHANNEL_MAP_SIDE_RIGHT: return 5;
                default: return -1;
            }
    }
    return -1;
}

}  // namespace

const char* layoutName(Layout layout) {
    switch (layout) {
        case Layout::Mono: return "mono";
        case Layout::Stereo: return "stereo";
        case Layout::Surround51: return "5.1";
    }
    return "";
}

std::string mapChannels(int channels, const int* map, ChannelLayout& result) {
    result = ChannelLayout{};
    result.channels = channels;
    switch (channels) {
        case 1: result.layout = Layout::Mono; break;
        case 2: result.layout = Layout::Stereo; break;
        case 6: result.layout = Layout::Surround51; break;
        default:
            return std::to_string(channels) +
                   " channels; orvanta-level levels 1 (mono), 2 (stereo) or 6 (5.1) channels";
    }
    if (map == nullptr) return "";

    int fileOf[6] = {-1, -1, -1, -1, -1, -1};
    bool mappable = true;
    for (int f = 0; f < channels; ++f) {
        const int e = engineChannel(result.layout, map[f]);
        if (e < 0 || fileOf[e] >= 0) { mappable = false; break; }
        fileOf[e] = f;
    }
    if (!mappable) {
        std::string names;
        for (int f = 0; f < channels; ++f) {
            if (f) names += ' ';
            names += positionName(map[f]);
        }
        return std::string("channel layout ") + names + " cannot be mapped to " +
               layoutName(result.layout) +
               (result.layout == Layout::Surround51 ? " (FL FR FC LFE BL BR)" : " (L R)");
    }
    for (int e = 0; e < channels; ++e) {
        result.engineToFile[e] = fileOf[e];
        if (fileOf[e] != e) result.reordered = true;
    }
    return "";
}
