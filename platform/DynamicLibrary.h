#pragma once

// A library loaded at run time (a PKCS#11 module, the maker's key-storage
// library) and the addresses of its entry points: dlopen on Linux,
// LoadLibraryW and GetProcAddress on Windows. The object owns the handle and
// unloads the library when it goes.

#include <cstdint>
#include <string>

// The calling convention of the key-storage library's entry points: the
// platform's standard one, the callee removing the arguments. 64-bit
// Windows and Linux have a single convention, so it matters on 32-bit
// Windows only; it is written out so that a 32-bit build calls right.
#if defined(_WIN32)
#define NEROLIN_STDCALL __stdcall
#else
#define NEROLIN_STDCALL
#endif

namespace nerolin {

// Why a library or an entry point could not be had. code is the system's
// error number (GetLastError; errno after dlopen, often 0, since dlopen has
// none of its own); text is the loader's or the system's own description.
struct LoadFailure {
    std::uint32_t code = 0;
    std::string text;
};

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Close(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // file: a UTF-8 file name found by the system's library search, or a
    // path. Closes what was open before. False on failure, described.
    bool Open(const std::string& file, LoadFailure& failure);

    // Unloads; true when nothing is loaded afterwards (the system refused
    // nothing, or nothing was loaded).
    bool Close();

    bool loaded() const { return handle_ != nullptr; }

    // The address of an exported entry point, or null, described.
    void* Address(const char* name, LoadFailure& failure) const;

    // The full path of the loaded file; empty when nothing is loaded or the
    // system cannot tell.
    std::string Path() const;

private:
    void* handle_ = nullptr;
};

// The error entry of a failed Open, in the loader's own words:
// "dlopen error: <errno> (0x...): <the loader's text>" (the text names the
// file and what was wrong with it), "LoadLibrary error: <code> (0x...)".
std::string OpenFailureEntry(const LoadFailure& failure);

// An entry point of the library as a typed function pointer, or null.
template <typename Function>
Function EntryPoint(const DynamicLibrary& library, const char* name, LoadFailure& failure)
{
    return reinterpret_cast<Function>(library.Address(name, failure));
}

}  // namespace nerolin
