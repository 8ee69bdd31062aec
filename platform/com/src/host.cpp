// Host side of in-process servers: class lookup in the registry, loading servers, registration
// calls.
#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

#include "platform/com/registry.h"
#include "platform/drive_map.h"
#include "platform/error.h"

namespace pavo::com {

namespace {

struct LoadedServer {
    void* handle = nullptr;
    DllCanUnloadNowFn can_unload = nullptr;
};

std::mutex g_mutex;
std::map<std::string, LoadedServer>& loaded() {
    static std::map<std::string, LoadedServer> servers;
    return servers;
}

void say(std::string* why, std::string text) {
    if (why) *why = std::move(text);
}

std::string clsid_key(const Guid& clsid) {
    return std::string(kClassesRoot) + "\\CLSID\\" + to_string(clsid);
}

// Loads a server once per process; it stays until free_unused_libraries() finds it idle.
void* load_server(const std::string& path, std::string* why) {
    std::lock_guard lock(g_mutex);
    auto it = loaded().find(path);
    if (it != loaded().end()) return it->second.handle;
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* err = ::dlerror();
        say(why, "cannot load " + path + ": " + (err ? err : "unknown reason"));
        return nullptr;
    }
    LoadedServer s;
    s.handle = h;
    s.can_unload = reinterpret_cast<DllCanUnloadNowFn>(::dlsym(h, "DllCanUnloadNow"));
    loaded()[path] = s;
    return h;
}

HRESULT call_registration(const std::filesystem::path& server, const char* entry,
                          std::string* why) {
    publish_home_to_servers();
    void* h = ::dlopen(server.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* err = ::dlerror();
        say(why, "cannot load " + server.string() + ": " + (err ? err : "unknown reason"));
        return CO_E_DLLNOTFOUND;
    }
    auto fn = reinterpret_cast<DllRegisterServerFn>(::dlsym(h, entry));
    HRESULT hr;
    if (!fn) {
        say(why, server.string() + " has no entry " + entry);
        hr = CO_E_ERRORINDLL;
    } else {
        hr = fn();
        if (FAILED(hr)) say(why, std::string(entry) + " failed with " + hresult_text(hr));
    }
    ::dlclose(h);
    return hr;
}

}  // namespace

void publish_home_to_servers() {
    ::setenv("PAVODEN2_HOME", DriveMap::current().home().c_str(), 1);
}

void adopt_host_home() {
    std::filesystem::path wanted = DriveMap::default_home();
    if (wanted != DriveMap::current().home()) DriveMap::set_current_home(wanted);
}

HRESULT clsid_from_progid(std::string_view progid, Guid* clsid) {
    if (!clsid) return E_POINTER;
    try {
        Registry reg = Registry::open_current();
        std::string key = std::string(kClassesRoot) + "\\" + std::string(progid);
        // A version-independent identifier points at its current versioned one.
        if (auto cur = reg.get_value(key + "\\CurVer"); cur && !cur->empty())
            key = std::string(kClassesRoot) + "\\" + *cur;
        auto text = reg.get_value(key + "\\CLSID");
        if (!text) return CO_E_CLASSSTRING;
        auto g = parse_guid(*text);
        if (!g) return CO_E_CLASSSTRING;
        *clsid = *g;
        return S_OK;
    } catch (const Error&) {
        return CO_E_CLASSSTRING;
    }
}

HRESULT create_instance(const Guid& clsid, const Guid& iid, void** out, std::string* why) {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::optional<std::string> server;
    try {
        server = Registry::open_current().get_value(clsid_key(clsid) + "\\InprocServer32");
    } catch (const Error& e) {
        say(why, e.what());
        return REGDB_E_READREGDB;
    }
    if (!server || server->empty()) {
        say(why, "class " + to_string(clsid) + " is not registered");
        return REGDB_E_CLASSNOTREG;
    }
    publish_home_to_servers();
    void* h = load_server(*server, why);
    if (!h) return CO_E_DLLNOTFOUND;
    auto get = reinterpret_cast<DllGetClassObjectFn>(::dlsym(h, "DllGetClassObject"));
    if (!get) {
        say(why, *server + " has no entry DllGetClassObject");
        return CO_E_ERRORINDLL;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = get(&clsid, &IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || !factory) {
        say(why, "DllGetClassObject failed with " + hresult_text(hr));
        return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    hr = factory->create_instance(nullptr, iid, out);
    factory->release();
    if (FAILED(hr)) say(why, "creating the object failed with " + hresult_text(hr));
    return hr;
}

HRESULT load_registered_type_lib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                                 const TypeLibDesc** out, std::string* why) {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::optional<std::string> server;
    const std::string key = std::string(kClassesRoot) + "\\TypeLib\\" + to_string(libid) + "\\" +
                            std::to_string(major) + "." + std::to_string(minor) + "\\0\\win32";
    try {
        server = Registry::open_current().get_value(key);
    } catch (const Error& e) {
        say(why, e.what());
        return REGDB_E_READREGDB;
    }
    if (!server || server->empty()) {
        say(why, "type library " + to_string(libid) + " is not registered");
        return TYPE_E_LIBNOTREGISTERED;
    }
    publish_home_to_servers();
    void* h = load_server(*server, why);
    if (!h) return CO_E_DLLNOTFOUND;
    auto get = reinterpret_cast<DllGetTypeLibFn>(::dlsym(h, "DllGetTypeLib"));
    const TypeLibDesc* lib = get ? get() : nullptr;
    if (!lib || !(lib->libid == libid)) {
        say(why, *server + " does not hold type library " + to_string(libid));
        return CO_E_ERRORINDLL;
    }
    *out = lib;
    return S_OK;
}

int free_unused_libraries() {
    std::lock_guard lock(g_mutex);
    int freed = 0;
    for (auto it = loaded().begin(); it != loaded().end();) {
        if (it->second.can_unload && it->second.can_unload() == S_OK) {
            ::dlclose(it->second.handle);
            it = loaded().erase(it);
            ++freed;
        } else {
            ++it;
        }
    }
    return freed;
}

HRESULT register_server(const std::filesystem::path& server, std::string* why) {
    return call_registration(server, "DllRegisterServer", why);
}

HRESULT unregister_server(const std::filesystem::path& server, std::string* why) {
    return call_registration(server, "DllUnregisterServer", why);
}

}  // namespace pavo::com
