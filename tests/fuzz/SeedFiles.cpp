// Writes the fuzzer's seed files: a few frames in every container and codec
// that this libsndfile writes, mono, stereo and 5.1 where the format holds
// them, the stereo ones with text tags and the 5.1 ones with a channel map,
// the RIFF family with a broadcast extension.
//
//   fuzz_seed_files FOLDER
#include <sndfile.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 48;
constexpr int kRatesHz[] = {48000, 8000};  // 8000 for the telephone codecs

std::string safeName(const char* text) {
    std::string name;
    for (const char* c = text; *c; ++c)
        name += (std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_');
    return name;
}

bool writeSeed(const std::string& path, int format, int channels, int rate) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    if (!sf_format_check(&info)) return false;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    const int major = format & SF_FORMAT_TYPEMASK;
    if (channels == 2) {
        sf_set_string(file, SF_STR_TITLE, "seed");
        sf_set_string(file, SF_STR_ARTIST, "Veltrano");
    }
    if (channels == 6) {
        int map[6] = {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT, SF_CHANNEL_MAP_FRONT_CENTER,
                      SF_CHANNEL_MAP_LFE,        SF_CHANNEL_MAP_REAR_LEFT,   SF_CHANNEL_MAP_REAR_RIGHT};
        sf_command(file, SFC_SET_CHANNEL_MAP_INFO, map, sizeof map);
    }
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64 || major == SF_FORMAT_W64) {
        SF_BROADCAST_INFO bext{};
        std::strcpy(bext.description, "seed");
        std::strcpy(bext.originator, "Veltrano");
        bext.time_reference_low = 48000;
        std::strcpy(bext.coding_history, "A=PCM,F=48000,W=16,M=stereo\r\n");
        bext.coding_history_size = static_cast<uint32_t>(std::strlen(bext.coding_history));
        sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext);
    }
    std::vector<float> frames(static_cast<size_t>(kFrames) * static_cast<size_t>(channels));
    for (int i = 0; i < kFrames; ++i)
        for (int c = 0; c < channels; ++c)
            frames[static_cast<size_t>(i * channels + c)] =
                i == kFrames / 2 ? 0.99f : 0.3f * std::sin(0.2f * static_cast<float>(i * (c + 1)));
    sf_writef_float(file, frames.data(), kFrames);
    return sf_close(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_files FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    int majors = 0, subtypes = 0, written = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &majors, sizeof majors);
    sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &subtypes, sizeof subtypes);
    for (int m = 0; m < majors; ++m) {
        SF_FORMAT_INFO major{};
        major.format = m;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &major, sizeof major);
        for (int s = 0; s < subtypes; ++s) {
            SF_FORMAT_INFO subtype{};
            subtype.format = s;
            sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &subtype, sizeof subtype);
            for (int channels : {1, 2, 6}) {
                const std::string path = folder + "/" + safeName(major.name).substr(0, 12) + "-" +
                                         safeName(subtype.name) + "-" + std::to_string(channels) + "ch";
                for (int rate : kRatesHz) {
                    if (writeSeed(path, major.format | subtype.format, channels, rate)) {
                        ++written;
                        break;
                    }
                    std::remove(path.c_str());
                }
            }
        }
    }
    std::printf("%d seed files in %s\n", written, folder.c_str());
    return written > 0 ? 0 : 1;
}
