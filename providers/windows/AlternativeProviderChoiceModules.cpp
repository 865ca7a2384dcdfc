#include "providers/AlternativeProviderChoiceModules.h"

#include <windows.h>

#include "platform/windows/WideText.h"

namespace nerolin {

const char* NoAlternativeEntry() { return "No alternative signing provider found; using MSWin"; }

const char* MakerModuleFile(MakerModule module)
{
    switch (module) {
    case MakerModule::Bit4id: return "bit4ipki.dll";
    case MakerModule::Bit4idAuth: return "bit4ipki_auth.dll";
    case MakerModule::Bit4idDs: return "bit4ipki_ds.dll";
    case MakerModule::GemaltoClassic: return "gclib.dll";
    case MakerModule::IDPrime: return "IDPrimePKCS11.dll";
    case MakerModule::Oberthur: return "OCSCryptoki.dll";
    }
    return "";
}

// "ProgramFiles" (empty when unset, which leaves a path from the root of
// the current drive) followed by the maker's folder.
std::string IDPrimeInstalledPath()
{
    std::wstring folder;
    const DWORD size = GetEnvironmentVariableW(L"ProgramFiles", nullptr, 0);
    if (size > 1) {
        folder.resize(size);
        const DWORD length = GetEnvironmentVariableW(L"ProgramFiles", folder.data(), size);
        folder.resize(length < size ? length : 0);
    }
    return Utf8Text(folder + L"\\Gemalto\\IDGo 800 PKCS#11\\IDPrimePKCS11.dll");
}

bool LibraryFileExists(const std::string& path)
{
    return GetFileAttributesW(WideText(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The CSP or KSP name says which middleware holds a key on Windows.
std::span<const ModuleFileRow> ModuleFileTable() { return {}; }

}  // namespace nerolin
