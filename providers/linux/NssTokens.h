#pragma once

// The tokens NSS serves: those of every module registered in the database,
// and those of the modules registered with p11-kit, which NSS reaches
// through p11-kit's proxy module (NssModules.h).

#include <string>
#include <utility>
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
// The library of the module of the slot, as the database registers it
// (NSS's own software token has none).
std::string ModuleLibrary(PK11SlotInfo* slot);
// The slot's description, without its blank padding.
std::string SlotDescription(PK11SlotInfo* slot);
// The token's manufacturer and model, without their blank padding; empty
// when the slot has no token.
std::pair<std::string, std::string> TokenMaker(PK11SlotInfo* slot);
// A blank-padded field of a PKCS#11 information structure, without the padding.
std::string WithoutPadding(const unsigned char* field, std::size_t size);

}  // namespace nerolin
