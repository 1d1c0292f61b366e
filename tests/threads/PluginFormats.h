// The plug-in formats that the concurrency test drives, behind one small
// interface: an instance of one of a format's plug-ins (its layouts), its
// controls set as normalised values (0..1 of each control's range), and
// blocks processed on planar buffers. A new format adds a file with its
// adapter and one row to the table in ConcurrentInstances.cpp.
#pragma once

#include <memory>
#include <string>

namespace threadtest {

class Instance {
public:
    virtual ~Instance() = default;
    virtual int channels() const = 0;
    virtual int controls() const = 0;
    // Between blocks, on the thread that processes.
    virtual void setControl(int index, float normalised) = 0;
    virtual void process(float* const* in, float* const* out, int frames) = 0;
};

struct Format {
    const char* name;
    int layouts;  // its plug-ins: layout 0 .. layouts-1 (mono, stereo, 5.1, ...)
    // Loads the format's library (once, on first use from any thread) and
    // makes an active instance; null and `error` set on failure.
    std::unique_ptr<Instance> (*create)(int layout, float rateHz, std::string& error);
};

std::unique_ptr<Instance> createLadspa(int layout, float rateHz, std::string& error);
std::unique_ptr<Instance> createLv2(int layout, float rateHz, std::string& error);
std::unique_ptr<Instance> createVst2(int layout, float rateHz, std::string& error);
std::unique_ptr<Instance> createVst3(int layout, float rateHz, std::string& error);
std::unique_ptr<Instance> createClap(int layout, float rateHz, std::string& error);

// A host switching an instance off and on on one thread while another
// processes (formats that allow it); empty when nothing went wrong.
std::string clapSwitchesWhileProcessing();

// Control values in engine units, for the formats whose ports take them.
float engineValue(int index, float normalised);

}  // namespace threadtest
