#include "providers/AlternativeProviderChoiceModules.h"

#include <sys/stat.h>

namespace nerolin {
namespace {

using Kind = AlternativeTarget::Kind;

// A key in one of the makers' modules that NSS loaded is signed through the
// same module directly: one session and one login for the whole batch. The
// generic middlewares serve every card alike and leave the choice to the
// card in the reader.
const ModuleFileRow kModuleFiles[] = {
    {"libbit4ipki.so", {Kind::Maker, MakerModule::Bit4id}},
    {"libbit4ipki_auth.so", {Kind::Maker, MakerModule::Bit4idAuth}},
    {"libbit4ipki_ds.so", {Kind::Maker, MakerModule::Bit4idDs}},
    {"libgclib.so", {Kind::Maker, MakerModule::GemaltoClassic}},
    {"libIDPrimePKCS11.so", {Kind::Maker, MakerModule::IDPrime}},
    {"libOCSCryptoki.so", {Kind::Maker, MakerModule::Oberthur}},
    {"opensc-pkcs11.so", {Kind::ByCardName}},
    {"p11-kit-proxy.so", {Kind::ByCardName}},
};

}  // namespace

const char* NoAlternativeEntry() { return "No alternative signing provider found; using NSS"; }

const char* MakerModuleFile(MakerModule module)
{
    switch (module) {
    case MakerModule::Bit4id: return "libbit4ipki.so";
    case MakerModule::Bit4idAuth: return "libbit4ipki_auth.so";
    case MakerModule::Bit4idDs: return "libbit4ipki_ds.so";
    case MakerModule::GemaltoClassic: return "libgclib.so";
    case MakerModule::IDPrime: return "libIDPrimePKCS11.so";
    case MakerModule::Oberthur: return "libOCSCryptoki.so";
    }
    return "";
}

std::string IDPrimeInstalledPath() { return "/usr/lib/libIDPrimePKCS11.so"; }

bool LibraryFileExists(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

std::span<const ModuleFileRow> ModuleFileTable() { return kModuleFiles; }

}  // namespace nerolin
