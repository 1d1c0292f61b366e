// A Windows VST 2.4 host for the Windows modules, run under Wine: loads a
// module as a Windows host does and checks what hosts rely on there.
//
//   vst_wine_host MODULE.dll
//
// Both exports give a working effect; identity, parameters and their texts,
// the latency at 44.1 and 48 kHz; OLE set up and torn down with the effect;
// hostile dispatcher arguments (null pointers, extreme indices and values)
// are survived; the module unloads with FreeLibrary and loads again. Exit code 0 when every check passed.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "ExpectedParameters.h"
#include "ProgramChecks.h"
#include "VstHost.h"

using namespace vsthost;
using programchecks::check;
using programchecks::failures;

namespace {

void checkIdentity(AEffect* effect, bool surround, const char* how) {
    const std::string at = std::string(" (") + how + ")";
    const int channels = surround ? 6 : 2;
    const int params = surround ? 9 : 8;
    check(effect->magic == vstFourCharCode('V', 's', 't', 'P'), "magic" + at);
    check(effect->numInputs == channels && effect->numOutputs == channels, "channels" + at);
    check(effect->numParams == params && effect->numPrograms == 1, "parameters, programs" + at);
    check(effect->flags == (effFlagsHasEditor | effFlagsCanReplacing), "flags" + at);
    check(effect->uniqueID == (surround ? vstFourCharCode('O', 'R', '5', '1')
                                        : vstFourCharCode('O', 'R', 'v', 't')),
          "unique ID" + at);
    check(text(effect, effGetEffectName) == (surround ? "Orvanta 5.1 64 Bit" : "Orvanta 64 Bit"),
          "effect name" + at);
    check(text(effect, effGetProductString) == (surround ? "Orvanta 5.1" : "Orvanta"),
          "product" + at);
    check(text(effect, effGetVendorString) == "Veltrano", "vendor" + at);
    check(dispatch(effect, effGetVendorVersion) == 1150, "vendor version" + at);
    check(dispatch(effect, effGetVstVersion) == 2400, "interface version" + at);
    check(dispatch(effect, effGetPlugCategory) == 1, "category" + at);
    check(dispatch(effect, effIdentify) == vstFourCharCode('N', 'v', 'E', 'f'), "identify" + at);
    check(text(effect, effGetProgramName) == "Default", "program name" + at);
    for (int i = 0; i < params; ++i) {
        const std::string row = " of parameter " + std::to_string(i) + at;
        check(effect->getParameter(effect, i) == kDefaultNormalised[i], "default" + row);
        check(text(effect, effGetParamName, i) == kNames[i], "name" + row);
        check(text(effect, effGetParamLabel, i) == kLabels[i], "label" + row);
        check(text(effect, effGetParamDisplay, i) == kDefaultDisplay[i], "display" + row);
    }
    // Out of range: the name and label leave the buffer alone, the display
    // is empty, the value 0.
    check(text(effect, effGetParamName, params, 'x') == std::string(255, 'x'), "name beyond" + at);
    check(text(effect, effGetParamDisplay, params, 'x').empty(), "display beyond" + at);
    check(effect->getParameter(effect, -1) == 0.0f, "value beyond" + at);

    effect->setParameter(effect, 7, 0.6f);
    check(effect->getParameter(effect, 7) == 2.0f / 3.0f, "mix mode stored as mode / 3" + at);
    check(text(effect, effGetParamDisplay, 7) == "2 LLiHLg", "mix mode text" + at);
    effect->setParameter(effect, 1, 0.0f);
    check(text(effect, effGetParamDisplay, 1) == "-5.0", "true peak text" + at);

    // Latency: the host gave no rate, so 44100 Hz.
    check(effect->initialDelay == 1560, "latency at 44100 Hz" + at);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    check(effect->initialDelay == 1698, "latency at 48000 Hz" + at);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    check(effect->initialDelay == 1560, "latency back at 44100 Hz" + at);

    ERect* rect = nullptr;
    check(dispatch(effect, effEditGetRect, 0, 0, &rect) == 1 && rect && rect->right == 380 &&
              rect->bottom == (surround ? 420 : 390),
          "editor rectangle" + at);
}

// The editor binding initialises OLE (single-threaded) for the thread that
// creates the effect and uninitialises it with the effect: a request for
// the multithreaded mode fails while it is up and succeeds afterwards.
void checkOleIsBalanced(Library& library) {
    AEffect* effect = library.instantiate();
    check(effect != nullptr, "instantiate for the OLE check");
    if (!effect) return;
    check(CoInitializeEx(nullptr, COINIT_MULTITHREADED) == RPC_E_CHANGED_MODE,
          "OLE is initialised for the host's thread while the effect exists");
    dispatch(effect, effClose);
    const HRESULT afterClose = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    check(afterClose == S_OK, "OLE is uninitialised again with the effect");
    if (SUCCEEDED(afterClose)) CoUninitialize();
}

// Every opcode with null pointers and extreme indices, values and options.
void walkHostileOpcodes(AEffect* effect) {
    walkEveryOpcode(effect);
    const VstInt32 indices[] = {0, -1, std::numeric_limits<VstInt32>::min(),
                                std::numeric_limits<VstInt32>::max()};
    // Handles that name no window are refused.
    check(dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x12345678))) == 0,
          "editor open on a handle that is no window");
    for (VstInt32 index : indices) effect->setParameter(effect, index, 0.5f);
    for (VstInt32 index : indices) effect->getParameter(effect, index);
    effect->setParameter(effect, 0, std::numeric_limits<float>::quiet_NaN());
    effect->setParameter(effect, 1, std::numeric_limits<float>::infinity());
    effect->processReplacing(effect, nullptr, nullptr, 0);
    check(dispatch(effect, effClose) == 1, "effClose after the hostile walk");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MODULE.dll\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const bool surround = path.find("_51") != std::string::npos;
    {
        Library library(path);
        if (!library.ok()) {
            std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), library.error().c_str());
            return 2;
        }
        for (bool throughMain : {false, true}) {
            AEffect* effect = library.instantiate(throughMain);
            const char* how = throughMain ? "through main" : "through VSTPluginMain";
            check(effect != nullptr, std::string("instantiate ") + how);
            if (!effect) continue;
            checkIdentity(effect, surround, how);
            check(dispatch(effect, effClose) == 1, std::string("effClose ") + how);
        }
        checkOleIsBalanced(library);
        AEffect* hostile = library.instantiate();
        check(hostile != nullptr, "instantiate for the hostile walk");
        if (hostile) walkHostileOpcodes(hostile);
        // A host that answers 0 to the version query gets no effect.
        answers().version = 0;
        check(library.instantiate() == nullptr, "no effect for a host of version 0");
        answers().version = 2400;
    }
    // The Library released the module: it is gone, and loads again.
    check(GetModuleHandleA(path.c_str()) == nullptr, "FreeLibrary unloads the module");
    {
        Library again(path);
        AEffect* effect = again.ok() ? again.instantiate() : nullptr;
        check(effect != nullptr, "load and instantiate after FreeLibrary");
        if (effect) check(dispatch(effect, effClose) == 1, "effClose after reloading");
    }
    std::printf("%s: %s\n", path.c_str(), failures ? "FAILED" : "all checks passed");
    return failures ? 1 : 0;
}
