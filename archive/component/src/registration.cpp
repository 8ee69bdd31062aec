// Registration of the Arcvane class, its program identifiers, interfaces and type library.
#include "archive/component/src/registration.h"

#include "archive/component/arcvane.h"
#include "platform/com/registry.h"
#include "platform/error.h"

namespace pavo::arcvane {

namespace {

// The platform's marshaler for interfaces described by a type library.
constexpr const char* kTypeLibMarshaler = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kClassTitle = "Arcvane Class";

std::string root(const std::string& sub) {
    return std::string(com::kClassesRoot) + "\\" + sub;
}

std::string class_key() {
    return root("CLSID\\" + com::to_string(CLSID_Arcvane));
}
std::string typelib_key() {
    return root("TypeLib\\" + com::to_string(LIBID_CORVEXARCVANELib));
}

std::vector<const com::InterfaceDesc*> interfaces() {
    return {type_library().interfaces.begin(), type_library().interfaces.end()};
}

}  // namespace

com::HRESULT register_arcvane(const std::filesystem::path& server) {
    const std::string path = server.string();
    const std::string clsid = com::to_string(CLSID_Arcvane);
    const std::string libid = com::to_string(LIBID_CORVEXARCVANELib);
    try {
        com::Registry reg = com::Registry::open_current();
        reg.defer_save = true;

        reg.set_value(root(kProgId), "", kClassTitle);
        reg.set_value(root(kProgId) + "\\CLSID", "", clsid);
        reg.set_value(root(kVersionIndependentProgId), "", kClassTitle);
        reg.set_value(root(kVersionIndependentProgId) + "\\CLSID", "", clsid);
        reg.set_value(root(kVersionIndependentProgId) + "\\CurVer", "", kProgId);

        const std::string c = class_key();
        reg.set_value(c, "", kClassTitle);
        reg.set_value(c + "\\ProgID", "", kProgId);
        reg.set_value(c + "\\VersionIndependentProgID", "", kVersionIndependentProgId);
        reg.create_key(c + "\\Programmable");
        reg.create_key(c + "\\Control");
        reg.create_key(c + "\\Insertable");
        reg.set_value(c + "\\InprocServer32", "", path);
        reg.set_value(c + "\\InprocServer32", "ThreadingModel", "Apartment");
        reg.set_value(c + "\\ToolboxBitmap32", "", path + ", " + std::to_string(kToolboxBitmapId));
        reg.set_value(c + "\\MiscStatus", "", "0");
        reg.set_value(c + "\\MiscStatus\\1", "", "132497");
        reg.set_value(c + "\\TypeLib", "", libid);
        reg.set_value(c + "\\Version", "", "5.0");
        reg.save();
    } catch (const Error&) {
        return com::SELFREG_E_CLASS;
    }

    try {
        com::Registry reg = com::Registry::open_current();
        reg.defer_save = true;
        const com::TypeLibDesc& lib = type_library();
        const std::string version = std::to_string(lib.major) + "." + std::to_string(lib.minor);
        const std::string t = typelib_key() + "\\" + version;
        reg.set_value(t, "", lib.help);
        reg.set_value(t + "\\0\\win32", "", path);
        reg.set_value(t + "\\FLAGS", "", "0");
        reg.set_value(t + "\\HELPDIR", "", server.parent_path().string());
        for (const com::InterfaceDesc* i : interfaces()) {
            const std::string k = root("Interface\\" + com::to_string(i->iid));
            reg.set_value(k, "", i->name);
            reg.set_value(k + "\\ProxyStubClsid32", "", kTypeLibMarshaler);
            reg.set_value(k + "\\TypeLib", "", libid);
            reg.set_value(k + "\\TypeLib", "Version", version);
        }
        reg.save();
    } catch (const Error&) {
        return com::SELFREG_E_TYPELIB;
    }
    return com::S_OK;
}

com::HRESULT unregister_arcvane() {
    try {
        com::Registry reg = com::Registry::open_current();
        reg.defer_save = true;
        reg.delete_tree(class_key());
        // A program identifier that names another class is not ours to remove.
        for (const char* progid : {kProgId, kVersionIndependentProgId}) {
            auto named = reg.get_value(root(progid) + "\\CLSID");
            if (!named || *named == com::to_string(CLSID_Arcvane)) reg.delete_tree(root(progid));
        }
        reg.delete_tree(typelib_key());
        for (const com::InterfaceDesc* i : interfaces())
            reg.delete_tree(root("Interface\\" + com::to_string(i->iid)));
        reg.save();
    } catch (const Error&) {
        return com::SELFREG_E_CLASS;
    }
    return com::S_OK;
}

}  // namespace pavo::arcvane
