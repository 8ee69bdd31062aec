// The file-backed registry (a tree of keys with named text values) and the host-side services over
// it: creating a registered control from its class identifier and registering a server file.
//
// The registry lives in <home>/registry.txt (home = pavo::DriveMap::current().home()). Every change
// is saved at once through pavo::write_file_atomically, so a crash leaves the old or the new tree.
// Key paths use "\" between levels and compare case-insensitively; the value name "" is a key's
// default value.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/com.h"

namespace pavo::com {

// The root under which classes, program identifiers, interfaces and type libraries are registered.
inline constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";

class Registry {
  public:
    // Opens the registry file at path (a missing file is an empty tree). A file that cannot be read
    // or parsed throws pavo::Error (kIO, kCorruption).
    explicit Registry(std::filesystem::path path);
    // The registry of the current program home.
    static Registry open_current();
    static std::filesystem::path current_path();

    bool key_exists(std::string_view key) const;
    // Creates the key and every missing level above it, then saves.
    void create_key(std::string_view key);
    // Sets a value (creating the key), then saves.
    void set_value(std::string_view key, std::string_view name, std::string_view value);
    std::optional<std::string> get_value(std::string_view key, std::string_view name = "") const;
    // Removes a key with everything below it, then saves; false when it did not exist.
    bool delete_tree(std::string_view key);
    // Names of the direct subkeys, as spelled when created.
    std::vector<std::string> subkeys(std::string_view key) const;
    // Names of the values of a key.
    std::vector<std::string> value_names(std::string_view key) const;

    // Several changes saved once: set true, change, then save().
    bool defer_save = false;
    void save() const;

    const std::filesystem::path& path() const { return path_; }

  private:
    struct Node {
        std::string name;
        std::map<std::string, std::pair<std::string, std::string>>
            values;                                             // folded -> (name, value)
        std::map<std::string, std::unique_ptr<Node>> children;  // folded -> node
    };
    const Node* find(std::string_view key) const;
    Node* find_or_create(std::string_view key);
    void changed() const;
    void load();

    std::filesystem::path path_;
    Node root_;
};

// The class identifier a program identifier names ("CorvexArcvane.Arcvane", or a versioned one);
// follows CurVer of a version-independent identifier. CO_E_CLASSSTRING when not registered.
HRESULT clsid_from_progid(std::string_view progid, Guid* clsid);

// Creates an object of a registered in-process class the way a host does: reads the server's path
// from the class's InprocServer32 key, loads it, asks DllGetClassObject for the class factory and
// creates the object with interface iid. Results: REGDB_E_CLASSNOTREG (class not registered),
// REGDB_E_READREGDB (the registry file cannot be read or is damaged),
// CO_E_DLLNOTFOUND (the server file cannot be loaded), CO_E_ERRORINDLL (it lacks the export), or
// the factory's own result. *why (when given) receives a one-line reason on failure.
HRESULT create_instance(const Guid& clsid, const Guid& iid, void** out, std::string* why = nullptr);

// The type library registered under libid and version major.minor, read from the server file the
// registry names for it (TypeLib\{libid}\major.minor\0\win32) through its DllGetTypeLib export.
// The description stays valid while the server is loaded. TYPE_E_LIBNOTREGISTERED when not
// registered, CO_E_DLLNOTFOUND / CO_E_ERRORINDLL as below.
HRESULT load_registered_type_lib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                                 const TypeLibDesc** out, std::string* why = nullptr);

// Unloads loaded servers whose DllCanUnloadNow answers S_OK; returns how many were unloaded.
int free_unused_libraries();

// Calls DllRegisterServer (or DllUnregisterServer) of the server file at path, as a registration
// tool does. CO_E_DLLNOTFOUND / CO_E_ERRORINDLL as above, else the server's result.
HRESULT register_server(const std::filesystem::path& server, std::string* why = nullptr);
HRESULT unregister_server(const std::filesystem::path& server, std::string* why = nullptr);

// Exports every in-process server provides, with these names and C linkage.
using DllGetClassObjectFn = HRESULT (*)(const Guid* clsid, const Guid* iid, void** out);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllGetTypeLibFn = const TypeLibDesc* (*)();

// The program home a host works under is handed to a server it loads, which keeps its own copy of
// the platform layer: hosts call this before calling into a server; servers call
// adopt_host_home() at each entry point.
void publish_home_to_servers();
void adopt_host_home();

}  // namespace pavo::com
