// Audio file input and output through libsndfile.
//
// InputFile opens and checks a file (readable, audio, 1/2/6 channels, a rate
// the engine takes, not empty) and reads it as float frames in file order.
// OutputFile writes a temporary file in the destination folder and renames it
// into place only when it is complete; until then, and on every failure, the
// destination is untouched and discard() removes the temporary file.
//
// Integer output is quantised here, not by libsndfile, so the values the
// report measures are exactly the values a reader of the file gets back:
// sample / 2^(bits-1). Output of 16 bits or fewer gets TPDF dither of
// +-1 LSB, from a generator seeded the same way for every file, so a run
// gives the same bytes whatever the number of jobs.
#pragma once

#include <sndfile.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ChannelMap.h"

// Failure of one file, with a message that names the file and the cause.
struct FileError {
    std::string message;
};

// The engine's sample-rate range: the tool refuses rates the engine would clamp.
constexpr int kMinRateHz = 8000;
constexpr int kMaxRateHz = 384000;

class InputFile {
public:
    explicit InputFile(const std::string& path);  // throws FileError
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Reads up to `frames` interleaved frames; returns the number read, 0 at
    // the end. Throws FileError on a read error or when the file ends before
    // the frames its header promises.
    int64_t read(float* interleaved, int64_t frames);

    const SF_INFO& info() const { return info_; }
    SNDFILE* handle() const { return file_; }
    // Some streams (FLAC without a sample count, for one) do not say how
    // long they are: info().frames is then a huge placeholder.
    bool lengthKnown() const { return info_.frames > 0 && info_.frames < SF_COUNT_MAX; }
    const ChannelLayout& layout() const { return layout_; }
    bool hasChannelMap() const { return hasMap_; }
    const int* channelMap() const { return map_; }
    dev_t device() const { return device_; }
    ino_t inode() const { return inode_; }
    bool isRegularFile() const { return regular_; }  // can be read again from the start

private:
    std::string path_;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    ChannelLayout layout_;
    bool hasMap_ = false;
    int map_[6] = {};
    bool headerTruncated_ = false;
    int64_t framesRead_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool regular_ = false;
    void openAudio();
    void release();
};

// How output samples are stored.
struct SampleEncoding {
    int format = 0;         // libsndfile major | subtype | endianness
    int integerBits = 0;    // 8..32 for linear integer subtypes, else 0
    bool isFloat = false;   // FLOAT or DOUBLE: the engine's samples as they are
    bool dither = false;    // TPDF on integers of 16 bits or fewer
    int replacedSubtype = 0;  // the input's block codec, written as 16-bit PCM instead
};

// The output format for an input format and the --format / --bits options;
// without --format, an output name whose extension names another container
// (x.flac for a WAV input) selects that container.
// Throws FileError (naming `outputPath`) when the combination cannot be written.
SampleEncoding chooseEncoding(int inputFormat, int channels, int rate, const std::string& formatName,
                              const std::string& bits, bool dither, const std::string& outputPath);

// The container of a --format name, or 0; and the file extension of a format.
int majorFormatByName(const std::string& name);
int subtypeImpliedBy(const std::string& name);  // "opus", "mp3", "ogg": their codec, else 0
std::string extensionOf(int format);
// "WAV, 16-bit integer" and the like.
std::string describeFormat(int format);
// Lines "name  description" of every container libsndfile writes.
std::string listFormats();

class OutputFile {
public:
    // Creates the temporary file next to `path`. Throws FileError.
    OutputFile(const std::string& path, const SampleEncoding& encoding, int channels, int rate);
    ~OutputFile();  // discards an uncommitted file
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Labels the channels (libsndfile positions), before the first write;
    // false when the format cannot carry this map.
    bool setChannelMap(const int* map);
    // Copies the input's text tags (title, artist, ...) and its broadcast
    // extension (BWF "bext": description, originator, time reference, coding
    // history), where the output format holds them; before the first write.
    void copyMetadata(SNDFILE* input);
    // Encodes and writes interleaved frames; `written` receives the values as
    // stored (as a reader gets them back). Throws FileError.
    void write(const float* interleaved, int64_t frames, std::vector<float>& written);
    // Completes the temporary file (header, flush to disk). Throws FileError.
    void finish();
    const std::string& temporaryPath() const { return tempPath_; }
    // Renames the finished file into place. Throws FileError.
    void commit();
    void discard();

private:
    std::string path_;
    std::string tempPath_;
    SampleEncoding encoding_;
    int channels_ = 0;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
    bool committed_ = false;
    uint64_t ditherState_;
    std::vector<int32_t> integers_;
    [[noreturn]] void writeFailed();
};

// Reads the process's umask once; call before any job thread starts.
void initialiseFileCreation();

// Path helpers.
std::string baseName(const std::string& path);
std::string dirName(const std::string& path);
// Checks that `dir` is a folder the tool can create files in; returns "" or the cause.
std::string checkOutputFolder(const std::string& dir);
// Writes a small text or binary file atomically (temporary file + rename).
void writeFileAtomically(const std::string& path, const std::string& contents);
