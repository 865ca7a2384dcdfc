#pragma once

// The tokens NSS serves: those of every module registered in the database,
// and those of the modules registered with p11-kit, which NSS reaches
// through p11-kit's proxy module (NssModules.h).

#include <string>
#include <vector>

#include <secmodt.h>

#include "providers/linux/NssOwners.h"

namespace nerolin {

// Every slot with a token, in NSS's module order. A token that p11-kit's
// proxy repeats from a module that the database registers directly (the
// same card, reached twice) is left out: the direct module's slot stands
// for it, so no token is listed, asked about or signed with twice.
std::vector<SlotPtr> TokenSlots();

// Whether the module is p11-kit's proxy, whether the database registers it
// or Nerolin loaded it.
bool IsP11KitProxy(const SECMODModule* module);

// The common name of the module of the slot ("NSS Internal PKCS #11 Module", ...).
std::string ModuleName(PK11SlotInfo* slot);
// The slot's description, without its blank padding.
std::string SlotDescription(PK11SlotInfo* slot);

}  // namespace nerolin
