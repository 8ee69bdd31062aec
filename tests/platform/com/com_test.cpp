// Object model: GUID texts, variant conversions, UTF-16 text, connection points, error information.
#include "platform/com/com.h"

#include <gtest/gtest.h>

namespace pavo::com {
namespace {

TEST(Guid, TextRoundTripsAndRejectsMalformedForms) {
    const std::string text = "{FFC3BFAE-12DC-4FF8-A56B-1651DF15D9A8}";
    auto g = parse_guid(text);
    ASSERT_TRUE(g);
    EXPECT_EQ(to_string(*g), text);
    // Lower-case hex is the same identifier.
    auto lower = parse_guid("{ffc3bfae-12dc-4ff8-a56b-1651df15d9a8}");
    ASSERT_TRUE(lower);
    EXPECT_EQ(*lower, *g);
    for (const char* bad :
         {"FFC3BFAE-12DC-4FF8-A56B-1651DF15D9A8", "{FFC3BFAE-12DC-4FF8-A56B-1651DF15D9A}",
          "{FFC3BFAE-12DC-4FF8-A56B-1651DF15D9AZ}", "{FFC3BFAE 12DC-4FF8-A56B-1651DF15D9A8}", ""})
        EXPECT_FALSE(parse_guid(bad)) << bad;
    EXPECT_EQ(to_string(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
}

TEST(ResultCodes, MakeHresultComposesSeverityFacilityAndCode) {
    HRESULT hr = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 212);
    EXPECT_EQ(static_cast<std::uint32_t>(hr), 0x800400D4u);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_CODE(hr), 212u);
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_ITF);
    EXPECT_EQ(hresult_text(E_NOTIMPL), "0x80004001");
}

TEST(Variant, ChangeTypeFollowsAutomationRules) {
    struct Case {
        Variant in;
        std::uint16_t to;
        HRESULT hr;
        std::int32_t i4;  // expected lVal / boolVal
    };
    const Case cases[] = {
        {Variant::from_bool(true), VT_I4, S_OK, -1},
        {Variant::from_i4(5), VT_BOOL, S_OK, VARIANT_TRUE},
        {Variant::from_i4(0), VT_BOOL, S_OK, VARIANT_FALSE},
        {Variant::from_utf8("true"), VT_BOOL, S_OK, VARIANT_TRUE},
        {Variant::from_utf8(" FALSE "), VT_BOOL, S_OK, VARIANT_FALSE},
        {Variant::from_utf8("-1"), VT_BOOL, S_OK, VARIANT_TRUE},
        {Variant::from_utf8("12"), VT_I4, S_OK, 12},
        {Variant::from_double(2.5), VT_I4, S_OK, 2},  // banker's rounding, as automation does
        {Variant::from_double(3.5), VT_I4, S_OK, 4},
        {Variant::from_utf8("12x"), VT_I4, DISP_E_TYPEMISMATCH, 0},
        {Variant::from_utf8(""), VT_BOOL, DISP_E_TYPEMISMATCH, 0},
        {Variant::from_double(1e12), VT_I4, DISP_E_TYPEMISMATCH, 0},
        {Variant{}, VT_I4, DISP_E_TYPEMISMATCH, 0},
    };
    for (const auto& c : cases) {
        Variant out;
        HRESULT hr = change_type(c.in, c.to, &out);
        EXPECT_EQ(hr, c.hr) << "from vt " << c.in.vt << " to " << c.to;
        if (hr != S_OK) continue;
        EXPECT_EQ(out.vt, c.to);
        EXPECT_EQ(c.to == VT_BOOL ? out.boolVal : out.lVal, c.i4);
    }
    Variant text;
    ASSERT_EQ(change_type(Variant::from_bool(false), VT_BSTR, &text), S_OK);
    EXPECT_EQ(text.bstrVal, u"False");
    ASSERT_EQ(change_type(Variant::from_i4(-7), VT_BSTR, &text), S_OK);
    EXPECT_EQ(text.bstrVal, u"-7");
}

TEST(Text, Utf16AndUtf8ConvertWithoutLossAndReplaceBrokenInput) {
    const std::u16string wide = u"K\u00e4se \u20ac \U0001F600 c:\\mydata";
    EXPECT_EQ(from_utf8(to_utf8(wide)), wide);
    EXPECT_EQ(to_utf8(u"\u00e4"), "\xc3\xa4");
    // An unpaired surrogate and broken UTF-8 become U+FFFD instead of corrupting what follows.
    EXPECT_EQ(to_utf8(std::u16string(1, char16_t(0xD800)) + u"a"),
              "\xef\xbf\xbd"
              "a");
    EXPECT_EQ(from_utf8("a\xc3"), u"a\uFFFD");
    EXPECT_EQ(from_utf8("\xc0\xaf"), u"\uFFFD\uFFFD");            // overlong "/"
    EXPECT_EQ(from_utf8("\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(MemoryStream, ShortReadsAreReported) {
    MemoryStream s(std::string("abc"));
    char buf[4] = {};
    std::uint32_t got = 0;
    EXPECT_EQ(s.read(buf, 2, &got), S_OK);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(s.read(buf, 4, &got), S_FALSE);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(buf[0], 'c');
}

TEST(ErrorInfo, GetTakesTheInformationAway) {
    ErrorInfo in{IID_IDispatch, u"Src", u"Text"};
    set_error_info(&in);
    ErrorInfo out;
    ASSERT_EQ(get_error_info(&out), S_OK);
    EXPECT_EQ(out.description, u"Text");
    EXPECT_EQ(out.iid, IID_IDispatch);
    EXPECT_EQ(get_error_info(&out), S_FALSE);
}

// A sink recording the events it hears; it may set a by-reference flag or unadvise a connection.
class Sink final : public IDispatch {
  public:
    HRESULT query_interface(const Guid& iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            add_ref();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t add_ref() override { return ++refs; }
    std::uint32_t release() override { return --refs; }
    const InterfaceDesc* type_info() override { return nullptr; }
    HRESULT get_id_of_name(std::string_view, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args, Variant*,
                   ExcepInfo*) override {
        heard.push_back(id);
        EXPECT_EQ(flags, DISPATCH_METHOD);
        if (!args.empty() && args[0].vt == (VT_BOOL | VT_BYREF)) {
            seen_flag = *args[0].pboolVal;
            if (set_flag) *args[0].pboolVal = VARIANT_TRUE;
        }
        if (on_event) on_event();
        return S_OK;
    }
    std::uint32_t refs = 1;
    std::vector<DISPID> heard;
    bool set_flag = false;
    VARIANT_BOOL seen_flag = 0;
    std::function<void()> on_event;
};

class Owner final : public IUnknown {
  public:
    HRESULT query_interface(const Guid&, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t add_ref() override { return ++refs; }
    std::uint32_t release() override { return --refs; }
    std::uint32_t refs = 1;
};

TEST(ConnectionPoint, DeliversToEverySinkInTurnAndHonoursUnadvise) {
    const Guid events = guid("{F9F0FF7B-228C-43D1-9E91-131F6FAC3AC5}");
    Owner owner;
    Sink a, b, c;
    {
        ConnectionPoint cp(&owner, events);
        std::uint32_t ca = 0, cb = 0, cc = 0;
        ASSERT_EQ(cp.advise(&a, &ca), S_OK);
        ASSERT_EQ(cp.advise(&b, &cb), S_OK);
        ASSERT_EQ(cp.advise(&c, &cc), S_OK);
        EXPECT_EQ(a.refs, 2u);  // the point holds each sink

        // A flag written by one sink is what the sinks after it see.
        a.set_flag = true;
        VARIANT_BOOL flag = VARIANT_FALSE;
        std::vector<Variant> args{Variant::bool_ref(&flag)};
        cp.fire(22, args);
        EXPECT_EQ(flag, VARIANT_TRUE);
        EXPECT_EQ(b.seen_flag, VARIANT_TRUE);

        // A handler that unadvises a later sink keeps that sink from hearing the same event.
        a.on_event = [&] { cp.unadvise(cc); };
        std::vector<Variant> none;
        cp.fire(1, none);
        EXPECT_EQ(a.heard, (std::vector<DISPID>{22, 1}));
        EXPECT_EQ(c.heard, (std::vector<DISPID>{22}));
        EXPECT_EQ(c.refs, 1u);
        a.on_event = nullptr;

        EXPECT_EQ(cp.unadvise(cc), CONNECT_E_NOCONNECTION);
        Guid iid;
        ASSERT_EQ(cp.get_connection_interface(&iid), S_OK);
        EXPECT_EQ(iid, events);
    }
    // Going away releases the sinks still connected.
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(b.refs, 1u);
}

}  // namespace
}  // namespace pavo::com
