#include "providers/linux/NssTokens.h"

#include <climits>
#include <cstdlib>
#include <set>

#include "providers/linux/NssModules.h"

namespace nerolin {
namespace {

std::string RealPath(const char* path)
{
    if (!path || !*path) return {};
    char resolved[PATH_MAX];
    return realpath(path, resolved) ? std::string(resolved) : std::string(path);
}

// A token as its module describes it: the same card reached through two
// modules answers alike.
std::string TokenIdentity(PK11SlotInfo* slot)
{
    CK_TOKEN_INFO info{};
    if (PK11_GetTokenInfo(slot, &info) != SECSuccess) return {};
    std::string identity;
    identity.append(reinterpret_cast<const char*>(info.label), sizeof info.label);
    identity.append(reinterpret_cast<const char*>(info.manufacturerID), sizeof info.manufacturerID);
    identity.append(reinterpret_cast<const char*>(info.model), sizeof info.model);
    identity.append(reinterpret_cast<const char*>(info.serialNumber), sizeof info.serialNumber);
    return identity;
}

}  // namespace

bool IsP11KitProxy(const SECMODModule* module)
{
    if (!module || !module->dllName) return false;
    static const std::string proxy = RealPath(P11KitProxyModule().c_str());
    const std::string path = RealPath(module->dllName);
    return (!proxy.empty() && path == proxy) || path.ends_with("/p11-kit-proxy.so");
}

std::vector<SlotPtr> TokenSlots()
{
    std::vector<SlotPtr> direct;
    std::vector<SlotPtr> throughProxy;
    SlotListPtr list(PK11_GetAllTokens(CKM_INVALID_MECHANISM, PR_FALSE, PR_FALSE, nullptr));
    for (PK11SlotListElement* element = list ? list->head : nullptr; element; element = element->next) {
        auto& target = IsP11KitProxy(PK11_GetModule(element->slot)) ? throughProxy : direct;
        target.emplace_back(PK11_ReferenceSlot(element->slot));
    }
    std::set<std::string> seen;
    for (const SlotPtr& slot : direct) seen.insert(TokenIdentity(slot.get()));
    std::vector<SlotPtr> slots = std::move(direct);
    for (SlotPtr& slot : throughProxy)
        if (seen.insert(TokenIdentity(slot.get())).second) slots.push_back(std::move(slot));
    return slots;
}

std::string ModuleName(PK11SlotInfo* slot)
{
    SECMODModule* module = slot ? PK11_GetModule(slot) : nullptr;
    return module && module->commonName ? module->commonName : std::string();
}

std::string ModuleLibrary(PK11SlotInfo* slot)
{
    SECMODModule* module = slot ? PK11_GetModule(slot) : nullptr;
    return module && module->dllName ? module->dllName : std::string();
}

std::string WithoutPadding(const unsigned char* field, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(field), size);
    const auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string SlotDescription(PK11SlotInfo* slot)
{
    CK_SLOT_INFO info{};
    if (!slot || PK11_GetSlotInfo(slot, &info) != SECSuccess) return {};
    return WithoutPadding(info.slotDescription, sizeof info.slotDescription);
}

std::pair<std::string, std::string> TokenMaker(PK11SlotInfo* slot)
{
    CK_TOKEN_INFO info{};
    if (!slot || PK11_GetTokenInfo(slot, &info) != SECSuccess) return {};
    return {WithoutPadding(info.manufacturerID, sizeof info.manufacturerID),
            WithoutPadding(info.model, sizeof info.model)};
}

}  // namespace nerolin
