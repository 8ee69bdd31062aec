// The CorvexArcvane server as hosts meet it: registration, creation through the registry,
// unloading, the main program's backup and restore, masks, split sets (ours and other archivers')
// and the arcvane client.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "archive/component/arcvane.h"
#include "archive/span/corvex_zip_span.h"
#include "platform/com/registry.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "support/temp_home.h"

namespace pavo::arcvane {
namespace {

namespace fs = std::filesystem;
using com::Variant;

const fs::path kServer = PAVO_SERVER;
const fs::path kData = PAVO_SPLIT_DATA;

std::string hkcr(const std::string& sub) {
    return "HKEY_CLASSES_ROOT\\" + sub;
}

// Every regular file under root, by relative path, with its content.
std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            out[fs::relative(e.path(), root).generic_string()] = read_whole_file(e.path());
    return out;
}

std::string random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// Counts the events a run raised and keeps the names FileInfo reported.
class Sink final : public com::IDispatch {
  public:
    HRESULT query_interface(const com::Guid& iid, void** out) override {
        if (iid == com::IID_IUnknown || iid == com::IID_IDispatch) {
            *out = static_cast<com::IDispatch*>(this);
            add_ref();
            return com::S_OK;
        }
        *out = nullptr;
        return com::E_NOINTERFACE;
    }
    std::uint32_t add_ref() override { return ++refs; }
    std::uint32_t release() override { return --refs; }
    const com::InterfaceDesc* type_info() override { return nullptr; }
    HRESULT get_id_of_name(std::string_view, DISPID*) override { return com::DISP_E_UNKNOWNNAME; }
    HRESULT invoke(DISPID id, std::uint16_t, std::vector<Variant>& a, Variant*,
                   com::ExcepInfo*) override {
        ++count[id];
        if (id == DISPID_FileInfo) listed.insert(com::to_utf8(a[0].bstrVal));
        if (id == DISPID_FileStatus) {
            status_names.push_back(com::to_utf8(a[0].bstrVal));
            if (abort_at_file && com::to_utf8(a[0].bstrVal) == abort_at_file)
                *a[6].pboolVal = com::VARIANT_TRUE;
        }
        return com::S_OK;
    }
    void clear() {
        count.clear();
        listed.clear();
        status_names.clear();
    }
    std::uint32_t refs = 1;
    std::map<DISPID, int> count;
    std::set<std::string> listed;
    std::vector<std::string> status_names;
    const char* abort_at_file = nullptr;
};

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tmp = home.path() / "tmp";
        fs::create_directories(tmp);
        ::setenv("TMPDIR", tmp.c_str(), 1);  // the control's temporary joins land here
        std::string why;
        ASSERT_EQ(com::register_server(kServer, &why), com::S_OK) << why;
    }
    void TearDown() override {
        control.reset();
        ::unsetenv("TMPDIR");
    }

    void create() {
        std::string why;
        ASSERT_EQ(com::create_instance(CLSID_Arcvane, com::IID_IDispatch,
                                       reinterpret_cast<void**>(control.put()), &why),
                  com::S_OK)
            << why;
        com::ComPtr<com::IConnectionPointContainer> cpc;
        ASSERT_EQ(control.as(com::IID_IConnectionPointContainer, &cpc), com::S_OK);
        com::ComPtr<com::IConnectionPoint> cp;
        ASSERT_EQ(cpc->find_connection_point(DIID__IArcvaneEvents, cp.out()), com::S_OK);
        std::uint32_t cookie = 0;
        ASSERT_EQ(cp->advise(&sink, &cookie), com::S_OK);
    }
    void set(DISPID id, Variant v) {
        std::vector<Variant> args{std::move(v)};
        ASSERT_EQ(control->invoke(id, com::DISPATCH_PROPERTYPUT, args, nullptr, nullptr),
                  com::S_OK);
    }
    void set(DISPID id, const std::string& text) { set(id, Variant::from_utf8(text)); }
    void set(DISPID id, bool b) { set(id, Variant::from_bool(b)); }
    std::int32_t call(DISPID id) {
        std::vector<Variant> none;
        Variant r;
        control->invoke(id, com::DISPATCH_METHOD, none, &r, nullptr);
        EXPECT_EQ(r.vt, com::VT_I4);
        return r.lVal;
    }
    // The main program keeps the control quiet.
    void quiet() { set(DISPID_AllowErrorReporting, false); }
    std::size_t temp_files() {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(tmp), fs::directory_iterator()));
    }

    testing::TempHome home;
    fs::path tmp;
    Sink sink;
    com::ComPtr<com::IDispatch> control;
};

TEST_F(ServerTest, RegistrationWritesTheClassProgramIdentifiersAndTypeLibrary) {
    com::Registry reg = com::Registry::open_current();
    const std::string clsid = com::to_string(CLSID_Arcvane);
    const std::string libid = com::to_string(LIBID_CORVEXARCVANELib);
    const std::string path = fs::canonical(kServer).string();
    const std::string c = hkcr("CLSID\\" + clsid);
    const std::pair<std::string, std::string> values[] = {
        {hkcr("CorvexArcvane.Arcvane.5\\CLSID"), clsid},
        {hkcr("CorvexArcvane.Arcvane\\CLSID"), clsid},
        {hkcr("CorvexArcvane.Arcvane\\CurVer"), "CorvexArcvane.Arcvane.5"},
        {c + "\\ProgID", "CorvexArcvane.Arcvane.5"},
        {c + "\\VersionIndependentProgID", "CorvexArcvane.Arcvane"},
        {c + "\\InprocServer32", path},
        {c + "\\ToolboxBitmap32", path + ", 101"},
        {c + "\\MiscStatus", "0"},
        {c + "\\MiscStatus\\1", "132497"},
        {c + "\\TypeLib", libid},
        {c + "\\Version", "5.0"},
        {hkcr("TypeLib\\" + libid + "\\5.0\\0\\win32"), path},
        {hkcr("Interface\\" + com::to_string(IID_IArcvane2) + "\\TypeLib"), libid},
    };
    for (const auto& [key, value] : values) EXPECT_EQ(reg.get_value(key), value) << key;
    EXPECT_EQ(reg.get_value(c + "\\InprocServer32", "ThreadingModel"), "Apartment");
    for (const char* k : {"Programmable", "Control", "Insertable"})
        EXPECT_TRUE(reg.key_exists(c + "\\" + k)) << k;

    com::Guid g;
    ASSERT_EQ(com::clsid_from_progid("CorvexArcvane.Arcvane", &g), com::S_OK);
    EXPECT_EQ(g, CLSID_Arcvane);

    // The type library comes from the server file the registry names for it.
    const com::TypeLibDesc* lib = nullptr;
    std::string why;
    ASSERT_EQ(com::load_registered_type_lib(LIBID_CORVEXARCVANELib, 5, 0, &lib, &why), com::S_OK)
        << why;
    EXPECT_EQ(lib->name, "CORVEXARCVANELib");
    const com::InterfaceDesc* i2 = lib->find_interface(IID_IArcvane2);
    ASSERT_NE(i2, nullptr);
    ASSERT_NE(i2->find("FilesToExclude"), nullptr);
    EXPECT_EQ(i2->find("FilesToExclude")->id, 1116);
    EXPECT_EQ(com::load_registered_type_lib(LIBID_CORVEXARCVANELib, 4, 0, &lib),
              com::TYPE_E_LIBNOTREGISTERED);

    // Unregistering removes all of it and nothing else; registering again restores it.
    reg.set_value(hkcr("Other.Thing\\CLSID"), "", "{00000000-0000-0000-0000-000000000001}");
    ASSERT_EQ(com::unregister_server(kServer), com::S_OK);
    reg = com::Registry::open_current();
    EXPECT_FALSE(reg.key_exists(c));
    EXPECT_FALSE(reg.key_exists(hkcr("CorvexArcvane.Arcvane")));
    EXPECT_FALSE(reg.key_exists(hkcr("CorvexArcvane.Arcvane.5")));
    EXPECT_FALSE(reg.key_exists(hkcr("TypeLib\\" + libid)));
    EXPECT_FALSE(reg.key_exists(hkcr("Interface\\" + com::to_string(IID_IArcvane))));
    EXPECT_TRUE(reg.key_exists(hkcr("Other.Thing")));
    void* out = nullptr;
    EXPECT_EQ(com::create_instance(CLSID_Arcvane, com::IID_IDispatch, &out),
              com::REGDB_E_CLASSNOTREG);
    EXPECT_EQ(com::unregister_server(kServer), com::S_OK);  // twice is no failure
    ASSERT_EQ(com::register_server(kServer), com::S_OK);
    create();
}

TEST_F(ServerTest, ServerCanUnloadOnlyWhenNoObjectOrLockIsAlive) {
    void* h = ::dlopen(kServer.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << ::dlerror();
    auto get = reinterpret_cast<com::DllGetClassObjectFn>(::dlsym(h, "DllGetClassObject"));
    auto can_unload = reinterpret_cast<com::DllCanUnloadNowFn>(::dlsym(h, "DllCanUnloadNow"));
    ASSERT_TRUE(get && can_unload);
    EXPECT_EQ(can_unload(), com::S_OK);

    com::IClassFactory* factory = nullptr;
    const com::Guid other = com::guid("{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(get(&other, &com::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              com::CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(get(&CLSID_Arcvane, &com::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              com::S_OK);
    EXPECT_EQ(can_unload(), com::S_FALSE);

    void* obj = nullptr;
    EXPECT_EQ(factory->create_instance(static_cast<com::IUnknown*>(&sink), IID_IArcvane2, &obj),
              com::CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->create_instance(nullptr, IID_IArcvane2, &obj), com::S_OK);
    ASSERT_EQ(factory->lock_server(true), com::S_OK);
    factory->release();
    EXPECT_EQ(can_unload(), com::S_FALSE);
    static_cast<com::IUnknown*>(static_cast<IArcvane2*>(obj))->release();
    EXPECT_EQ(can_unload(), com::S_FALSE);  // the lock still holds it
    ASSERT_EQ(get(&CLSID_Arcvane, &com::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              com::S_OK);
    factory->lock_server(false);
    factory->release();
    EXPECT_EQ(can_unload(), com::S_OK);
    ::dlclose(h);

    // A host frees the server once its last object is gone.
    create();
    EXPECT_EQ(com::free_unused_libraries(), 0);
    control.reset();
    EXPECT_EQ(com::free_unused_libraries(), 1);
}

TEST_F(ServerTest, MainProgramBackupAndRestoreRoadWorks) {
    // The table directory with a subfolder, as Create Databases leaves it.
    const fs::path db = home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "db";
    fs::create_directories(db / "sub");
    fs::create_directories(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "zip" / "databases");
    write_file_atomically(db / "PAVODEN2.DB", random_bytes(70000, 1));
    write_file_atomically(db / "CONFIG.DB", std::string(5000, 'c'));
    write_file_atomically(db / "sub" / "STATS_JT.DB", "stats");
    create();
    quiet();
    const std::string archive =
        "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\PAVODEN-2026-12-06-17-25-03.zip";
    set(DISPID_SourceDirectory, std::string("c:\\mydata\\KV-DB\\PAVODEN2\\db\\"));
    set(DISPID_FilesToProcess, std::string("c:\\mydata\\KV-DB\\PAVODEN2\\db\\*.*"));
    set(DISPID_ZipFileName, archive);
    set(DISPID_RecurseSubDirectories, true);
    set(DISPID_Overwrite, true);
    const fs::path cwd = fs::current_path();
    EXPECT_EQ(call(DISPID_Add), 0);
    EXPECT_EQ(fs::current_path(), cwd);
    EXPECT_EQ(sink.count[DISPID_ProcessStarted], 1);
    EXPECT_EQ(sink.count[DISPID_ProcessEnded], 1);
    EXPECT_EQ(sink.count[DISPID_Error], 0);

    // UNZIP Databases.
    set(DISPID_ExtractDirectory, std::string("c:\\temp02\\restored"));
    set(DISPID_FilesToProcess, std::string("*.*"));
    set(DISPID_ZipFileName, archive);
    set(DISPID_Overwrite, true);
    EXPECT_EQ(call(DISPID_Extract), 0);
    const fs::path restored = home.drive_c() / "temp02" / "restored";
    EXPECT_EQ(tree(restored), tree(db));

    // Unpacking again replaces what the first run wrote; with Overwrite false it is left alone.
    write_file_atomically(restored / "CONFIG.DB", "changed");
    EXPECT_EQ(call(DISPID_Extract), 0);
    EXPECT_EQ(read_whole_file(restored / "CONFIG.DB"), std::string(5000, 'c'));
    write_file_atomically(restored / "CONFIG.DB", "mine");
    set(DISPID_Overwrite, false);
    sink.clear();
    EXPECT_EQ(call(DISPID_Extract), 0);
    EXPECT_EQ(read_whole_file(restored / "CONFIG.DB"), "mine");
    EXPECT_EQ(sink.count[DISPID_Error], 0);
}

TEST_F(ServerTest, MaskListsAndSpecialWildcardsSelectTheRightFiles) {
    const fs::path src = home.path() / "src";
    fs::create_directories(src);
    for (const char* name : {"notes.txt", "letter.doc", "image.bmp", "report1.txt", "report2.txt",
                             "report3.txt", "a[1].txt", "a1.txt"})
        write_file_atomically(src / name, name);
    create();
    quiet();
    set(DISPID_SourceDirectory, src.string());
    const std::string archive = (home.path() / "masks.zip").string();
    set(DISPID_ZipFileName, archive);
    set(DISPID_FilesToProcess, std::string("*.txt|*.doc"));
    set(DISPID_FilesToExclude, std::string("report*"));
    ASSERT_EQ(call(DISPID_Add), 0);
    set(DISPID_FilesToProcess, std::string("*"));
    set(DISPID_FilesToExclude, std::string(""));
    ASSERT_EQ(call(DISPID_List), 0);
    EXPECT_EQ(sink.listed,
              (std::set<std::string>{"notes.txt", "letter.doc", "a[1].txt", "a1.txt"}));

    fs::remove(archive);
    set(DISPID_UseSpecialWildcards, true);
    set(DISPID_FilesToProcess, std::string("report<12>.txt|a[1].txt"));
    ASSERT_EQ(call(DISPID_Add), 0);
    sink.clear();
    set(DISPID_UseSpecialWildcards, false);
    set(DISPID_FilesToProcess, std::string("*"));
    ASSERT_EQ(call(DISPID_List), 0);
    EXPECT_EQ(sink.listed, (std::set<std::string>{"report1.txt", "report2.txt", "a[1].txt"}));

    // Nothing selected is error 212, with the event and the method result.
    sink.clear();
    set(DISPID_FilesToProcess, std::string("*.none"));
    EXPECT_EQ(call(DISPID_Add), 212);
    EXPECT_EQ(sink.count[DISPID_Error], 1);
}

TEST_F(ServerTest, AbortDuringTheSecondOfThreeFilesKeepsTheOldArchive) {
    const fs::path src = home.path() / "src";
    fs::create_directories(src);
    write_file_atomically(src / "1.bin", random_bytes(300000, 1));
    create();
    quiet();
    set(DISPID_SourceDirectory, src.string());
    const fs::path zip = home.path() / "keep.zip";
    set(DISPID_ZipFileName, zip.string());
    ASSERT_EQ(call(DISPID_Add), 0);
    const std::string before = read_whole_file(zip);

    write_file_atomically(src / "2.bin", random_bytes(300000, 2));
    write_file_atomically(src / "3.bin", random_bytes(300000, 3));
    sink.abort_at_file = "2.bin";
    sink.clear();
    EXPECT_EQ(call(DISPID_Add), 0);  // a user abort is no error
    EXPECT_EQ(sink.count[DISPID_Error], 0);
    EXPECT_EQ(sink.count[DISPID_ProcessEnded], 1);
    EXPECT_TRUE(read_whole_file(zip) == before);
    EXPECT_EQ(std::count(sink.status_names.begin(), sink.status_names.end(), "3.bin"), 0);
    EXPECT_EQ(tree(src).size(), 3u);  // no temporary archive left in the source folder

    sink.abort_at_file = nullptr;
}

struct SpanLibrary {
    SpanLibrary() : h(::dlopen(PAVO_SPAN_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
    ~SpanLibrary() {
        if (h) ::dlclose(h);
    }
    int span(const fs::path& archive, const fs::path& set, const char* part_size) {
        auto prop = reinterpret_cast<int (*)(int, const char*)>(::dlsym(h, "SetProperty"));
        auto fn = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(h, "Span"));
        prop(kSpanPropPartSize, part_size);
        prop(kSpanPropOverwrite, "1");
        return fn(archive.c_str(), set.c_str());
    }
    void* h;
};

TEST_F(ServerTest, SplitSetMadeBySpanExtractsThroughExtractAndTheJoinedArchiveIsRemoved) {
    const fs::path src = home.path() / "src";
    fs::create_directories(src / "deeper");
    write_file_atomically(src / "big.bin", random_bytes(200000, 7));
    write_file_atomically(src / "deeper" / "more.bin", random_bytes(90000, 8));
    write_file_atomically(src / "small.txt", "small");
    create();
    quiet();
    set(DISPID_SourceDirectory, src.string());
    set(DISPID_ZipFileName, (home.path() / "whole.zip").string());
    set(DISPID_CompressionLevel, Variant::from_i4(0));
    ASSERT_EQ(call(DISPID_Add), 0);

    SpanLibrary lib;
    ASSERT_NE(lib.h, nullptr);
    const fs::path set_name = home.path() / "parts" / "backup.zip";
    fs::create_directories(set_name.parent_path());
    ASSERT_EQ(lib.span(home.path() / "whole.zip", set_name, "65536"), kSpanOk);
    ASSERT_TRUE(fs::exists(home.path() / "parts" / "backup.z04"));

    // The set may be named by its first part (which carries the spanning signature) or any other.
    int round = 0;
    for (const char* name : {"backup.z01", "backup.zip", "backup.z03"}) {
        const fs::path out = home.path() / ("out" + std::to_string(round++));
        set(DISPID_ZipFileName, (home.path() / "parts" / name).string());
        set(DISPID_ExtractDirectory, out.string());
        sink.clear();
        EXPECT_EQ(call(DISPID_Extract), 0) << name;
        EXPECT_EQ(tree(out), tree(src)) << name;
        EXPECT_EQ(temp_files(), 0u) << name;
        // The copy of the parts showed up as FileStatus events as well.
        EXPECT_NE(std::find(sink.status_names.begin(), sink.status_names.end(),
                            (home.path() / "parts" / "backup.z02").string()),
                  sink.status_names.end());
    }
    sink.clear();
    EXPECT_EQ(call(DISPID_List), 0);
    EXPECT_EQ(sink.listed,
              (std::set<std::string>{"big.bin", "deeper/", "deeper/more.bin", "small.txt"}));
    EXPECT_EQ(temp_files(), 0u);
}

TEST_F(ServerTest, SplitSetsOfOtherArchiversExtractLikeTheirUnsplitTwins) {
    struct Case {
        const char* set;
        const char* twin;
    } cases[] = {
        {"winrar/split_zip_created_by_winrar.zip", "winrar/zip_to_compare_created_by_winrar.zip"},
        {"winzip/WinZip26.nocomp.multi.z01", "winzip/Zip.none.zip"},
    };
    create();
    quiet();
    int n = 0;
    for (const auto& c : cases) {
        // The test data is read-only; the parts are read where they are.
        const fs::path a = home.path() / ("split" + std::to_string(n)),
                       b = home.path() / ("twin" + std::to_string(n));
        ++n;
        set(DISPID_ZipFileName, (kData / c.set).string());
        set(DISPID_ExtractDirectory, a.string());
        EXPECT_EQ(call(DISPID_Extract), 0) << c.set;
        set(DISPID_ZipFileName, (kData / c.twin).string());
        set(DISPID_ExtractDirectory, b.string());
        EXPECT_EQ(call(DISPID_Extract), 0) << c.twin;
        auto split = tree(a), twin = tree(b);
        EXPECT_GT(split.size(), 2u);
        // Names outside ASCII may be spelled differently by the two archivers; the rest must match.
        std::size_t compared = 0;
        for (const auto& [name, data] : split) {
            auto it = twin.find(name);
            if (it == twin.end()) continue;
            ++compared;
            EXPECT_TRUE(it->second == data) << c.set << ": " << name;
        }
        EXPECT_GE(compared + 1, split.size()) << c.set;
        EXPECT_EQ(temp_files(), 0u);
    }
}

TEST_F(ServerTest, DamagedSplitSetGivesError241AndLeavesNoTemporaryArchive) {
    const fs::path parts = home.path() / "parts";
    fs::create_directories(parts);
    for (const char* p : {"split_zip_created_by_winrar.z01", "split_zip_created_by_winrar.zip"})
        fs::copy_file(kData / "winrar" / p, parts / p);
    create();
    set(DISPID_AllowErrorReporting, true);
    set(DISPID_ZipFileName, (parts / "split_zip_created_by_winrar.zip").string());
    set(DISPID_ExtractDirectory, (home.path() / "out").string());
    std::vector<Variant> none;
    Variant r;
    com::ExcepInfo excep;
    EXPECT_EQ(control->invoke(DISPID_Extract, com::DISPATCH_METHOD, none, &r, &excep),
              com::DISP_E_EXCEPTION);
    EXPECT_EQ(r.lVal, 241);
    EXPECT_EQ(excep.description, u"Error while reading multi disk archive.");
    EXPECT_EQ(temp_files(), 0u);
    EXPECT_TRUE(tree(home.path() / "out").empty());
}

TEST_F(ServerTest, MissingSpanningLibraryGivesError244) {
    // A server installed without the library beside it.
    const fs::path lonely = home.path() / "lonely" / "CorvexArcvane.so";
    fs::create_directories(lonely.parent_path());
    fs::copy_file(kServer, lonely);
    ASSERT_EQ(com::register_server(lonely), com::S_OK);
    create();
    quiet();
    set(DISPID_ZipFileName, (kData / "winzip" / "WinZip26.nocomp.multi.zip").string());
    set(DISPID_ExtractDirectory, (home.path() / "out").string());
    EXPECT_EQ(call(DISPID_Extract), 244);
    EXPECT_EQ(temp_files(), 0u);
}

std::pair<int, std::string> run_client(const std::string& args) {
    std::string command = std::string(PAVO_CLIENT) + " " + args + " 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    std::string out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = ::pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST_F(ServerTest, ClientRunsOperationsThroughTheRegistryAndExitsWithTheErrorNumber) {
    const fs::path src = home.path() / "src";
    fs::create_directories(src);
    write_file_atomically(src / "one file.txt", "hello");
    const std::string zip = (home.path() / "c.zip").string();

    auto [rc, out] = run_client("Add ZipFileName=" + zip + " SourceDirectory=" + src.string());
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("ProcessStarted\n"), std::string::npos) << out;
    EXPECT_NE(out.find("FileStatus name=\"one file.txt\" size=5"), std::string::npos) << out;

    std::tie(rc, out) = run_client("List ZipFileName=" + zip);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("FileInfo name=\"one file.txt\" size=5 compressed="), std::string::npos)
        << out;
    EXPECT_NE(out.find(" crc=3610A686 "), std::string::npos) << out;  // CRC-32 of "hello"
    EXPECT_NE(out.find(" encrypted=false"), std::string::npos) << out;

    std::tie(rc, out) = run_client("Add ZipFileName=" + zip + " SourceDirectory=" + src.string() +
                                   " FilesToProcess=*.none AllowErrorReporting=false");
    EXPECT_EQ(rc, 212) << out;
    EXPECT_NE(out.find("Error code=212 text=\"Nothing to do\""), std::string::npos) << out;

    std::tie(rc, out) = run_client("Add Recurse=true");
    EXPECT_EQ(rc, 2) << out;
    std::tie(rc, out) = run_client("Add Overwrite=yes");
    EXPECT_EQ(rc, 2) << out;
    std::tie(rc, out) = run_client("Pack");
    EXPECT_EQ(rc, 2) << out;

    ASSERT_EQ(com::unregister_server(kServer), com::S_OK);
    std::tie(rc, out) = run_client("List ZipFileName=" + zip);
    EXPECT_EQ(rc, 3) << out;
    EXPECT_NE(out.find("not registered"), std::string::npos) << out;
}

}  // namespace
}  // namespace pavo::arcvane
