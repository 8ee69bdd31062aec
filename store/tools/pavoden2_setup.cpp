// pavoden2-setup: first-time installation of the folder tree, the tables and the alias.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/com/registry.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "store/install.h"

namespace {

namespace fs = std::filesystem;

// The archive component's server: beside this program in an installed layout, else where the
// build put it.
fs::path component_server(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::canonical("/proc/self/exe", ec);
    if (!ec) {
        fs::path beside = self.parent_path() / "CorvexArcvane.so";
        if (pavo::file_system().exists(beside)) return beside;
    }
#ifdef PAVO_ARCVANE_SERVER
    (void)argv0;
    return fs::path(PAVO_ARCVANE_SERVER);
#else
    return fs::path(argv0).parent_path() / "CorvexArcvane.so";
#endif
}

// The server path the registry holds for the control, empty when the control is not registered.
std::string registered_server() {
    pavo::com::Guid clsid;
    if (pavo::com::clsid_from_progid("CorvexArcvane.Arcvane", &clsid) != pavo::com::S_OK) return {};
    auto reg = pavo::com::Registry::open_current();
    auto path = reg.get_value(std::string(pavo::com::kClassesRoot) + "\\CLSID\\" +
                              pavo::com::to_string(clsid) + "\\InprocServer32");
    return path ? *path : std::string();
}

// Registers the component unless the registry already names this server; returns false on failure.
bool register_component(const fs::path& server) {
    std::string current = registered_server();
    if (!current.empty() && fs::path(current) == server && pavo::file_system().exists(server)) {
        std::printf("  component: CorvexArcvane registered, %s, left as it is\n", current.c_str());
        return true;
    }
    std::string why;
    pavo::com::HRESULT hr = pavo::com::register_server(server, &why);
    if (hr != pavo::com::S_OK) {
        std::fprintf(stderr, "pavoden2-setup: cannot register %s: %s\n", server.c_str(),
                     why.c_str());
        return false;
    }
    std::printf("  component: CorvexArcvane registered, %s\n", server.c_str());
    return true;
}

void usage() {
    std::printf(
        "usage: pavoden2-setup [--sample-data] | --unregister-component\n"
        "Creates what is missing of c:\\mydata\\KV-DB\\PAVODEN2\\ under $PAVODEN2_HOME (default\n"
        "~/.pavoden2): the folders, the tables with their first rows and the alias PAVODEN2.\n"
        "Existing tables and aliases are never changed. --sample-data also builds a demonstration\n"
        "set in c:\\mydata\\KV-DB\\PAVODEN2\\DB\\SAMPLE\\ to switch to with Change Databases.\n"
        "It also registers the archive component; --unregister-component removes it.\n");
}

}  // namespace

int main(int argc, char** argv) {
    pavo::store::InstallOptions options;
    bool unregister = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--sample-data")) {
            options.sample_data = true;
        } else if (!std::strcmp(argv[i], "--unregister-component")) {
            unregister = true;
        } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "pavoden2-setup: unknown argument '%s'\n", argv[i]);
            usage();
            return 2;
        }
    }
    try {
        std::printf("pavoden2-setup: home %s\n", pavo::DriveMap::current().home().c_str());
        const fs::path server = component_server(argv[0]);
        if (unregister) {
            std::string why;
            if (pavo::com::unregister_server(server, &why) != pavo::com::S_OK) {
                std::fprintf(stderr, "pavoden2-setup: cannot unregister %s: %s\n", server.c_str(),
                             why.c_str());
                return 1;
            }
            std::printf("  component: CorvexArcvane unregistered\n");
            return 0;
        }
        pavo::store::InstallReport report = pavo::store::install(options);
        for (const auto& line : report.lines) std::printf("  %s\n", line.c_str());
        const bool registered = register_component(server);
        std::printf("pavoden2-setup: %s\n",
                    report.changed ? "installation updated" : "tables and alias already in place");
        return registered ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pavoden2-setup: %s\n", e.what());
        return 1;
    }
}
