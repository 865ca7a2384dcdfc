#pragma once

// The system's half of the alternative choice (AlternativeProviderChoice.h):
// how its libraries are named, and which facts of the system lead where. One
// part per system, in linux/ and windows/, picked by the build.

#include <span>
#include <string>

#include "providers/AlternativeProviderChoice.h"

namespace nerolin {

// The maker module's library file name, for the normal library search
// ("libbit4ipki_ds.so" here, "bit4ipki_ds.dll" on Windows).
const char* MakerModuleFile(MakerModule module);

// The warning when no alternative is chosen, naming the provider that signs
// instead ("No alternative signing provider found; using NSS").
const char* NoAlternativeEntry();

// Where the IDPrime module is installed by its maker's package: a full path.
std::string IDPrimeInstalledPath();

// Whether a file exists at path (UTF-8).
bool LibraryFileExists(const std::string& path);

// A key held by a module whose library has this file name leads to target.
struct ModuleFileRow {
    const char* libraryFile;
    AlternativeTarget target;
};
// Compared with the file name of the key's module library, exact case. Empty
// where the provider name already says which middleware holds the key.
std::span<const ModuleFileRow> ModuleFileTable();

// The IDPrime module: installedPath when a file exists there, else the bare
// file name for the library search.
inline std::string IDPrimeModule(const std::string& installedPath = IDPrimeInstalledPath())
{
    return LibraryFileExists(installedPath) ? installedPath : MakerModuleFile(MakerModule::IDPrime);
}

}  // namespace nerolin
