// orvanta-level's input path under a fuzzer: the bytes become an input file
// and are levelled as the tool levels a file (the open and its checks, the
// channel map, decoding, the engines, the meters, the output in the input's
// own format with its tags), then reported as text and JSON. Any outcome is
// fine except a crash, a sanitizer report or a hang.
//
// Built with libFuzzer by make fuzz (clang); built with ReplayMain.cpp in
// every build, where it replays the seed files and the regression cases.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "Arguments.h"
#include "AudioFile.h"
#include "LevelJob.h"
#include "Report.h"

namespace {

// A folder of this process for the input and output files, on tmpfs where
// there is one; removed at exit.
struct Scratch {
    std::string dir, input, output;
    Scratch() {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        std::string pattern = std::string(base) + "/orvanta-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr) {
            std::perror("orvanta fuzzer: mkdtemp");
            std::abort();
        }
        dir = name.data();
        input = dir + "/input";
        output = dir + "/output";  // no extension: the input's own format
    }
    ~Scratch() {
        unlink(input.c_str());
        unlink(output.c_str());
        rmdir(dir.c_str());
    }
};

bool writeInput(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0 && done == size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scratch scratch;
    static Options options = [] {
        Options o;
        o.settings = Settings::fromPreset(kPresets[0]);
        o.force = true;
        o.quiet = true;
        return o;
    }();
    static const bool ready = (initialiseFileCreation(), true);
    (void)ready;

    if (!writeInput(scratch.input, data, size)) {
        std::perror("orvanta fuzzer: writing the input file");
        std::abort();
    }
    struct stat st;
    std::vector<std::pair<dev_t, ino_t>> inputIds;
    if (stat(scratch.input.c_str(), &st) == 0) inputIds.emplace_back(st.st_dev, st.st_ino);
    JobRequest request;
    request.input = scratch.input;
    request.output = scratch.output;
    request.options = &options;
    request.inputIds = &inputIds;
    JobProgress progress;
    const std::atomic<int> stop{0};
    std::vector<JobResult> results{levelFile(request, progress, stop)};
    // Both reports read every number of the result, NaN and infinities included.
    const size_t reportBytes = fileReport(results[0]).size() + jsonReport(results, 0.0, 1).size();
    if (reportBytes == 0) std::abort();
    unlink(scratch.output.c_str());
    return 0;
}
