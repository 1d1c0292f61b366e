// A minimal LADSPA host, as real hosts do it: dlopen the library, ask
// ladspa_descriptor for its plug-ins, instantiate, connect every port, run.
// Shared by the GoogleTest suite and the cross-architecture scenario host.
#pragma once

#include <dlfcn.h>
#include <ladspa.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testhost {

class Library {
public:
    explicit Library(const std::string& path) {
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            std::fprintf(stderr, "dlopen %s: %s\n", path.c_str(), dlerror());
            return;
        }
        entry_ = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(handle_, "ladspa_descriptor"));
    }
    ~Library() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return entry_ != nullptr; }
    void* handle() const { return handle_; }
    const LADSPA_Descriptor* descriptor(unsigned long index) const {
        return entry_ != nullptr ? entry_(index) : nullptr;
    }

private:
    void* handle_ = nullptr;
    LADSPA_Descriptor_Function entry_ = nullptr;
};

// One instance with a value cell for every control port (all at their
// hinted defaults) and, for the audio ports, whatever buffers the test
// connects.
class Instance {
public:
    Instance(const LADSPA_Descriptor* d, unsigned long rate) : d_(d), controls_(d->PortCount, 0.0f) {
        handle_ = d->instantiate(d, rate);
        for (unsigned long p = 0; p < d->PortCount; ++p) {
            if (LADSPA_IS_PORT_CONTROL(d->PortDescriptors[p])) {
                controls_[p] = hintedDefault(d->PortRangeHints[p]);
                d->connect_port(handle_, p, &controls_[p]);
            }
        }
    }
    ~Instance() {
        if (handle_ != nullptr) d_->cleanup(handle_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    static float hintedDefault(const LADSPA_PortRangeHint& h) {
        const LADSPA_PortRangeHintDescriptor bits = h.HintDescriptor;
        if (LADSPA_IS_HINT_DEFAULT_MINIMUM(bits)) return h.LowerBound;
        if (LADSPA_IS_HINT_DEFAULT_LOW(bits)) return 0.75f * h.LowerBound + 0.25f * h.UpperBound;
        if (LADSPA_IS_HINT_DEFAULT_MIDDLE(bits)) return 0.5f * (h.LowerBound + h.UpperBound);
        if (LADSPA_IS_HINT_DEFAULT_MAXIMUM(bits)) return h.UpperBound;
        return 0.0f;
    }

    bool ok() const { return handle_ != nullptr; }
    float& control(unsigned long port) { return controls_[port]; }
    void connect(unsigned long port, float* data) { d_->connect_port(handle_, port, data); }
    void activate() { d_->activate(handle_); }
    void run(unsigned long n) { d_->run(handle_, n); }
    LADSPA_Handle handle() const { return handle_; }

private:
    const LADSPA_Descriptor* d_;
    LADSPA_Handle handle_ = nullptr;
    std::vector<float> controls_;
};

}  // namespace testhost
