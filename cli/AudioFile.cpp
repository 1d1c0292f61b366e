#include "AudioFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// errno in the words of the messages.
std::string causeOf(int error) {
    switch (error) {
        case ENOENT: return "no such file";
        case EACCES:
        case EPERM: return "permission denied";
        case ENOSPC: return "disk full";
        case EFBIG: return "file size limit exceeded";
        case EDQUOT: return "disk quota exceeded";
        case EROFS: return "read-only file system";
        case EISDIR: return "is a folder";
        case ENOTDIR: return "a part of the path is not a folder";
        default: return std::strerror(error);
    }
}

// libsndfile's own error text, without its "System error : " prefix.
std::string libraryCause(SNDFILE* file) {
    std::string text = sf_strerror(file);
    for (const std::string prefix : {"System error : ", "Error : "})
        if (text.compare(0, prefix.size(), prefix) == 0) text = text.substr(prefix.size());
    while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

bool isIntegerSubtype(int subtype, int& bits) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: bits = 8; return true;
        case SF_FORMAT_PCM_16: bits = 16; return true;
        case SF_FORMAT_PCM_24: bits = 24; return true;
        case SF_FORMAT_PCM_32: bits = 32; return true;
        default: bits = 0; return false;
    }
}

// Codecs that libsndfile writes in whole blocks: the last one is padded, so
// the file reads back longer than what was written.
bool padsLastBlock(int subtype) {
    switch (subtype) {
        case SF_FORMAT_IMA_ADPCM:
        case SF_FORMAT_MS_ADPCM:
        case SF_FORMAT_GSM610:
        case SF_FORMAT_VOX_ADPCM:
        case SF_FORMAT_G721_32:
        case SF_FORMAT_G723_24:
        case SF_FORMAT_G723_40:
        case SF_FORMAT_NMS_ADPCM_16:
        case SF_FORMAT_NMS_ADPCM_24:
        case SF_FORMAT_NMS_ADPCM_32: return true;
        default: return false;
    }
}

mode_t creationMode() {
    // Read once, before any job thread starts: umask() can only be read by
    // setting it.
    static const mode_t mode = [] {
        const mode_t mask = umask(022);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// The name pattern of the temporary file beside `path`, ".NAME.orvanta-XXXXXX"
// for mkstemp. NAME is cut (at a character boundary) so that the pattern
// stays within the folder's longest name even when `path` uses all of it.
std::vector<char> temporaryPattern(const std::string& path) {
    static const std::string kSuffix = ".orvanta-XXXXXX";
    const std::string dir = dirName(path);
    long longestName = pathconf(dir.c_str(), _PC_NAME_MAX);
    if (longestName <= 0) longestName = NAME_MAX;
    std::string name = baseName(path);
    const size_t room = static_cast<size_t>(longestName) - 1 - kSuffix.size();  // 1: the leading dot
    if (name.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // UTF-8 continuation
        name.resize(cut);
    }
    const std::string pattern = dir + "/." + name + kSuffix;
    std::vector<char> text(pattern.begin(), pattern.end());
    text.push_back('\0');
    return text;
}

}  // namespace

void initialiseFileCreation() { creationMode(); }

std::string baseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string dirName(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string checkOutputFolder(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0)
        return errno == ENOENT ? "output folder does not exist" : "output folder: " + causeOf(errno);
    if (!S_ISDIR(st.st_mode)) return "output folder is not a folder";
    if (access(dir.c_str(), W_OK | X_OK) != 0) return "output folder is not writable (" + causeOf(errno) + ")";
    return "";
}

// ---------------------------------------------------------------- input

InputFile::InputFile(const std::string& path) : path_(path) {
    // Opened by descriptor: libsndfile copies a path into a fixed buffer and
    // refuses long ones, and the checks below then see the file we read.
    // O_NONBLOCK keeps a named pipe from blocking the open; reads block again.
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        if (errno == EACCES || errno == EPERM) throw FileError{path + ": cannot read it (" + causeOf(errno) + ")"};
        throw FileError{path + ": " + causeOf(errno)};
    }
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    // A refusal after this point must not keep the descriptor or the handle:
    // a batch of many refused files would run out of descriptors.
    try {
        openAudio();
    } catch (...) {
        release();
        throw;
    }
}

void InputFile::release() {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void InputFile::openAudio() {
    const std::string& path = path_;
    struct stat st;
    if (fstat(fd_, &st) != 0) throw FileError{path + ": " + causeOf(errno)};
    if (S_ISDIR(st.st_mode)) throw FileError{path + ": is a folder, not an audio file"};
    device_ = st.st_dev;
    inode_ = st.st_ino;
    regular_ = S_ISREG(st.st_mode);

    file_ = sf_open_fd(fd_, SFM_READ, &info_, SF_FALSE);
    if (file_ == nullptr) {
        const int code = sf_error(nullptr);
        if (code == SF_ERR_UNRECOGNISED_FORMAT)
            throw FileError{path + ": not an audio file (format not recognised)"};
        if (code == SF_ERR_MALFORMED_FILE) throw FileError{path + ": damaged audio file (malformed header)"};
        throw FileError{path + ": cannot open as audio (" + libraryCause(nullptr) + ")"};
    }
    // The header promised more data than the file holds: libsndfile reads
    // what is there, but a cut-off file must not be levelled as if complete.
    char log[8192] = {};
    sf_command(file_, SFC_GET_LOG_INFO, log, sizeof log);
    for (const char* line = log; line && *line;) {
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
        if ((text.compare(0, 4, "data") == 0 || text.compare(0, 4, "SSND") == 0) &&
            text.find("should be") != std::string::npos)
            headerTruncated_ = true;
        line = end ? end + 1 : nullptr;
    }
    if (headerTruncated_) throw FileError{path + ": truncated (the audio data ends before its header says)"};
    if (info_.frames == 0) throw FileError{path + ": empty (0 frames of audio)"};
    if (info_.samplerate < kMinRateHz || info_.samplerate > kMaxRateHz)
        throw FileError{path + ": sample rate " + std::to_string(info_.samplerate) + " Hz is outside " +
                        std::to_string(kMinRateHz) + ".." + std::to_string(kMaxRateHz) + " Hz"};
    if (info_.channels >= 1 && info_.channels <= 6) {
        hasMap_ = sf_command(file_, SFC_GET_CHANNEL_MAP_INFO, map_,
                             static_cast<int>(sizeof(int) * static_cast<size_t>(info_.channels))) == SF_TRUE;
    }
    const std::string refusal = mapChannels(info_.channels, hasMap_ ? map_ : nullptr, layout_);
    if (!refusal.empty()) throw FileError{path + ": " + refusal};
}

InputFile::~InputFile() { release(); }

int64_t InputFile::read(float* interleaved, int64_t frames) {
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    if (sf_error(file_) != SF_ERR_NO_ERROR)
        throw FileError{path_ + ": read error after " + std::to_string(framesRead_ + got) + " frames (" +
                        libraryCause(file_) + "): damaged or truncated file"};
    framesRead_ += got;
    if (got == 0 && framesRead_ == 0) throw FileError{path_ + ": empty (0 frames of audio)"};
    if (got == 0 && lengthKnown() && framesRead_ < info_.frames)
        throw FileError{path_ + ": truncated (ends after " + std::to_string(framesRead_) + " of " +
                        std::to_string(info_.frames) + " frames)"};
    return got;
}

// ---------------------------------------------------------------- formats

namespace {

// The names users know a container by; they win over libsndfile's file
// extensions, which are ambiguous ("wav" is also NIST Sphere) or unusual
// ("oga", "m1a").
struct NamedFormat {
    const char* name;
    int format;  // major type, with the subtype where the name implies one
};
constexpr NamedFormat kNamedFormats[] = {
    {"wav", SF_FORMAT_WAV},   {"wavex", SF_FORMAT_WAVEX}, {"aiff", SF_FORMAT_AIFF},
    {"aif", SF_FORMAT_AIFF},  {"flac", SF_FORMAT_FLAC},   {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS}, {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
    {"caf", SF_FORMAT_CAF},   {"w64", SF_FORMAT_W64},     {"rf64", SF_FORMAT_RF64},
    {"au", SF_FORMAT_AU},
};

// libsndfile's own major formats, each with its name and file extension.
std::vector<SF_FORMAT_INFO> libraryMajorFormats() {
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    std::vector<SF_FORMAT_INFO> formats(count > 0 ? count : 0);
    for (int i = 0; i < count; ++i) {
        formats[i].format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &formats[i], sizeof formats[i]);
    }
    return formats;
}

}  // namespace

int majorFormatByName(const std::string& name) {
    for (const NamedFormat& named : kNamedFormats)
        if (name == named.name) return named.format & SF_FORMAT_TYPEMASK;
    for (const SF_FORMAT_INFO& info : libraryMajorFormats())
        if (info.extension && name == info.extension) return info.format;
    return 0;
}

int subtypeImpliedBy(const std::string& name) {
    for (const NamedFormat& named : kNamedFormats)
        if (name == named.name) return named.format & SF_FORMAT_SUBMASK;
    return 0;
}

std::string extensionOf(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const int subtype = format & SF_FORMAT_SUBMASK;
    for (const NamedFormat& named : kNamedFormats) {
        if ((named.format & SF_FORMAT_TYPEMASK) != major || std::strcmp(named.name, "wavex") == 0 ||
            std::strcmp(named.name, "aif") == 0)
            continue;
        const int impliedSubtype = named.format & SF_FORMAT_SUBMASK;
        if (impliedSubtype == 0 || impliedSubtype == subtype || (subtype == 0 && major != SF_FORMAT_OGG) ||
            (subtype == 0 && impliedSubtype == SF_FORMAT_VORBIS))
            return named.name;
    }
    SF_FORMAT_INFO info{};
    info.format = major;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.extension)
        return info.extension;
    return "audio";
}

std::string describeFormat(int format) {
    SF_FORMAT_INFO major{}, sub{};
    major.format = format & SF_FORMAT_TYPEMASK;
    sub.format = format & SF_FORMAT_SUBMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major);
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub);
    std::string text = major.name ? major.name : "?";
    const size_t paren = text.find(" (");
    if (paren != std::string::npos) text = text.substr(0, paren);
    return text + ", " + (sub.name ? sub.name : "?");
}

std::string listFormats() {
    std::string text;
    auto line = [&](const std::string& name, const char* description) {
        char row[160];
        std::snprintf(row, sizeof row, "%-8s %s\n", name.c_str(), description);
        text += row;
    };
    for (const NamedFormat& named : kNamedFormats) {
        SF_INFO probe{};
        probe.channels = 2;
        probe.samplerate = 48000;
        probe.format = named.format | ((named.format & SF_FORMAT_SUBMASK) ? 0 : SF_FORMAT_PCM_16);
        if (!sf_format_check(&probe)) continue;  // not in this libsndfile
        SF_FORMAT_INFO major{}, sub{};
        major.format = named.format & SF_FORMAT_TYPEMASK;
        sub.format = named.format & SF_FORMAT_SUBMASK;
        sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major);
        std::string description = major.name ? major.name : "?";
        if (sub.format && sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub) == 0 && sub.name)
            description += std::string(", ") + sub.name;
        line(named.name, description.c_str());
    }
    for (const SF_FORMAT_INFO& info : libraryMajorFormats()) {
        bool named = false;
        for (const NamedFormat& known : kNamedFormats)
            named = named || (known.format & SF_FORMAT_TYPEMASK) == info.format;
        if (!named && info.extension && majorFormatByName(info.extension) == info.format) line(info.extension, info.name);
    }
    return text;
}

SampleEncoding chooseEncoding(int inputFormat, int channels, int rate, const std::string& formatName,
                              const std::string& bits, bool dither, const std::string& outputPath) {
    int major = inputFormat & SF_FORMAT_TYPEMASK;
    int subtype = inputFormat & SF_FORMAT_SUBMASK;
    int endian = inputFormat & SF_FORMAT_ENDMASK;
    std::string name = formatName;
    if (name.empty()) {
        // -o x.flac from a WAV input: the name says FLAC. An extension of the
        // input's own family (x.wav for WAVE_FORMAT_EXTENSIBLE) changes nothing.
        const std::string base = baseName(outputPath);
        const size_t dot = base.rfind('.');
        std::string extension = dot == std::string::npos ? "" : base.substr(dot + 1);
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const int named = extension.empty() ? 0 : majorFormatByName(extension);
        // RF64 files (WAV beyond 4 GB) are usually named .wav too.
        auto family = [](int m) { return m == SF_FORMAT_WAVEX || m == SF_FORMAT_RF64 ? SF_FORMAT_WAV : m; };
        if (named != 0 && family(named) != family(major)) name = extension;
    }
    if (!name.empty()) {
        const int chosen = majorFormatByName(name);
        if (chosen == 0) throw FileError{outputPath + ": unknown format '" + name + "' (see --format list)"};
        if (chosen != major) endian = 0;
        major = chosen;
        if (subtypeImpliedBy(name) != 0) subtype = subtypeImpliedBy(name);
    }
    if (!bits.empty()) {
        subtype = bits == "8" ? (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8)
                : bits == "16" ? SF_FORMAT_PCM_16
                : bits == "24" ? SF_FORMAT_PCM_24
                : bits == "32" ? SF_FORMAT_PCM_32
                : bits == "32f" ? SF_FORMAT_FLOAT
                : SF_FORMAT_DOUBLE;
    }
    // A block codec would make the output longer than the input: such
    // inputs are written as 16-bit PCM (these codecs hold no more).
    int replacedSubtype = 0;
    if (bits.empty() && padsLastBlock(subtype)) {
        replacedSubtype = subtype;
        subtype = SF_FORMAT_PCM_16;
    }
    SF_INFO probe{};
    probe.channels = channels;
    probe.samplerate = rate;
    probe.format = major | subtype | endian;
    if (!sf_format_check(&probe) && bits.empty()) {
        // A new container that cannot hold the input's sample type: its
        // usual type instead (the engine's float where the container has it).
        static const int kFallbacks[] = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16, SF_FORMAT_VORBIS,
                                         SF_FORMAT_MPEG_LAYER_III};
        for (int fallback : kFallbacks) {
            probe.format = major | fallback;
            if (sf_format_check(&probe)) break;
        }
    }
    if (!sf_format_check(&probe))
        throw FileError{outputPath + ": cannot write " + describeFormat(major | subtype) + " with " +
                        std::to_string(channels) + " channels at " + std::to_string(rate) + " Hz"};
    SampleEncoding encoding;
    encoding.format = probe.format;
    encoding.replacedSubtype = replacedSubtype;
    const int chosenSubtype = probe.format & SF_FORMAT_SUBMASK;
    isIntegerSubtype(chosenSubtype, encoding.integerBits);
    encoding.isFloat = chosenSubtype == SF_FORMAT_FLOAT || chosenSubtype == SF_FORMAT_DOUBLE;
    encoding.dither = dither && encoding.integerBits > 0 && encoding.integerBits <= 16;
    return encoding;
}

// ---------------------------------------------------------------- output

OutputFile::OutputFile(const std::string& path, const SampleEncoding& encoding, int channels, int rate)
    : path_(path), encoding_(encoding), channels_(channels), ditherState_(0x9E3779B97F4A7C15ull) {
    const std::string dir = dirName(path);
    const std::string folderProblem = checkOutputFolder(dir);
    if (!folderProblem.empty()) throw FileError{path + ": " + folderProblem};
    std::vector<char> name = temporaryPattern(path);
    fd_ = mkstemp(name.data());
    if (fd_ < 0) throw FileError{path + ": cannot create a file in " + dir + " (" + causeOf(errno) + ")"};
    tempPath_ = name.data();
    fchmod(fd_, creationMode());

    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = encoding.format;
    file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
    if (file_ == nullptr) {
        const std::string cause = libraryCause(nullptr);
        discard();
        throw FileError{path + ": cannot write " + describeFormat(encoding.format) + " (" + cause + ")"};
    }
    // No PEAK chunk: it carries the time of writing, and the same input and
    // settings must give the same bytes.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

void OutputFile::copyMetadata(SNDFILE* input) {
    for (int id = SF_STR_FIRST; id <= SF_STR_LAST; ++id) {
        const char* text = sf_get_string(input, id);
        if (text != nullptr && *text != '\0') sf_set_string(file_, id, text);
    }
    SF_BROADCAST_INFO broadcast{};
    if (sf_command(input, SFC_GET_BROADCAST_INFO, &broadcast, sizeof broadcast) == SF_TRUE)
        sf_command(file_, SFC_SET_BROADCAST_INFO, &broadcast, sizeof broadcast);
}

bool OutputFile::setChannelMap(const int* channelMap) {
    std::vector<int> map(channelMap, channelMap + channels_);
    return sf_command(file_, SFC_SET_CHANNEL_MAP_INFO, map.data(), static_cast<int>(sizeof(int) * map.size())) ==
           SF_TRUE;
}

OutputFile::~OutputFile() {
    if (!committed_) discard();
}

void OutputFile::writeFailed() {
    const int error = errno;
    std::string cause = (error == ENOSPC || error == EFBIG || error == EDQUOT || error == EIO)
                            ? causeOf(error)
                            : libraryCause(file_);
    throw FileError{path_ + ": write failed (" + cause + ")"};
}

void OutputFile::write(const float* interleaved, int64_t frames, std::vector<float>& written) {
    const size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
    written.resize(samples);
    errno = 0;
    if (encoding_.integerBits == 0) {
        std::memcpy(written.data(), interleaved, samples * sizeof(float));
        if (sf_writef_float(file_, interleaved, frames) != frames) writeFailed();
        return;
    }
    const int bits = encoding_.integerBits;
    const double scale = std::ldexp(1.0, bits - 1);
    const double largest = scale - 1.0;
    const float readScale = static_cast<float>(1.0 / scale);
    const int shift = 32 - bits;
    integers_.resize(samples);
    for (size_t i = 0; i < samples; ++i) {
        double v = static_cast<double>(interleaved[i]) * scale;
        if (encoding_.dither) {
            // xorshift64*: two 24-bit uniforms make one triangular value in (-1, 1) LSB.
            ditherState_ ^= ditherState_ >> 12;
            ditherState_ ^= ditherState_ << 25;
            ditherState_ ^= ditherState_ >> 27;
            const uint64_t r = ditherState_ * 0x2545F4914F6CDD1Dull;
            const double u1 = static_cast<double>(r >> 40) * (1.0 / 16777216.0);
            const double u2 = static_cast<double>((r >> 16) & 0xFFFFFF) * (1.0 / 16777216.0);
            v += u1 - u2;
        }
        double q = std::floor(v + 0.5);
        if (!(q >= -scale)) q = std::isnan(v) ? 0.0 : -scale;
        if (q > largest) q = largest;
        const int32_t sample = static_cast<int32_t>(q);
        integers_[i] = static_cast<int32_t>(static_cast<uint32_t>(sample) << shift);
        written[i] = static_cast<float>(sample) * readScale;
    }
    if (sf_writef_int(file_, integers_.data(), frames) != frames) writeFailed();
}

void OutputFile::finish() {
    errno = 0;
    sf_write_sync(file_);
    const int closeError = sf_close(file_);
    file_ = nullptr;
    if (closeError != 0) {
        const int error = errno;
        throw FileError{path_ + ": write failed (" + (error ? causeOf(error) : std::string(sf_error_number(closeError))) + ")"};
    }
    if (fsync(fd_) != 0 && errno != EINVAL) throw FileError{path_ + ": write failed (" + causeOf(errno) + ")"};
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw FileError{path_ + ": write failed (" + causeOf(errno) + ")"};
}

void OutputFile::commit() {
    if (rename(tempPath_.c_str(), path_.c_str()) != 0)
        throw FileError{path_ + ": cannot move the finished file into place (" + causeOf(errno) + ")"};
    committed_ = true;
}

void OutputFile::discard() {
    if (file_) { sf_close(file_); file_ = nullptr; }
    if (fd_ >= 0) { close(fd_); fd_ = -1; }
    if (!tempPath_.empty()) { unlink(tempPath_.c_str()); tempPath_.clear(); }
}

void writeFileAtomically(const std::string& path, const std::string& contents) {
    const std::string dir = dirName(path);
    const std::string folderProblem = checkOutputFolder(dir);
    if (!folderProblem.empty()) throw FileError{path + ": " + folderProblem};
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw FileError{path + ": is not a regular file; orvanta-level writes files only"};
    std::vector<char> name = temporaryPattern(path);
    const int fd = mkstemp(name.data());
    if (fd < 0) throw FileError{path + ": cannot create it (" + causeOf(errno) + ")"};
    fchmod(fd, creationMode());
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            unlink(name.data());
            throw FileError{path + ": write failed (" + causeOf(error) + ")"};
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 || rename(name.data(), path.c_str()) != 0) {
        const int error = errno;
        unlink(name.data());
        throw FileError{path + ": write failed (" + causeOf(error) + ")"};
    }
}
