// The CorvexArcvane server's exports: registration, the class factory and the unload test.
#include "archive/component/arcvane.h"
#include "archive/component/src/control.h"
#include "archive/component/src/registration.h"
#include "platform/com/registry.h"
#include "platform/error.h"

namespace pavo::arcvane {

namespace {

class Factory final : public com::IClassFactory {
  public:
    HRESULT query_interface(const com::Guid& iid, void** out) override {
        if (!out) return com::E_POINTER;
        if (iid == com::IID_IUnknown || iid == com::IID_IClassFactory) {
            *out = static_cast<com::IClassFactory*>(this);
            add_ref();
            return com::S_OK;
        }
        *out = nullptr;
        return com::E_NOINTERFACE;
    }
    // The factory is one static object; a host holding it keeps the server loaded.
    std::uint32_t add_ref() override {
        module_count().lock();
        return 2;
    }
    std::uint32_t release() override {
        module_count().unlock();
        return 1;
    }
    HRESULT create_instance(com::IUnknown* outer, const com::Guid& iid, void** out) override {
        if (!out) return com::E_POINTER;
        *out = nullptr;
        if (outer) return com::CLASS_E_NOAGGREGATION;
        return Arcvane::create(real_engines(), iid, out);
    }
    HRESULT lock_server(bool lock) override {
        if (lock)
            module_count().lock();
        else
            module_count().unlock();
        return com::S_OK;
    }
};

Factory g_factory;

}  // namespace

}  // namespace pavo::arcvane

using pavo::com::Guid;
using pavo::com::HRESULT;

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid,
                                                                 void** out) {
    if (!clsid || !iid || !out) return pavo::com::E_POINTER;
    *out = nullptr;
    pavo::com::adopt_host_home();
    if (!(*clsid == pavo::arcvane::CLSID_Arcvane)) return pavo::com::CLASS_E_CLASSNOTAVAILABLE;
    return pavo::arcvane::g_factory.query_interface(*iid, out);
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return pavo::arcvane::module_count().value() == 0 ? pavo::com::S_OK : pavo::com::S_FALSE;
}

// The type library kept in the server, for hosts that read it through the registry.
__attribute__((visibility("default"))) const pavo::com::TypeLibDesc* DllGetTypeLib() {
    return &pavo::arcvane::type_library();
}

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    pavo::com::adopt_host_home();
    return pavo::arcvane::register_arcvane(pavo::arcvane::server_path());
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    pavo::com::adopt_host_home();
    return pavo::arcvane::unregister_arcvane();
}

}  // extern "C"
