// The three plug-ins of Orvanta.clap: their descriptors (ids, names,
// vendor, version, features) and the layout each one levels. The ids are
// stored in hosts' sessions and must never change.
//
// Constant data; any thread.
#pragma once

#include <cstdint>

#include "ClapAbi.h"
#include "ParamTable.h"

struct ClapPluginKind {
    Layout layout;
    clap_plugin_descriptor_t descriptor;
};

constexpr uint32_t kClapPluginCount = 3;

// Index 0 mono, 1 stereo, 2 5.1; null beyond.
const ClapPluginKind* clapPluginKind(uint32_t index);
// The kind with this descriptor id; null for null or an unknown id.
const ClapPluginKind* clapPluginKindById(const char* id);
