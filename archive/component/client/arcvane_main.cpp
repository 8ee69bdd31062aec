// arcvane: runs one operation of the registered Arcvane control from the command line, for scripted
// backups and black-box tests.
//
//   arcvane Add|Extract|List|Delete [Property=value ...]
//
// The control is created through the registry exactly as a host creates it, properties are set by
// dispatch identifier, every event is printed as one line on standard output, and the exit status
// is the operation's error number (0 on success). Exit status 2 is a usage error, 3 a control that
// cannot be created (not registered, or its server file cannot be loaded).
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "archive/component/arcvane.h"
#include "platform/com/registry.h"
#include "platform/drive_map.h"
#include "platform/error.h"

namespace {

using namespace pavo;
using com::Variant;

constexpr int kUsageError = 2;
constexpr int kNoControl = 3;

void usage(std::ostream& out = std::cerr) {
    out << "usage: arcvane Add|Extract|List|Delete [Property=value ...]\n"
           "properties: ZipFileName, SourceDirectory, FilesToProcess, FilesToExclude,\n"
           "  CompressionLevel, RecurseSubDirectories, Overwrite, Password, ExtractDirectory,\n"
           "  UseSpecialWildcards, AllowErrorReporting (booleans: true or false)\n"
           "example: arcvane List ZipFileName=../t/tables.zip\n"
        << DriveMap::argument_rule_help();
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A name quoted so that a script can take it apart: blanks stay inside the quotes, and a quote or
// backslash in it is escaped.
std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string text_of(const Variant& v) {
    return com::to_utf8(v.bstrVal);
}

// An automation date as "YYYY-MM-DDTHH:MM:SS" (the date's own wall-clock reading).
std::string date_text(double days) {
    double seconds = std::round((days - 25569.0) * 86400.0);
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!::gmtime_r(&t, &tm)) return "?";
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

std::string percent_text(double p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", p);
    return buf;
}

// Prints each event of the control as one line.
class EventPrinter final : public com::IDispatch {
  public:
    com::HRESULT query_interface(const com::Guid& iid, void** out) override {
        if (!out) return com::E_POINTER;
        if (iid == com::IID_IUnknown || iid == com::IID_IDispatch ||
            iid == arcvane::DIID__IArcvaneEvents) {
            *out = static_cast<com::IDispatch*>(this);
            add_ref();
            return com::S_OK;
        }
        *out = nullptr;
        return com::E_NOINTERFACE;
    }
    std::uint32_t add_ref() override { return ++refs_; }
    std::uint32_t release() override { return --refs_; }  // lives on main's stack
    const com::InterfaceDesc* type_info() override { return &arcvane::events_desc(); }
    com::HRESULT get_id_of_name(std::string_view name, com::DISPID* id) override {
        const com::MemberDesc* m = arcvane::events_desc().find(name);
        if (!m) return com::DISP_E_UNKNOWNNAME;
        *id = m->id;
        return com::S_OK;
    }
    com::HRESULT invoke(com::DISPID id, std::uint16_t, std::vector<Variant>& a, Variant*,
                        com::ExcepInfo*) override {
        using namespace arcvane;
        switch (id) {
            case DISPID_ProcessStarted:
                std::cout << "ProcessStarted\n";
                break;
            case DISPID_ProcessEnded:
                std::cout << "ProcessEnded\n";
                break;
            case DISPID_Error:
                if (a.size() == 2)
                    std::cout << "Error code=" << a[0].lVal << " text=" << quoted(text_of(a[1]))
                              << "\n";
                break;
            case DISPID_FileStatus:
                if (a.size() == 7)
                    std::cout << "FileStatus name=" << quoted(text_of(a[0]))
                              << " size=" << static_cast<std::uint32_t>(a[1].lVal)
                              << " compressed=" << static_cast<std::uint32_t>(a[2].lVal)
                              << " file=" << percent_text(a[3].dblVal)
                              << " total=" << percent_text(a[4].dblVal)
                              << " completed=" << (a[5].boolVal ? "true" : "false") << "\n";
                break;
            case DISPID_FileInfo:
                if (a.size() == 8) {
                    char crc[16];
                    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(a[5].lVal));
                    std::cout << "FileInfo name=" << quoted(text_of(a[0]))
                              << " size=" << static_cast<std::uint32_t>(a[2].lVal)
                              << " compressed=" << static_cast<std::uint32_t>(a[3].lVal)
                              << " ratio=" << a[4].lVal << " crc=" << crc
                              << " date=" << date_text(a[6].dblVal)
                              << " encrypted=" << (a[7].boolVal ? "true" : "false")
                              << " comment=" << quoted(text_of(a[1])) << "\n";
                }
                break;
            default:
                return com::DISP_E_MEMBERNOTFOUND;
        }
        std::cout.flush();
        return com::S_OK;
    }

  private:
    std::uint32_t refs_ = 1;
};

bool is_path_property(com::DISPID id) {
    return id == arcvane::DISPID_ZipFileName || id == arcvane::DISPID_SourceDirectory ||
           id == arcvane::DISPID_ExtractDirectory;
}

// Host paths (absolute or relative to the current folder) become logical ones; logical paths pass
// to the control as they are, which maps them (and reports an unmapped drive) itself.
std::string logical_path(const std::string& value) {
    if (value.empty()) return value;
    bool has_drive =
        value.size() >= 2 && value[1] == ':' && std::isalpha(static_cast<unsigned char>(value[0]));
    if (has_drive) return value;
    std::string logical =
        DriveMap::current().to_logical(DriveMap::current().argument_to_host(value));
    // A trailing separator says "folder" to the control; keep it.
    if ((value.back() == '/' || value.back() == '\\') && logical.back() != '\\') logical += "\\";
    return logical;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return kUsageError;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        usage(std::cout);
        return 0;
    }
    const std::string method = argv[1];
    com::DISPID method_id = 0;
    if (iequals(method, "Add"))
        method_id = arcvane::DISPID_Add;
    else if (iequals(method, "Extract"))
        method_id = arcvane::DISPID_Extract;
    else if (iequals(method, "List"))
        method_id = arcvane::DISPID_List;
    else if (iequals(method, "Delete"))
        method_id = arcvane::DISPID_Delete;
    else {
        std::cerr << "arcvane: unknown operation '" << method << "'\n";
        usage();
        return kUsageError;
    }

    // Every setting is checked before the control is created, so a typo costs nothing.
    struct Setting {
        const com::MemberDesc* member;
        Variant value;
    };
    std::vector<Setting> settings;
    const com::InterfaceDesc& desc = arcvane::iarcvane2_desc();
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::size_t eq = arg.find('=');
        const com::MemberDesc* m = eq == std::string::npos ? nullptr : desc.find(arg.substr(0, eq));
        if (!m || m->kind != com::MemberKind::kProperty) {
            std::cerr << "arcvane: not a property setting: '" << arg << "'\n";
            usage();
            return kUsageError;
        }
        std::string value = arg.substr(eq + 1);
        Variant v;
        if (m->type == com::VT_BOOL) {
            if (!iequals(value, "true") && !iequals(value, "false")) {
                std::cerr << "arcvane: " << m->name << " takes true or false, not '" << value
                          << "'\n";
                return kUsageError;
            }
            v = Variant::from_bool(iequals(value, "true"));
        } else if (m->type == com::VT_I4) {
            char* end = nullptr;
            long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < INT32_MIN || n > INT32_MAX) {
                std::cerr << "arcvane: " << m->name << " takes a whole number, not '" << value
                          << "'\n";
                return kUsageError;
            }
            v = Variant::from_i4(static_cast<std::int32_t>(n));
        } else {
            try {
                v = Variant::from_utf8(is_path_property(m->id) ? logical_path(value) : value);
            } catch (const std::exception& e) {
                std::cerr << "arcvane: " << m->name << ": " << e.what() << "\n";
                return kUsageError;
            }
        }
        settings.push_back({m, std::move(v)});
    }

    // The sink outlives the control, which holds it until it goes.
    EventPrinter printer;
    com::ComPtr<com::IDispatch> control;
    std::string why;
    com::HRESULT hr =
        com::create_instance(arcvane::CLSID_Arcvane, com::IID_IDispatch, control.put(), &why);
    if (hr == com::REGDB_E_CLASSNOTREG) {
        std::cerr << "arcvane: the CorvexArcvane component is not registered under "
                  << DriveMap::current().home().string() << " (register it with pavoden2-setup)\n";
        return kNoControl;
    }
    if (com::FAILED(hr) || !control) {
        std::cerr << "arcvane: cannot create the Arcvane control: " << why << " ("
                  << com::hresult_text(hr) << ")\n";
        return kNoControl;
    }

    com::ComPtr<com::IConnectionPointContainer> container;
    com::ComPtr<com::IConnectionPoint> point;
    std::uint32_t cookie = 0;
    if (com::SUCCEEDED(control.as(com::IID_IConnectionPointContainer, &container)) &&
        com::SUCCEEDED(
            container->find_connection_point(arcvane::DIID__IArcvaneEvents, point.out())))
        point->advise(&printer, &cookie);

    for (auto& s : settings) {
        std::vector<Variant> args{s.value};
        hr = control->invoke(s.member->id, com::DISPATCH_PROPERTYPUT, args, nullptr, nullptr);
        if (com::FAILED(hr)) {
            std::cerr << "arcvane: setting " << s.member->name << " failed ("
                      << com::hresult_text(hr) << ")\n";
            return kUsageError;
        }
    }

    std::vector<Variant> none;
    Variant result;
    com::ExcepInfo excep;
    hr = control->invoke(method_id, com::DISPATCH_METHOD, none, &result, &excep);
    if (cookie) point->unadvise(cookie);
    if (hr == com::DISP_E_EXCEPTION)
        std::cerr << "arcvane: " << com::to_utf8(excep.description) << "\n";
    else if (com::FAILED(hr))
        std::cerr << "arcvane: " << method << " failed (" << com::hresult_text(hr) << ")\n";
    if (result.vt != com::VT_I4) return com::FAILED(hr) ? 222 : 0;
    return result.lVal;
}
