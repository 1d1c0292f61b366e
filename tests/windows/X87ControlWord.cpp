// Linked into the Windows test programs: puts the x87 control word named by
// $ORVANTA_X87_CONTROL_WORD (hexadecimal, e.g. 027F for the 53-bit precision
// of Windows x64 hosts, 037F for the 64-bit precision Wine starts threads
// with) into effect on the main thread before main() runs, and fails the
// program at exit if anything (a module's start-up code) changed it since.
// The engine computes in SSE; only runtime functions that use x87 code can
// see the word.
#include <cstdio>
#include <cstdlib>

namespace {

unsigned short wantedWord = 0;

unsigned short currentWord() {
    unsigned short word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

void verifyWordAtExit() {
    const unsigned short now = currentWord();
    if (now != wantedWord) {
        std::fprintf(stderr, "x87 control word changed from %04X to %04X\n", wantedWord, now);
        std::fflush(stderr);
        std::_Exit(3);
    }
}

struct ControlWordFromEnvironment {
    ControlWordFromEnvironment() {
        const char* text = std::getenv("ORVANTA_X87_CONTROL_WORD");
        if (!text || !*text) return;
        wantedWord = static_cast<unsigned short>(std::strtoul(text, nullptr, 16));
        __asm__ __volatile__("fldcw %0" : : "m"(wantedWord));
        std::fprintf(stderr, "x87 control word %04X\n", currentWord());
        std::atexit(verifyWordAtExit);
    }
} controlWordFromEnvironment;

}  // namespace
