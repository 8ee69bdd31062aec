// The Arcvane control through dispatch identifiers, with scripted engines: properties, validation,
// the current folder, events, abort, the busy guard, error reporting and persisted properties.
#include "archive/component/src/control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "archive/component/arcvane.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "support/temp_home.h"

namespace pavo::arcvane {
namespace {

namespace fs = std::filesystem;
using com::Variant;

// Engines that record their argument lists and run a script against the control's callbacks.
struct FakeEngines {
    std::vector<std::vector<std::string>> pack_calls, unpack_calls;
    std::function<int(const RunCallbacks&)> pack_script = [](const RunCallbacks&) { return 0; };
    std::function<int(const RunCallbacks&)> unpack_script = [](const RunCallbacks&) { return 0; };

    Engines engines() {
        Engines e;
        e.pack = [this](int argc, const char* const* argv, const RunCallbacks& cb) {
            pack_calls.emplace_back(argv, argv + argc);
            return pack_script(cb);
        };
        e.unpack = [this](int argc, const char* const* argv, const RunCallbacks& cb) {
            unpack_calls.emplace_back(argv, argv + argc);
            return unpack_script(cb);
        };
        return e;
    }
};

struct Event {
    DISPID id;
    std::vector<Variant> args;
};

// Records every event; may set pAbort or run a reaction inside a handler.
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
    const com::InterfaceDesc* type_info() override { return &events_desc(); }
    HRESULT get_id_of_name(std::string_view, DISPID*) override { return com::DISP_E_UNKNOWNNAME; }
    HRESULT invoke(DISPID id, std::uint16_t, std::vector<Variant>& args, Variant*,
                   com::ExcepInfo*) override {
        events.push_back({id, args});
        if (id == DISPID_FileStatus && abort_on && abort_on(args))
            *args[6].pboolVal = com::VARIANT_TRUE;
        if (react) react(id);
        return com::S_OK;
    }
    std::vector<DISPID> ids() const {
        std::vector<DISPID> out;
        for (const auto& e : events) out.push_back(e.id);
        return out;
    }
    std::vector<Event> of(DISPID id) const {
        std::vector<Event> out;
        for (const auto& e : events)
            if (e.id == id) out.push_back(e);
        return out;
    }
    std::uint32_t refs = 1;
    std::vector<Event> events;
    std::function<bool(const std::vector<Variant>&)> abort_on;
    std::function<void(DISPID)> react;
};

class ControlTest : public ::testing::Test {
  protected:
    void SetUp() override { ctl = make(fake); }
    void TearDown() override {
        ctl.reset();
        EXPECT_EQ(sink.refs, 1u);  // the control let go of the sink
    }

    com::ComPtr<com::IDispatch> make(FakeEngines& engines) {
        com::ComPtr<com::IDispatch> c;
        EXPECT_EQ(Arcvane::create(engines.engines(), com::IID_IDispatch, c.put()), com::S_OK);
        com::ComPtr<com::IConnectionPointContainer> cpc;
        EXPECT_EQ(c.as(com::IID_IConnectionPointContainer, &cpc), com::S_OK);
        com::ComPtr<com::IConnectionPoint> cp;
        EXPECT_EQ(cpc->find_connection_point(DIID__IArcvaneEvents, cp.out()), com::S_OK);
        std::uint32_t cookie = 0;
        EXPECT_EQ(cp->advise(&sink, &cookie), com::S_OK);
        return c;
    }

    HRESULT put(DISPID id, Variant v, com::IDispatch* target = nullptr) {
        std::vector<Variant> args{std::move(v)};
        return (target ? target : ctl.get())
            ->invoke(id, com::DISPATCH_PROPERTYPUT, args, nullptr, nullptr);
    }
    HRESULT put_text(DISPID id, const std::string& s) { return put(id, Variant::from_utf8(s)); }
    Variant get(DISPID id) {
        std::vector<Variant> none;
        Variant v;
        EXPECT_EQ(ctl->invoke(id, com::DISPATCH_PROPERTYGET, none, &v, nullptr), com::S_OK);
        return v;
    }
    struct CallResult {
        HRESULT hr;
        std::int32_t number;
        com::ExcepInfo excep;
    };
    CallResult call(DISPID id, com::IDispatch* target = nullptr) {
        std::vector<Variant> none;
        Variant v;
        CallResult r{};
        r.hr = (target ? target : ctl.get())->invoke(id, com::DISPATCH_METHOD, none, &v, &r.excep);
        EXPECT_EQ(v.vt, com::VT_I4);
        r.number = v.lVal;
        return r;
    }
    // A control made quiet as the main program makes it.
    void reporting_off() {
        ASSERT_EQ(put(DISPID_AllowErrorReporting, Variant::from_bool(false)), com::S_OK);
    }

    testing::TempHome home;
    FakeEngines fake;
    Sink sink;
    com::ComPtr<com::IDispatch> ctl;
};

TEST_F(ControlTest, NewInstanceHasTheDocumentedDefaults) {
    EXPECT_EQ(get(DISPID_Enabled).boolVal, com::VARIANT_TRUE);
    EXPECT_EQ(get(DISPID_ZipFileName).bstrVal, u"");
    EXPECT_EQ(get(DISPID_SourceDirectory).bstrVal, u"");
    EXPECT_EQ(get(DISPID_ExtractDirectory).bstrVal, u"");
    EXPECT_EQ(get(DISPID_FilesToProcess).bstrVal, u"*");
    EXPECT_EQ(get(DISPID_FilesToExclude).bstrVal, u"");
    EXPECT_EQ(get(DISPID_Password).bstrVal, u"");
    EXPECT_EQ(get(DISPID_CompressionLevel).lVal, 6);
    EXPECT_EQ(get(DISPID_RecurseSubDirectories).boolVal, com::VARIANT_TRUE);
    EXPECT_EQ(get(DISPID_Overwrite).boolVal, com::VARIANT_FALSE);
    EXPECT_EQ(get(DISPID_UseSpecialWildcards).boolVal, com::VARIANT_FALSE);
    EXPECT_EQ(get(DISPID_AllowErrorReporting).boolVal, com::VARIANT_FALSE);
}

TEST_F(ControlTest, PropertiesRoundTripAndCompressionLevelIgnoresValuesOutOf0To9) {
    const std::u16string wide = u"c:\\Sicherung\\K\u00e4se \u20ac \U0001F600.zip";
    ASSERT_EQ(put(DISPID_ZipFileName, Variant::from_text(wide)), com::S_OK);
    EXPECT_EQ(get(DISPID_ZipFileName).bstrVal, wide);
    ASSERT_EQ(put(DISPID_Overwrite, Variant::from_bool(true)), com::S_OK);
    EXPECT_EQ(get(DISPID_Overwrite).boolVal, com::VARIANT_TRUE);
    // Automation callers may pass -1 as a 32-bit integer for true.
    ASSERT_EQ(put(DISPID_UseSpecialWildcards, Variant::from_i4(-1)), com::S_OK);
    EXPECT_EQ(get(DISPID_UseSpecialWildcards).boolVal, com::VARIANT_TRUE);

    struct Step {
        std::int32_t put, expect;
    } steps[] = {{3, 3}, {12, 3}, {-1, 3}, {10, 3}, {0, 0}, {9, 9}};
    for (auto s : steps) {
        EXPECT_EQ(put(DISPID_CompressionLevel, Variant::from_i4(s.put)), com::S_OK);
        EXPECT_EQ(get(DISPID_CompressionLevel).lVal, s.expect) << "after " << s.put;
    }
}

TEST_F(ControlTest, DispatchRejectsUnknownMembersWrongKindsAndTypes) {
    std::vector<Variant> none;
    Variant v;
    EXPECT_EQ(ctl->invoke(4242, com::DISPATCH_PROPERTYGET, none, &v, nullptr),
              com::DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(ctl->invoke(DISPID_Add, com::DISPATCH_PROPERTYGET, none, &v, nullptr),
              com::DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(ctl->invoke(DISPID_ZipFileName, com::DISPATCH_METHOD, none, &v, nullptr),
              com::DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(put(DISPID_Overwrite, Variant::from_utf8("maybe")), com::DISP_E_TYPEMISMATCH);
    EXPECT_EQ(get(DISPID_Overwrite).boolVal, com::VARIANT_FALSE);
    std::vector<Variant> two{Variant::from_i4(1), Variant::from_i4(2)};
    EXPECT_EQ(
        ctl->invoke(DISPID_CompressionLevel, com::DISPATCH_PROPERTYPUT, two, nullptr, nullptr),
        com::DISP_E_BADPARAMCOUNT);
    DISPID id = 0;
    EXPECT_EQ(ctl->get_id_of_name("zipfilename", &id), com::S_OK);
    EXPECT_EQ(id, DISPID_ZipFileName);
    EXPECT_EQ(ctl->get_id_of_name("UseSpecialWildcards", &id), com::S_OK);
    EXPECT_EQ(id, 1033);
    EXPECT_EQ(ctl->get_id_of_name("Nope", &id), com::DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(fake.pack_calls.empty());
}

TEST_F(ControlTest, ErrorReportingIsOnUntilThePropertyIsFirstWritten) {
    // A new instance reads false but reports failures as automation errors.
    CallResult r = call(DISPID_Add);
    EXPECT_EQ(r.number, 218);
    EXPECT_EQ(r.hr, com::DISP_E_EXCEPTION);
    EXPECT_EQ(r.excep.scode, com::MAKE_HRESULT(com::SEVERITY_ERROR, com::FACILITY_ITF, 218));
    EXPECT_EQ(r.excep.description, u"ZIP file not specified or invalid");
    EXPECT_EQ(r.excep.source, u"CorvexArcvane.Arcvane.5");
    com::ErrorInfo info;
    ASSERT_EQ(com::get_error_info(&info), com::S_OK);
    EXPECT_EQ(info.iid, IID_IArcvane2);

    // The typed interface hands back the failure code itself.
    com::ComPtr<IArcvane2> typed;
    ASSERT_EQ(ctl.as(IID_IArcvane2, &typed), com::S_OK);
    std::int32_t number = 0;
    EXPECT_EQ(typed->Extract(&number), com::MAKE_HRESULT(1, com::FACILITY_ITF, 239));
    EXPECT_EQ(number, 239);

    reporting_off();
    com::set_error_info(nullptr);
    r = call(DISPID_Add);
    EXPECT_EQ(r.hr, com::S_OK);
    EXPECT_EQ(r.number, 218);
    EXPECT_EQ(com::get_error_info(&info), com::S_FALSE);

    ASSERT_EQ(put(DISPID_AllowErrorReporting, Variant::from_bool(true)), com::S_OK);
    EXPECT_EQ(get(DISPID_AllowErrorReporting).boolVal, com::VARIANT_TRUE);
    EXPECT_EQ(call(DISPID_Add).hr, com::DISP_E_EXCEPTION);
    // Every failure was also raised as an Error event, with its number and text.
    auto errors = sink.of(DISPID_Error);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[1].args[0].lVal, 239);
    EXPECT_EQ(errors[1].args[1].bstrVal, u"ZIP file not specified or it does not exist");
}

TEST_F(ControlTest, ArchiveNameAndFoldersAreValidatedBeforeAnyEngineRuns) {
    reporting_off();
    fs::path data = home.path() / "data";
    fs::create_directories(data / "src");
    write_file_atomically(data / "have.zip", "x");
    const std::string d = data.string();
    struct Case {
        DISPID method;
        std::string zip, source;
        std::int32_t number;
    } cases[] = {
        {DISPID_Add, "", "", 218},
        {DISPID_Delete, "", "", 218},
        {DISPID_Extract, "", "", 239},
        {DISPID_List, "", "", 239},
        {DISPID_Add, "c:\\backup\\", "", 218},
        {DISPID_Extract, d + "/", "", 239},
        {DISPID_Add, d + "/a*.zip", "", 218},
        {DISPID_Add, d + "/a|b.zip", "", 218},
        {DISPID_Extract, d + "/what?.zip", "", 239},
        {DISPID_Add, "c:\\no\\such\\folder\\a.zip", "", 221},
        {DISPID_Delete, d + "/nofolder/a.zip", "", 221},
        {DISPID_Extract, d + "/missing.zip", "", 239},
        {DISPID_List, d + "/src", "", 239},  // a folder is not an archive
        {DISPID_Add, d + "/new.zip", d + "/nosource", 219},
        {DISPID_Add, d + "/new.zip", "c:\\not\\there\\", 219},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(put_text(DISPID_ZipFileName, c.zip), com::S_OK);
        ASSERT_EQ(put_text(DISPID_SourceDirectory, c.source), com::S_OK);
        sink.events.clear();
        EXPECT_EQ(call(c.method).number, c.number) << c.zip << " / " << c.source;
        // No run was started: only the Error event.
        EXPECT_EQ(sink.ids(), std::vector<DISPID>{DISPID_Error}) << c.zip;
    }
    EXPECT_TRUE(fake.pack_calls.empty());
    EXPECT_TRUE(fake.unpack_calls.empty());
}

TEST_F(ControlTest, PackingRunsInTheSourceFolderAndRestoresTheCurrentFolder) {
    reporting_off();
    fs::path src = home.path() / "src";
    fs::create_directories(src);
    const fs::path before = fs::current_path();
    fs::path seen;
    fake.pack_script = [&](const RunCallbacks&) {
        seen = fs::current_path();
        return 12;
    };
    ASSERT_EQ(put_text(DISPID_SourceDirectory, src.string()), com::S_OK);
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "out.zip").string()), com::S_OK);
    EXPECT_EQ(call(DISPID_Add).number, 212);
    EXPECT_EQ(fs::canonical(seen), fs::canonical(src));
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(sink.ids(),
              (std::vector<DISPID>{DISPID_ProcessStarted, DISPID_ProcessEnded, DISPID_Error}));
    EXPECT_EQ(sink.events.back().args[1].bstrVal, u"Nothing to do");

    // The engine receives the split list: program path, options, the archive name without quotes.
    ASSERT_EQ(fake.pack_calls.size(), 1u);
    const auto& argv = fake.pack_calls[0];
    EXPECT_EQ(argv[0], server_path().string());
    // Host paths reach the engine in their logical form.
    const std::string logical = DriveMap::current().to_logical(home.path() / "out.zip");
    EXPECT_EQ(std::vector<std::string>(argv.begin() + 1, argv.end()),
              (std::vector<std::string>{"-r", "-6", "-q", "-t", "01011900", "-tt", "12319999", "-S",
                                        logical, "*", "-i", "*"}));
}

TEST_F(ControlTest, FileStatusClampsPercentagesAndMarksCompletedFiles) {
    reporting_off();
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "out.zip").string()), com::S_OK);
    fake.pack_script = [](const RunCallbacks& cb) {
        cb.progress({"a.txt", 10, 4, 150, -5, false});
        cb.progress({"b.txt", 0x90000000ull, 3, 50, 50, true});
        cb.progress({"c.txt", 7, 7, 40, 60, false});
        return 0;
    };
    EXPECT_EQ(call(DISPID_Add).number, 0);
    auto status = sink.of(DISPID_FileStatus);
    ASSERT_EQ(status.size(), 3u);
    struct Expect {
        const char16_t* name;
        double file, total;
        VARIANT_BOOL completed;
    } expect[] = {{u"a.txt", 100, 0, com::VARIANT_TRUE},
                  {u"b.txt", 50, 50, com::VARIANT_TRUE},
                  {u"c.txt", 40, 60, com::VARIANT_FALSE}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& a = status[i].args;
        ASSERT_EQ(a.size(), 7u);
        EXPECT_EQ(a[0].bstrVal, expect[i].name);
        EXPECT_EQ(a[3].vt, com::VT_R8);
        EXPECT_EQ(a[3].dblVal, expect[i].file);
        EXPECT_EQ(a[4].dblVal, expect[i].total);
        EXPECT_EQ(a[5].boolVal, expect[i].completed);
        EXPECT_EQ(a[6].vt, com::VT_BOOL | com::VT_BYREF);
    }
    // Sizes travel as 32-bit integers with their bits kept.
    EXPECT_EQ(static_cast<std::uint32_t>(status[1].args[1].lVal), 0x90000000u);
    EXPECT_TRUE(sink.of(DISPID_Error).empty());
}

TEST_F(ControlTest, AbortThroughFileStatusStopsTheRunWithoutAnError) {
    reporting_off();
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "out.zip").string()), com::S_OK);
    write_file_atomically(home.path() / "in.zip", "PK");
    int files_done = 0;
    auto script = [&](int abort_result) {
        return [&, abort_result](const RunCallbacks& cb) {
            files_done = 0;
            for (const char* name : {"one", "two", "three"}) {
                cb.progress({name, 1, 1, 50, 0, false});
                if (cb.abort_requested()) return abort_result;
                ++files_done;
            }
            return 0;
        };
    };
    sink.abort_on = [](const std::vector<Variant>& a) {
        EXPECT_EQ(*a[6].pboolVal, com::VARIANT_FALSE);  // starts false on every call
        return a[0].bstrVal == u"two";
    };
    fake.pack_script = script(9);
    EXPECT_EQ(call(DISPID_Add).number, 0);
    EXPECT_EQ(files_done, 1);
    fake.unpack_script = script(80);
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "in.zip").string()), com::S_OK);
    EXPECT_EQ(call(DISPID_Extract).number, 0);
    EXPECT_EQ(files_done, 1);
    EXPECT_TRUE(sink.of(DISPID_Error).empty());

    // The flag does not stick to the next run.
    sink.abort_on = nullptr;
    EXPECT_EQ(call(DISPID_Extract).number, 0);
    EXPECT_EQ(files_done, 3);
}

TEST_F(ControlTest, CallsFromInsideEventHandlersDoNothingAndReturnZero) {
    reporting_off();
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "out.zip").string()), com::S_OK);
    FakeEngines other_engines;
    com::ComPtr<com::IDispatch> other;
    ASSERT_EQ(Arcvane::create(other_engines.engines(), com::IID_IDispatch, other.put()), com::S_OK);
    ASSERT_EQ(
        put(DISPID_ZipFileName, Variant::from_utf8((home.path() / "o.zip").string()), other.get()),
        com::S_OK);
    fake.pack_script = [](const RunCallbacks& cb) {
        cb.progress({"a", 1, 1, 100, 100, true});
        return 0;
    };
    std::vector<CallResult> nested;
    int stage = 0;
    sink.react = [&](DISPID id) {
        if (id == DISPID_ProcessStarted && stage == 0) {
            stage = 1;
            nested.push_back(call(DISPID_Add));
            nested.push_back(call(DISPID_Extract));
            nested.push_back(call(DISPID_Add, other.get()));  // the engines are busy process-wide
        } else if (id == DISPID_FileStatus && stage == 1) {
            stage = 2;
            nested.push_back(call(DISPID_Delete));
        }
    };
    EXPECT_EQ(call(DISPID_Add).number, 0);
    ASSERT_EQ(nested.size(), 4u);
    for (const auto& r : nested) {
        EXPECT_EQ(r.hr, com::S_OK);
        EXPECT_EQ(r.number, 0);
    }
    EXPECT_EQ(fake.pack_calls.size(), 1u);
    EXPECT_TRUE(fake.unpack_calls.empty());
    EXPECT_TRUE(other_engines.pack_calls.empty());
    sink.react = nullptr;
    // Once the run is over, the control takes calls again.
    EXPECT_EQ(call(DISPID_Add, other.get()).number, 0);
    EXPECT_EQ(other_engines.pack_calls.size(), 1u);
}

TEST_F(ControlTest, HostMayReleaseTheControlFromInsideAnEventHandler) {
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "out.zip").string()), com::S_OK);
    fake.pack_script = [](const RunCallbacks&) { return 12; };
    sink.react = [&](DISPID id) {
        if (id == DISPID_Error) ctl.reset();  // the host's only reference
    };
    com::ComPtr<IArcvane2> typed;
    ASSERT_EQ(ctl.as(IID_IArcvane2, &typed), com::S_OK);
    IArcvane2* raw = typed.get();
    typed.reset();
    std::int32_t number = 0;
    EXPECT_EQ(raw->Add(&number), com::MAKE_HRESULT(1, com::FACILITY_ITF, 212));
    EXPECT_EQ(number, 212);
    EXPECT_FALSE(ctl);
    sink.react = nullptr;
}

TEST_F(ControlTest, ListReportsEveryMemberAsFileInfo) {
    reporting_off();
    write_file_atomically(home.path() / "in.zip", "PK");
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "in.zip").string()), com::S_OK);
    fake.unpack_script = [](const RunCallbacks& cb) {
        cb.member({"dir/a.txt", "note", 200, 50, 75, 0xCAFEBABEu, 86400 * 2 + 43200, true});
        cb.member({"empty", "", 0, 0, 100, 0, 0, false});
        return 0;
    };
    EXPECT_EQ(call(DISPID_List).number, 0);
    ASSERT_EQ(fake.unpack_calls.size(), 1u);
    EXPECT_EQ(fake.unpack_calls[0][1], "-Z");
    auto info = sink.of(DISPID_FileInfo);
    ASSERT_EQ(info.size(), 2u);
    const auto& a = info[0].args;
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[0].bstrVal, u"dir/a.txt");
    EXPECT_EQ(a[1].bstrVal, u"note");
    EXPECT_EQ(a[2].lVal, 200);
    EXPECT_EQ(a[3].lVal, 50);
    EXPECT_EQ(a[4].lVal, 75);
    EXPECT_EQ(static_cast<std::uint32_t>(a[5].lVal), 0xCAFEBABEu);
    EXPECT_EQ(a[6].vt, com::VT_DATE);
    EXPECT_DOUBLE_EQ(a[6].dblVal, 25569.0 + 2.5);  // 3 Jan 1970, noon
    EXPECT_EQ(a[7].boolVal, com::VARIANT_TRUE);
    EXPECT_EQ(info[1].args[1].bstrVal, u"");
    EXPECT_EQ(info[1].args[7].boolVal, com::VARIANT_FALSE);
}

TEST_F(ControlTest, EngineResultsBecomeErrorNumbersAndAMissingTextIsUnknownError) {
    write_file_atomically(home.path() / "in.zip", "PK");
    ASSERT_EQ(put_text(DISPID_ZipFileName, (home.path() / "in.zip").string()), com::S_OK);
    struct Case {
        int result;
        std::int32_t number;
    } cases[] = {{1, 0}, {11, 233}, {82, 238}, {101, 240}, {77, 222}};
    for (auto c : cases) {
        fake.unpack_script = [&](const RunCallbacks&) { return c.result; };
        sink.events.clear();
        CallResult r = call(DISPID_Extract);
        EXPECT_EQ(r.number, c.number) << c.result;
        auto errors = sink.of(DISPID_Error);
        if (c.number == 0) {
            EXPECT_EQ(r.hr, com::S_OK);
            EXPECT_TRUE(errors.empty());
            continue;
        }
        EXPECT_EQ(r.hr, com::DISP_E_EXCEPTION);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].args[0].lVal, c.number);
        const char* text = error_text(c.number);
        EXPECT_EQ(errors[0].args[1].bstrVal, com::from_utf8(text ? text : ""));
        EXPECT_EQ(r.excep.description, com::from_utf8(text ? text : "Unknown Error"));
    }
}

// The stream the main window keeps for its control: the design values with error reporting off.
const unsigned char kDesignStream[] = {
    0x00, 0x03, 0x00, 0x00,                                      // version 0x0300
    0x4F, 0x03, 0x00, 0x00,                                      // width 847
    0x4F, 0x03, 0x00, 0x00,                                      // height 847
    0x0B, 0x00, 0xFF, 0xFF,                                      // Enabled true
    0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,              // ZipFileName ""
    0x08, 0x00, 0x04, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00,  // FilesToProcess "*"
    0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,              // FilesToExclude ""
    0x0B, 0x00, 0x00, 0x00,                                      // AllowErrorReporting false
    0x0B, 0x00, 0xFF, 0xFF,                                      // RecurseSubDirectories true
    0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,              // Password ""
    0x03, 0x00, 0x06, 0x00, 0x00, 0x00,                          // CompressionLevel 6
    0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,              // ExtractDirectory ""
    0x0B, 0x00, 0x00, 0x00,                                      // Overwrite false
    0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,              // SourceDirectory ""
};

std::string design_stream() {
    return std::string(reinterpret_cast<const char*>(kDesignStream), sizeof kDesignStream);
}

TEST_F(ControlTest, PersistedStreamOfTheMainWindowDesignIsByteExact) {
    com::ComPtr<com::IPersistStreamInit> persist;
    ASSERT_EQ(ctl.as(com::IID_IPersistStreamInit, &persist), com::S_OK);
    reporting_off();
    com::MemoryStream out;
    ASSERT_EQ(persist->save(&out, true), com::S_OK);
    EXPECT_EQ(out.bytes(), design_stream());
    EXPECT_EQ(persist->is_dirty(), com::S_FALSE);
    std::uint64_t max = 0;
    ASSERT_EQ(persist->get_size_max(&max), com::S_OK);
    EXPECT_EQ(max, sizeof kDesignStream);

    // Loading the design into a fresh control switches its error reporting off.
    FakeEngines engines;
    com::ComPtr<com::IDispatch> fresh = make(engines);
    com::ComPtr<com::IPersistStreamInit> fresh_persist;
    ASSERT_EQ(fresh.as(com::IID_IPersistStreamInit, &fresh_persist), com::S_OK);
    com::MemoryStream in(design_stream());
    ASSERT_EQ(fresh_persist->load(&in), com::S_OK);
    EXPECT_EQ(call(DISPID_Add, fresh.get()).hr, com::S_OK);
}

TEST_F(ControlTest, PersistedStreamRoundTripsEveryStoredProperty) {
    ASSERT_EQ(put(DISPID_Enabled, Variant::from_bool(false)), com::S_OK);
    ASSERT_EQ(put(DISPID_ZipFileName, Variant::from_text(u"c:\\z\\\u00e9t\u00e9 \U0001F600.zip")),
              com::S_OK);
    ASSERT_EQ(put_text(DISPID_FilesToProcess, "*.txt|*.doc"), com::S_OK);
    ASSERT_EQ(put_text(DISPID_FilesToExclude, "*.bak"), com::S_OK);
    ASSERT_EQ(put(DISPID_AllowErrorReporting, Variant::from_bool(true)), com::S_OK);
    ASSERT_EQ(put(DISPID_RecurseSubDirectories, Variant::from_bool(false)), com::S_OK);
    ASSERT_EQ(put_text(DISPID_Password, "pw"), com::S_OK);
    ASSERT_EQ(put(DISPID_CompressionLevel, Variant::from_i4(2)), com::S_OK);
    ASSERT_EQ(put_text(DISPID_ExtractDirectory, "c:\\temp02\\restored"), com::S_OK);
    ASSERT_EQ(put(DISPID_Overwrite, Variant::from_bool(true)), com::S_OK);
    ASSERT_EQ(put_text(DISPID_SourceDirectory, "c:\\mydata\\"), com::S_OK);
    ASSERT_EQ(put(DISPID_UseSpecialWildcards, Variant::from_bool(true)), com::S_OK);
    com::ComPtr<com::IOleObject> ole;
    ASSERT_EQ(ctl.as(com::IID_IOleObject, &ole), com::S_OK);
    ASSERT_EQ(ole->set_extent(1000, 2000), com::S_OK);

    com::ComPtr<com::IPersistStreamInit> persist;
    ASSERT_EQ(ctl.as(com::IID_IPersistStreamInit, &persist), com::S_OK);
    EXPECT_EQ(persist->is_dirty(), com::S_OK);
    com::MemoryStream out;
    ASSERT_EQ(persist->save(&out, false), com::S_OK);

    com::ComPtr<IArcvane2> copy;
    ASSERT_EQ(Arcvane::create(fake.engines(), IID_IArcvane2, copy.put()), com::S_OK);
    com::ComPtr<com::IPersistStreamInit> copy_persist;
    ASSERT_EQ(copy.as(com::IID_IPersistStreamInit, &copy_persist), com::S_OK);
    com::MemoryStream in(out.bytes());
    ASSERT_EQ(copy_persist->load(&in), com::S_OK);
    const Settings& a = static_cast<Arcvane*>(copy.get())->settings();
    com::ComPtr<IArcvane2> original;
    ASSERT_EQ(ctl.as(IID_IArcvane2, &original), com::S_OK);
    const Settings& b = static_cast<Arcvane*>(original.get())->settings();
    EXPECT_EQ(a.enabled, b.enabled);
    EXPECT_EQ(a.zip_file_name, b.zip_file_name);
    EXPECT_EQ(a.files_to_process, b.files_to_process);
    EXPECT_EQ(a.files_to_exclude, b.files_to_exclude);
    EXPECT_EQ(a.allow_error_reporting, b.allow_error_reporting);
    EXPECT_EQ(a.error_reporting, b.error_reporting);
    EXPECT_EQ(a.recurse_subdirectories, b.recurse_subdirectories);
    EXPECT_EQ(a.password, b.password);
    EXPECT_EQ(a.compression_level, b.compression_level);
    EXPECT_EQ(a.extract_directory, b.extract_directory);
    EXPECT_EQ(a.overwrite, b.overwrite);
    EXPECT_EQ(a.source_directory, b.source_directory);
    EXPECT_FALSE(a.use_special_wildcards);  // not part of the stream
    com::ComPtr<com::IOleObject> copy_ole;
    ASSERT_EQ(copy.as(com::IID_IOleObject, &copy_ole), com::S_OK);
    std::int32_t w = 0, h = 0;
    ASSERT_EQ(copy_ole->get_extent(&w, &h), com::S_OK);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 2000);
}

TEST_F(ControlTest, DamagedStreamsChangeNothing) {
    ASSERT_EQ(put_text(DISPID_ZipFileName, "keep.zip"), com::S_OK);
    com::ComPtr<com::IPersistStreamInit> persist;
    ASSERT_EQ(ctl.as(com::IID_IPersistStreamInit, &persist), com::S_OK);
    const std::string good = design_stream();
    std::vector<std::string> bad;
    for (std::size_t n = 0; n < good.size(); ++n)
        bad.push_back(good.substr(0, n));  // every truncation
    std::string version = good;
    version[1] = 0x04;
    bad.push_back(version);
    std::string type = good;
    type[12] = 0x03;  // Enabled written as an integer
    bad.push_back(type);
    std::string odd = good;
    odd[18] = 0x03;  // an odd byte count for ZipFileName
    bad.push_back(odd);
    std::string no_terminator = good;
    no_terminator[32] = 'x';  // FilesToProcess' terminator replaced
    bad.push_back(no_terminator);
    std::string huge = good;
    huge[18] = '\xFE';
    huge[19] = huge[20] = '\xFF';  // an even count far past the end
    bad.push_back(huge);
    for (const auto& b : bad) {
        com::MemoryStream in(b);
        EXPECT_TRUE(com::FAILED(persist->load(&in))) << "length " << b.size();
        EXPECT_EQ(get(DISPID_ZipFileName).bstrVal, u"keep.zip");
        EXPECT_EQ(get(DISPID_AllowErrorReporting).boolVal, com::VARIANT_FALSE);
    }
    // Reporting is still on: nothing of the damaged design took effect.
    ASSERT_EQ(put_text(DISPID_ZipFileName, ""), com::S_OK);
    EXPECT_EQ(call(DISPID_Add).hr, com::DISP_E_EXCEPTION);
}

TEST(ControlLife, ObjectsKeepTheServerCountedUntilReleased) {
    long before = module_count().value();
    FakeEngines fake;
    com::ComPtr<com::IUnknown> unk;
    ASSERT_EQ(Arcvane::create(fake.engines(), com::IID_IUnknown, unk.put()), com::S_OK);
    EXPECT_EQ(module_count().value(), before + 1);
    com::ComPtr<com::ISupportErrorInfo> sei;
    ASSERT_EQ(unk.as(com::IID_ISupportErrorInfo, &sei), com::S_OK);
    EXPECT_EQ(sei->interface_supports_error_info(IID_IArcvane2), com::S_OK);
    EXPECT_EQ(sei->interface_supports_error_info(com::IID_IDispatch), com::S_FALSE);
    com::ComPtr<com::IUnknown> none;
    EXPECT_EQ(unk.as(com::IID_IClassFactory, &none), com::E_NOINTERFACE);
    unk.reset();
    sei.reset();
    EXPECT_EQ(module_count().value(), before);
}

}  // namespace
}  // namespace pavo::arcvane
