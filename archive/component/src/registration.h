// What the server writes into (and removes from) the registry's classes root.
#pragma once

#include <filesystem>

#include "platform/com/com.h"

namespace pavo::arcvane {

// Registers the class, both program identifiers, the interfaces and the type library, all naming
// server as the file to load. S_OK, or SELFREG_E_CLASS when the registry cannot be written.
com::HRESULT register_arcvane(const std::filesystem::path& server);
// Removes all of it; what is already gone is no failure.
com::HRESULT unregister_arcvane();

}  // namespace pavo::arcvane
