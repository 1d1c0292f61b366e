// Our declarations of the VST 3 interface's foundation, written from the
// published interface definitions: the scalar types, result codes, 16-byte
// identifiers, and the first interfaces every object and stream has
// (FUnknown, IPluginBase, IBStream).
//
// The ABI rules these declarations follow:
//   - every method is a virtual of a class without data or virtual
//     destructor, so the vtable holds exactly the declared methods in order;
//   - on Windows every method uses the COM calling convention (stdcall, which
//     only i386 distinguishes); elsewhere the platform's default;
//   - structures keep their compiler's natural layout on every platform
//     (the interface packs them to 8 or 16 bytes, which changes nothing);
//   - an identifier made of four 32-bit words is laid out in COM order on
//     Windows (the first word and the halves of the second little-endian)
//     and in plain big-endian order elsewhere;
//   - result codes are COM's HRESULTs on Windows and small integers
//     elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define ORVANTA_VST3_API __stdcall
#else
#define ORVANTA_VST3_API
#endif

namespace vst3 {

#if defined(_WIN32)
constexpr bool kComLayout = true;
#else
constexpr bool kComLayout = false;
#endif

using int16 = int16_t;
using int32 = int32_t;
using int64 = int64_t;
using uint32 = uint32_t;
using uint64 = uint64_t;
using tresult = int32_t;
using TBool = uint8_t;
using char16 = char16_t;
using TUID = char[16];
using FIDString = const char*;
using String128 = char16[128];

constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = kResultOk;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = kComLayout ? static_cast<tresult>(0x80004002u) : -1;
constexpr tresult kInvalidArgument = kComLayout ? static_cast<tresult>(0x80070057u) : 2;
constexpr tresult kNotImplemented = kComLayout ? static_cast<tresult>(0x80004001u) : 3;
constexpr tresult kInternalError = kComLayout ? static_cast<tresult>(0x80004005u) : 4;
constexpr tresult kNotInitialized = kComLayout ? static_cast<tresult>(0x8000FFFFu) : 5;
constexpr tresult kOutOfMemory = kComLayout ? static_cast<tresult>(0x8007000Eu) : 6;

// An interface or class identifier as the platform lays it out in memory.
struct Uid {
    char bytes[16];
};

constexpr char byteOf(uint32 word, int shift) { return static_cast<char>((word >> shift) & 0xFFu); }

constexpr Uid makeUid(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
    if (kComLayout) {
        return {{byteOf(l1, 0), byteOf(l1, 8), byteOf(l1, 16), byteOf(l1, 24), byteOf(l2, 16),
                 byteOf(l2, 24), byteOf(l2, 0), byteOf(l2, 8), byteOf(l3, 24), byteOf(l3, 16),
                 byteOf(l3, 8), byteOf(l3, 0), byteOf(l4, 24), byteOf(l4, 16), byteOf(l4, 8),
                 byteOf(l4, 0)}};
    }
    return {{byteOf(l1, 24), byteOf(l1, 16), byteOf(l1, 8), byteOf(l1, 0), byteOf(l2, 24),
             byteOf(l2, 16), byteOf(l2, 8), byteOf(l2, 0), byteOf(l3, 24), byteOf(l3, 16),
             byteOf(l3, 8), byteOf(l3, 0), byteOf(l4, 24), byteOf(l4, 16), byteOf(l4, 8),
             byteOf(l4, 0)}};
}

// False for a null identifier.
inline bool sameUid(const char* bytes, const Uid& uid) {
    return bytes != nullptr && std::memcmp(bytes, uid.bytes, sizeof uid.bytes) == 0;
}

// Every interface names the interface it extends as Base (void for
// FUnknown), so an object answers queries for every interface it derives.
class FUnknown {
public:
    using Base = void;
    static constexpr Uid iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);

    virtual tresult ORVANTA_VST3_API queryInterface(const TUID interfaceId, void** object) = 0;
    virtual uint32 ORVANTA_VST3_API addRef() = 0;
    virtual uint32 ORVANTA_VST3_API release() = 0;
};

class IPluginBase : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);

    virtual tresult ORVANTA_VST3_API initialize(FUnknown* context) = 0;
    virtual tresult ORVANTA_VST3_API terminate() = 0;
};

// The host's byte stream for saved states; the read and write position is
// one.
class IBStream : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
    enum SeekMode : int32 { kSeekSet = 0, kSeekCurrent, kSeekEnd };

    // The count arguments may be null.
    virtual tresult ORVANTA_VST3_API read(void* buffer, int32 bytes, int32* bytesRead) = 0;
    virtual tresult ORVANTA_VST3_API write(void* buffer, int32 bytes, int32* bytesWritten) = 0;
    virtual tresult ORVANTA_VST3_API seek(int64 position, int32 mode, int64* result) = 0;
    virtual tresult ORVANTA_VST3_API tell(int64* position) = 0;
};

}  // namespace vst3
