// The extension records the plug-ins offer, each defined beside the code
// that serves it. Constant data; any thread.
#pragma once

#include "ClapAbi.h"

const clap_plugin_params_t* clapParamsExtension();           // ClapParams.cpp
const clap_plugin_gui_t* clapGuiExtension();                 // ClapGui.cpp
const clap_plugin_timer_support_t* clapTimerExtension();     // ClapGui.cpp
const clap_plugin_posix_fd_support_t* clapFdExtension();     // ClapGui.cpp, Linux only
