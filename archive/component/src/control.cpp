// The Arcvane control: properties, dispatch, the four operations, events and persisted properties.
#include "archive/component/src/control.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/component/src/span_client.h"
#include "platform/com/registry.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::arcvane {

using com::Variant;

namespace {

constexpr std::uint32_t kStreamVersion = 0x0300;

// Runs of every instance in the process: the engines keep run-wide state in process-wide variables.
bool g_engine_running = false;

bool is_true(VARIANT_BOOL v) {
    return v != com::VARIANT_FALSE;
}
VARIANT_BOOL to_vb(bool b) {
    return b ? com::VARIANT_TRUE : com::VARIANT_FALSE;
}

// Host path of a path text as a user or host program writes it: logical (c:\...), a host absolute
// path, or relative to the current folder; the rule the engines apply to the same text.
std::optional<std::filesystem::path> host_path(const std::string& text) {
    try {
        return DriveMap::current().argument_to_host(text);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// Host paths are handed to the engines in their logical (z:\) form, the form the engines' command
// lines have always carried.
std::string engine_path(const std::string& text) {
    if (text.empty() || text[0] != '/') return text;
    return DriveMap::current().to_logical(text);
}

std::int32_t as_i4(std::uint64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

struct CurrentFolder {
    std::optional<std::filesystem::path> saved;
    ~CurrentFolder() {
        if (!saved) return;
        std::error_code ec;
        std::filesystem::current_path(*saved, ec);
    }
};

// Unix seconds of local time -> automation date (days from 30 Dec 1899).
double to_automation_date(std::int64_t local_seconds) {
    return 25569.0 + static_cast<double>(local_seconds) / 86400.0;
}

}  // namespace

com::ModuleCount& module_count() {
    static com::ModuleCount count;
    return count;
}

std::filesystem::path server_path() {
    // Worked out once: later calls may come while packing has moved the current folder.
    static const std::filesystem::path path = [] {
        Dl_info info{};
        if (!::dladdr(reinterpret_cast<void*>(&server_path), &info) || !info.dli_fname)
            return std::filesystem::path();
        std::filesystem::path p = info.dli_fname;
        std::error_code ec;
        // The main program's own code is named as it was started; the kernel knows its real path.
        if (!p.is_absolute()) p = std::filesystem::read_symlink("/proc/self/exe", ec);
        auto canonical = std::filesystem::canonical(p, ec);
        return ec ? p : canonical;
    }();
    return path;
}

// ---- Life ---------------------------------------------------------------------------------------

Arcvane::Arcvane(Engines engines)
    : engines_(std::move(engines)), events_(static_cast<IArcvane2*>(this), DIID__IArcvaneEvents) {
    module_count().lock();
}

Arcvane::~Arcvane() {
    module_count().unlock();
}

HRESULT Arcvane::create(Engines engines, const com::Guid& iid, void** out) {
    if (!out) return com::E_POINTER;
    *out = nullptr;
    Arcvane* a = new (std::nothrow) Arcvane(std::move(engines));
    if (!a) return com::E_OUTOFMEMORY;
    HRESULT hr = a->query_interface(iid, out);
    a->release();
    return hr;
}

HRESULT Arcvane::query_interface(const com::Guid& iid, void** out) {
    if (!out) return com::E_POINTER;
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == IID_IArcvane ||
        iid == IID_IArcvane2)
        *out = static_cast<IArcvane2*>(this);
    else if (iid == com::IID_IConnectionPointContainer)
        *out = static_cast<com::IConnectionPointContainer*>(this);
    else if (iid == com::IID_IPersistStreamInit)
        *out = static_cast<com::IPersistStreamInit*>(this);
    else if (iid == com::IID_ISupportErrorInfo)
        *out = static_cast<com::ISupportErrorInfo*>(this);
    else if (iid == com::IID_IOleObject)
        *out = static_cast<com::IOleObject*>(this);
    else {
        *out = nullptr;
        return com::E_NOINTERFACE;
    }
    add_ref();
    return com::S_OK;
}

std::uint32_t Arcvane::add_ref() {
    return ++refs_;
}

std::uint32_t Arcvane::release() {
    std::uint32_t n = --refs_;
    if (n == 0) {
        // Sinks may hold references back to us; drop them before going.
        refs_ = 1;
        events_.clear();
        delete this;
    }
    return n;
}

// ---- Dispatch -----------------------------------------------------------------------------------

const com::InterfaceDesc* Arcvane::type_info() {
    return &iarcvane2_desc();
}

HRESULT Arcvane::get_id_of_name(std::string_view name, DISPID* id) {
    if (!id) return com::E_POINTER;
    const com::MemberDesc* m = iarcvane2_desc().find(name);
    if (!m) return com::DISP_E_UNKNOWNNAME;
    *id = m->id;
    return com::S_OK;
}

HRESULT Arcvane::invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args, Variant* result,
                        com::ExcepInfo* excep) {
    const com::MemberDesc* m = iarcvane2_desc().find(id);
    if (!m) return com::DISP_E_MEMBERNOTFOUND;

    if (m->kind == com::MemberKind::kMethod) {
        if (!(flags & com::DISPATCH_METHOD)) return com::DISP_E_MEMBERNOTFOUND;
        if (!args.empty()) return com::DISP_E_BADPARAMCOUNT;
        std::int32_t number = 0;
        HRESULT hr = run(id == DISPID_Add       ? Operation::kAdd
                         : id == DISPID_Extract ? Operation::kExtract
                         : id == DISPID_List    ? Operation::kList
                                                : Operation::kDelete,
                         &number);
        if (result) *result = Variant::from_i4(number);
        if (com::FAILED(hr)) {
            // The dispatch caller learns of the failure as an exception with the error information.
            com::ErrorInfo info;
            if (com::get_error_info(&info) == com::S_OK) com::set_error_info(&info);
            if (excep) {
                excep->source = info.source;
                excep->description = info.description;
                excep->scode = hr;
            }
            return com::DISP_E_EXCEPTION;
        }
        return com::S_OK;
    }

    if (flags & com::DISPATCH_PROPERTYGET) {
        if (!args.empty()) return com::DISP_E_BADPARAMCOUNT;
        Variant v;
        switch (m->type) {
            case com::VT_BOOL: {
                VARIANT_BOOL b = 0;
                if (id == DISPID_Enabled)
                    get_Enabled(&b);
                else if (id == DISPID_AllowErrorReporting)
                    get_AllowErrorReporting(&b);
                else if (id == DISPID_Overwrite)
                    get_Overwrite(&b);
                else if (id == DISPID_RecurseSubDirectories)
                    get_RecurseSubDirectories(&b);
                else
                    get_UseSpecialWildcards(&b);
                v = Variant::from_bool(is_true(b));
                break;
            }
            case com::VT_I4: {
                std::int32_t n = 0;
                get_CompressionLevel(&n);
                v = Variant::from_i4(n);
                break;
            }
            default: {
                std::u16string s;
                switch (id) {
                    case DISPID_ExtractDirectory:
                        get_ExtractDirectory(&s);
                        break;
                    case DISPID_ZipFileName:
                        get_ZipFileName(&s);
                        break;
                    case DISPID_Password:
                        get_Password(&s);
                        break;
                    case DISPID_FilesToProcess:
                        get_FilesToProcess(&s);
                        break;
                    case DISPID_FilesToExclude:
                        get_FilesToExclude(&s);
                        break;
                    default:
                        get_SourceDirectory(&s);
                        break;
                }
                v = Variant::from_text(std::move(s));
            }
        }
        if (result) *result = std::move(v);
        return com::S_OK;
    }

    if (flags & com::DISPATCH_PROPERTYPUT) {
        if (args.size() != 1) return com::DISP_E_BADPARAMCOUNT;
        Variant v;
        HRESULT hr = com::change_type(args[0], m->type, &v);
        if (com::FAILED(hr)) return hr;
        switch (m->type) {
            case com::VT_BOOL:
                if (id == DISPID_Enabled) return put_Enabled(v.boolVal);
                if (id == DISPID_AllowErrorReporting) return put_AllowErrorReporting(v.boolVal);
                if (id == DISPID_Overwrite) return put_Overwrite(v.boolVal);
                if (id == DISPID_RecurseSubDirectories) return put_RecurseSubDirectories(v.boolVal);
                return put_UseSpecialWildcards(v.boolVal);
            case com::VT_I4:
                return put_CompressionLevel(v.lVal);
            default:
                switch (id) {
                    case DISPID_ExtractDirectory:
                        return put_ExtractDirectory(v.bstrVal);
                    case DISPID_ZipFileName:
                        return put_ZipFileName(v.bstrVal);
                    case DISPID_Password:
                        return put_Password(v.bstrVal);
                    case DISPID_FilesToProcess:
                        return put_FilesToProcess(v.bstrVal);
                    case DISPID_FilesToExclude:
                        return put_FilesToExclude(v.bstrVal);
                    default:
                        return put_SourceDirectory(v.bstrVal);
                }
        }
    }
    return com::DISP_E_MEMBERNOTFOUND;
}

// ---- Properties ---------------------------------------------------------------------------------

#define PAVO_BOOL_PROPERTY(Name, field)            \
    HRESULT Arcvane::get_##Name(VARIANT_BOOL* v) { \
        if (!v) return com::E_POINTER;             \
        *v = to_vb(settings_.field);               \
        return com::S_OK;                          \
    }                                              \
    HRESULT Arcvane::put_##Name(VARIANT_BOOL v) {  \
        settings_.field = is_true(v);              \
        dirty_ = true;                             \
        return com::S_OK;                          \
    }

#define PAVO_TEXT_PROPERTY(Name, field)                    \
    HRESULT Arcvane::get_##Name(std::u16string* v) {       \
        if (!v) return com::E_POINTER;                     \
        *v = com::from_utf8(settings_.field);              \
        return com::S_OK;                                  \
    }                                                      \
    HRESULT Arcvane::put_##Name(const std::u16string& v) { \
        set_text(settings_.field, v);                      \
        return com::S_OK;                                  \
    }

PAVO_BOOL_PROPERTY(Enabled, enabled)
PAVO_BOOL_PROPERTY(Overwrite, overwrite)
PAVO_BOOL_PROPERTY(RecurseSubDirectories, recurse_subdirectories)
PAVO_BOOL_PROPERTY(UseSpecialWildcards, use_special_wildcards)
PAVO_TEXT_PROPERTY(ExtractDirectory, extract_directory)
PAVO_TEXT_PROPERTY(ZipFileName, zip_file_name)
PAVO_TEXT_PROPERTY(Password, password)
PAVO_TEXT_PROPERTY(FilesToProcess, files_to_process)
PAVO_TEXT_PROPERTY(FilesToExclude, files_to_exclude)
PAVO_TEXT_PROPERTY(SourceDirectory, source_directory)

#undef PAVO_BOOL_PROPERTY
#undef PAVO_TEXT_PROPERTY

void Arcvane::set_text(std::string& field, const std::u16string& v) {
    field = com::to_utf8(v);
    dirty_ = true;
}

HRESULT Arcvane::get_AllowErrorReporting(VARIANT_BOOL* v) {
    if (!v) return com::E_POINTER;
    *v = to_vb(settings_.allow_error_reporting);
    return com::S_OK;
}

HRESULT Arcvane::put_AllowErrorReporting(VARIANT_BOOL v) {
    settings_.allow_error_reporting = settings_.error_reporting = is_true(v);
    dirty_ = true;
    return com::S_OK;
}

HRESULT Arcvane::get_CompressionLevel(std::int32_t* v) {
    if (!v) return com::E_POINTER;
    *v = settings_.compression_level;
    return com::S_OK;
}

HRESULT Arcvane::put_CompressionLevel(std::int32_t v) {
    // Any value outside 0..9 keeps the level in force.
    if (v >= 0 && v <= 9) {
        settings_.compression_level = v;
        dirty_ = true;
    }
    return com::S_OK;
}

// ---- Operations ---------------------------------------------------------------------------------

HRESULT Arcvane::Add(std::int32_t* result) {
    return run(Operation::kAdd, result);
}
HRESULT Arcvane::Extract(std::int32_t* result) {
    return run(Operation::kExtract, result);
}
HRESULT Arcvane::List(std::int32_t* result) {
    return run(Operation::kList, result);
}
HRESULT Arcvane::Delete(std::int32_t* result) {
    return run(Operation::kDelete, result);
}

int Arcvane::validate(Operation op) const {
    const std::string& name = settings_.zip_file_name;
    if (name.empty() || name.back() == '\\' || name.back() == '/') return kResultBadArchiveName;
    std::size_t slash = name.find_last_of("\\/");
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last.find_first_of(":*?\"<>|") != std::string::npos) return kResultBadArchiveName;
    auto host = host_path(name);
    if (is_packing(op)) {
        if (!host) return kResultNoArchiveFolder;
        std::filesystem::path folder = host->parent_path();
        if (folder.empty()) folder = ".";
        return file_system().is_directory(folder) ? 0 : kResultNoArchiveFolder;
    }
    if (!host || file_system().stat(*host).type != EntryType::kFile) return kResultBadArchiveName;
    return 0;
}

HRESULT Arcvane::run(Operation op, std::int32_t* result) {
    if (!result) return com::E_POINTER;
    *result = 0;
    // A call from inside one of our own event handlers (or during another instance's run) would
    // re-enter the engines; it does nothing.
    if (busy_ || g_engine_running) return com::S_OK;
    // A sink may let go of the host's last reference while an event is delivered.
    com::ComPtr<IArcvane2> keep = com::ComPtr<IArcvane2>::share(this);
    com::adopt_host_home();

    last_kind_ = op;
    const bool packing = is_packing(op);
    int engine_result = validate(op);
    CurrentFolder folder;
    if (engine_result == 0 && packing && !settings_.source_directory.empty()) {
        std::error_code ec;
        folder.saved = std::filesystem::current_path(ec);
        if (ec) folder.saved.reset();
        auto host = host_path(settings_.source_directory);
        if (!host || !file_system().is_directory(*host)) {
            engine_result = kResultNoSourceFolder;
        } else {
            std::filesystem::current_path(*host, ec);
            if (ec) engine_result = kResultNoSourceFolder;
        }
    }

    if (engine_result == 0) {
        busy_ = g_engine_running = true;
        abort_ = false;
        fire(DISPID_ProcessStarted, {});
        try {
            engine_result = execute(op);
        } catch (...) {
            engine_result = -1;  // an unknown result of either table
        }
        fire(DISPID_ProcessEnded, {});
        busy_ = g_engine_running = false;
    }

    const std::int32_t number =
        packing ? map_pack_result(engine_result) : map_unpack_result(engine_result);
    last_error_ = number;
    *result = number;
    if (number == 0) return com::S_OK;

    const char* text = error_text(number);
    fire(DISPID_Error, {Variant::from_i4(number), Variant::from_utf8(text ? text : "")});
    if (!settings_.error_reporting) return com::S_OK;
    com::ErrorInfo info;
    info.iid = IID_IArcvane2;
    info.source = com::from_utf8(kProgId);
    info.description = com::from_utf8(text ? text : "Unknown Error");
    com::set_error_info(&info);
    return com::MAKE_HRESULT(com::SEVERITY_ERROR, com::FACILITY_ITF,
                             static_cast<std::uint32_t>(number));
}

int Arcvane::execute(Operation op) {
    Settings s = settings_;
    s.zip_file_name = engine_path(s.zip_file_name);
    s.extract_directory = engine_path(s.extract_directory);
    if (op == Operation::kAdd || op == Operation::kDelete) return run_engine(op, s);

    auto host = host_path(settings_.zip_file_name);
    if (!host || !is_split_set(*host)) return run_engine(op, s);

    // A split set is joined into a temporary archive, which is read instead and removed afterwards.
    std::string tmpl = (std::filesystem::temp_directory_path() / "CorvexArcvane-XXXXXX").string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return kResultSpanUnknown;
    ::close(fd);
    std::filesystem::path joined = tmpl;
    SpanEvents events;
    events.progress = [this](const std::string& part, int percent) {
        RunProgress p;
        p.name = part;
        p.file_percent = percent;
        p.total_percent = percent;
        fire_file_status(p);
        return abort_;
    };
    events.notice = [this](const std::string& part, bool done) {
        RunProgress p;
        p.name = part;
        p.file_percent = done ? 100 : 0;
        p.total_percent = done ? 100 : 0;
        p.done = done;
        fire_file_status(p);
    };
    int r = join_split_set(*host, joined, events);
    if (r == 0) {
        s.zip_file_name = DriveMap::current().to_logical(joined);
        r = run_engine(op, s);
    }
    std::error_code ec;
    std::filesystem::remove(joined, ec);
    return r;
}

int Arcvane::run_engine(Operation op, const Settings& s) {
    const std::string program = server_path().string();
    std::vector<std::string> args = split_arguments(build_command(s, op, program));
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    RunCallbacks cb;
    cb.progress = [this](const RunProgress& p) { fire_file_status(p); };
    cb.member = [this](const RunMember& m) { fire_file_info(m); };
    cb.abort_requested = [this] { return abort_; };
    const EngineMain& engine = is_packing(op) ? engines_.pack : engines_.unpack;
    if (!engine) return -1;
    return engine(static_cast<int>(args.size()), argv.data(), cb);
}

// ---- Events -------------------------------------------------------------------------------------

void Arcvane::fire(DISPID id, std::vector<Variant> args) {
    // The sinks may release the last outside reference while an event is delivered.
    com::ComPtr<IArcvane2> keep = com::ComPtr<IArcvane2>::share(this);
    events_.fire(id, args);
}

void Arcvane::fire_file_status(const RunProgress& p) {
    const int file_percent = std::clamp(p.file_percent, 0, 100);
    const int total_percent = std::clamp(p.total_percent, 0, 100);
    VARIANT_BOOL abort = com::VARIANT_FALSE;
    std::vector<Variant> args = {Variant::from_utf8(p.name),
                                 Variant::from_i4(as_i4(p.size)),
                                 Variant::from_i4(as_i4(p.compressed_size)),
                                 Variant::from_double(file_percent),
                                 Variant::from_double(total_percent),
                                 Variant::from_bool(p.done || file_percent >= 100),
                                 Variant::bool_ref(&abort)};
    com::ComPtr<IArcvane2> keep = com::ComPtr<IArcvane2>::share(this);
    events_.fire(DISPID_FileStatus, args);
    if (abort != com::VARIANT_FALSE) abort_ = true;
}

void Arcvane::fire_file_info(const RunMember& m) {
    fire(DISPID_FileInfo,
         {Variant::from_utf8(m.name), Variant::from_utf8(m.comment),
          Variant::from_i4(as_i4(m.uncompressed_size)), Variant::from_i4(as_i4(m.compressed_size)),
          Variant::from_i4(m.ratio), Variant::from_i4(static_cast<std::int32_t>(m.crc32)),
          Variant::from_date(to_automation_date(m.mtime)), Variant::from_bool(m.encrypted)});
}

HRESULT Arcvane::find_connection_point(const com::Guid& iid, com::IConnectionPoint** out) {
    if (!out) return com::E_POINTER;
    if (!(iid == DIID__IArcvaneEvents)) {
        *out = nullptr;
        return com::CONNECT_E_NOCONNECTION;
    }
    *out = &events_;
    events_.add_ref();
    return com::S_OK;
}

HRESULT Arcvane::interface_supports_error_info(const com::Guid& iid) {
    return (iid == IID_IArcvane || iid == IID_IArcvane2) ? com::S_OK : com::S_FALSE;
}

HRESULT Arcvane::get_extent(std::int32_t* width, std::int32_t* height) {
    if (!width || !height) return com::E_POINTER;
    *width = extent_width_;
    *height = extent_height_;
    return com::S_OK;
}

HRESULT Arcvane::set_extent(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) return com::E_INVALIDARG;
    extent_width_ = width;
    extent_height_ = height;
    dirty_ = true;
    return com::S_OK;
}

// ---- Persisted properties -----------------------------------------------------------------------

namespace {

void put_u16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put_u32(std::string& out, std::uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

void put_bool(std::string& out, bool b) {
    put_u16(out, com::VT_BOOL);
    put_u16(out, b ? 0xFFFF : 0);
}

void put_i4(std::string& out, std::int32_t v) {
    put_u16(out, com::VT_I4);
    put_u32(out, static_cast<std::uint32_t>(v));
}

void put_text(std::string& out, const std::string& utf8) {
    std::u16string w = com::from_utf8(utf8);
    put_u16(out, com::VT_BSTR);
    put_u32(out, static_cast<std::uint32_t>(w.size() * 2 + 2));
    for (char16_t c : w) put_u16(out, c);
    put_u16(out, 0);
}

// Reads the stream piecewise; any short read or unexpected type marks it bad.
class StreamReader {
  public:
    explicit StreamReader(com::IStream* s) : s_(s) {}
    bool ok() const { return ok_; }

    std::uint32_t u32() {
        unsigned char b[4] = {};
        take(b, 4);
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    std::uint16_t u16() {
        unsigned char b[2] = {};
        take(b, 2);
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    bool boolean() {
        if (u16() != com::VT_BOOL) ok_ = false;
        return u16() != 0;
    }
    std::int32_t i4() {
        if (u16() != com::VT_I4) ok_ = false;
        return static_cast<std::int32_t>(u32());
    }
    std::u16string text() {
        if (u16() != com::VT_BSTR) ok_ = false;
        std::uint32_t bytes = u32();
        if (!ok_ || bytes < 2 || bytes % 2 != 0) {
            ok_ = false;
            return {};
        }
        std::u16string out;
        // Character by character, so that a damaged count cannot make us reserve gigabytes.
        for (std::uint32_t i = 0; ok_ && i + 2 < bytes; i += 2) out.push_back(u16());
        if (u16() != 0) ok_ = false;
        return out;
    }

  private:
    void take(unsigned char* b, std::uint32_t n) {
        if (!ok_) return;
        std::uint32_t got = 0;
        if (com::FAILED(s_->read(b, n, &got)) || got != n) ok_ = false;
    }
    com::IStream* s_;
    bool ok_ = true;
};

}  // namespace

HRESULT Arcvane::get_class_id(com::Guid* clsid) {
    if (!clsid) return com::E_POINTER;
    *clsid = CLSID_Arcvane;
    return com::S_OK;
}

HRESULT Arcvane::is_dirty() {
    return dirty_ ? com::S_OK : com::S_FALSE;
}

HRESULT Arcvane::save(com::IStream* stream, bool clear_dirty) {
    if (!stream) return com::E_POINTER;
    const Settings& s = settings_;
    std::string out;
    put_u32(out, kStreamVersion);
    put_u32(out, static_cast<std::uint32_t>(extent_width_));
    put_u32(out, static_cast<std::uint32_t>(extent_height_));
    put_bool(out, s.enabled);
    put_text(out, s.zip_file_name);
    put_text(out, s.files_to_process);
    put_text(out, s.files_to_exclude);
    put_bool(out, s.allow_error_reporting);
    put_bool(out, s.recurse_subdirectories);
    put_text(out, s.password);
    put_i4(out, s.compression_level);
    put_text(out, s.extract_directory);
    put_bool(out, s.overwrite);
    put_text(out, s.source_directory);
    std::uint32_t done = 0;
    HRESULT hr = stream->write(out.data(), static_cast<std::uint32_t>(out.size()), &done);
    if (com::FAILED(hr) || done != out.size()) return com::STG_E_WRITEFAULT;
    if (clear_dirty) dirty_ = false;
    return com::S_OK;
}

HRESULT Arcvane::load(com::IStream* stream) {
    if (!stream) return com::E_POINTER;
    StreamReader r(stream);
    if (r.u32() != kStreamVersion || !r.ok()) return com::E_FAIL;
    const std::int32_t width = static_cast<std::int32_t>(r.u32());
    const std::int32_t height = static_cast<std::int32_t>(r.u32());
    const bool enabled = r.boolean();
    const std::u16string zip = r.text();
    const std::u16string process = r.text();
    const std::u16string exclude = r.text();
    const bool allow = r.boolean();
    const bool recurse = r.boolean();
    const std::u16string password = r.text();
    const std::int32_t level = r.i4();
    const std::u16string extract = r.text();
    const bool overwrite = r.boolean();
    const std::u16string source = r.text();
    // A damaged stream changes nothing.
    if (!r.ok()) return com::STG_E_READFAULT;
    extent_width_ = width;
    extent_height_ = height;
    put_Enabled(to_vb(enabled));
    put_ZipFileName(zip);
    put_FilesToProcess(process);
    put_FilesToExclude(exclude);
    put_AllowErrorReporting(to_vb(allow));
    put_RecurseSubDirectories(to_vb(recurse));
    put_Password(password);
    put_CompressionLevel(level);
    put_ExtractDirectory(extract);
    put_Overwrite(to_vb(overwrite));
    put_SourceDirectory(source);
    dirty_ = false;
    return com::S_OK;
}

HRESULT Arcvane::get_size_max(std::uint64_t* size) {
    if (!size) return com::E_POINTER;
    com::MemoryStream m;
    save(&m, false);
    *size = m.bytes().size();
    return com::S_OK;
}

HRESULT Arcvane::init_new() {
    settings_ = Settings{};
    extent_width_ = extent_height_ = 847;
    dirty_ = false;
    return com::S_OK;
}

}  // namespace pavo::arcvane
