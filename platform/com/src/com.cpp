// GUIDs, result texts, variants and their conversions, streams, error information and connection
// points.
#include "platform/com/com.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace pavo::com {

// ---- GUIDs
// ----------------------------------------------------------------------------------------

bool operator==(const Guid& a, const Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, 8) == 0;
}

bool operator<(const Guid& a, const Guid& b) {
    return to_string(a) < to_string(b);
}

std::string to_string(const Guid& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                  g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return buf;
}

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool read_hex(std::string_view s, std::size_t pos, std::size_t digits, std::uint64_t* out) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        int h = hex_value(s[pos + i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<unsigned>(h);
    }
    *out = v;
    return true;
}

}  // namespace

std::optional<Guid> parse_guid(std::string_view s) {
    // {8-4-4-4-12}
    if (s.size() != 38 || s.front() != '{' || s.back() != '}' || s[9] != '-' || s[14] != '-' ||
        s[19] != '-' || s[24] != '-')
        return std::nullopt;
    Guid g;
    std::uint64_t v;
    if (!read_hex(s, 1, 8, &v)) return std::nullopt;
    g.data1 = static_cast<std::uint32_t>(v);
    if (!read_hex(s, 10, 4, &v)) return std::nullopt;
    g.data2 = static_cast<std::uint16_t>(v);
    if (!read_hex(s, 15, 4, &v)) return std::nullopt;
    g.data3 = static_cast<std::uint16_t>(v);
    static constexpr std::size_t kPos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!read_hex(s, kPos[i], 2, &v)) return std::nullopt;
        g.data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

Guid guid(std::string_view literal) {
    auto g = parse_guid(literal);
    if (!g) std::abort();
    return *g;
}

const Guid IID_NULL{};
const Guid IID_IUnknown = guid("{00000000-0000-0000-C000-000000000046}");
const Guid IID_IDispatch = guid("{00020400-0000-0000-C000-000000000046}");
const Guid IID_IClassFactory = guid("{00000001-0000-0000-C000-000000000046}");
const Guid IID_IConnectionPointContainer = guid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
const Guid IID_IConnectionPoint = guid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
const Guid IID_IPersistStreamInit = guid("{7FD52380-4E07-101B-AE2D-08002B2EC713}");
const Guid IID_ISupportErrorInfo = guid("{DF0B3D60-548F-101B-8E65-08002B2BD119}");
const Guid IID_IOleObject = guid("{00000112-0000-0000-C000-000000000046}");

std::string hresult_text(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

// ---- Text
// -----------------------------------------------------------------------------------------

std::string to_utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string from_utf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        std::uint32_t c = 0;
        std::size_t len = 0;
        if (b < 0x80) {
            c = b;
            len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            len = 4;
        }
        bool ok = len > 0 && i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (cb & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not text.
        static constexpr std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += len;
    }
    return out;
}

// ---- Variants
// -------------------------------------------------------------------------------------

Variant Variant::from_bool(bool b) {
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::from_i4(std::int32_t x) {
    Variant v;
    v.vt = VT_I4;
    v.lVal = x;
    return v;
}

Variant Variant::from_double(double x) {
    Variant v;
    v.vt = VT_R8;
    v.dblVal = x;
    return v;
}

Variant Variant::from_date(double days) {
    Variant v;
    v.vt = VT_DATE;
    v.dblVal = days;
    return v;
}

Variant Variant::from_text(std::u16string s) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = std::move(s);
    return v;
}

Variant Variant::from_utf8(std::string_view s) {
    return from_text(com::from_utf8(s));
}

Variant Variant::bool_ref(VARIANT_BOOL* target) {
    Variant v;
    v.vt = VT_BOOL | VT_BYREF;
    v.pboolVal = target;
    return v;
}

namespace {

bool iequals_ascii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string trim_ascii(std::string s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The numeric value of v, when it has one.
std::optional<double> number_of(const Variant& v) {
    switch (v.vt) {
        case VT_I4:
            return v.lVal;
        case VT_R8:
        case VT_DATE:
            return v.dblVal;
        case VT_BOOL:
            return v.boolVal ? -1.0 : 0.0;
        case VT_BOOL | VT_BYREF:
            if (!v.pboolVal) return std::nullopt;
            return *v.pboolVal ? -1.0 : 0.0;
        case VT_BSTR: {
            std::string t = trim_ascii(to_utf8(v.bstrVal));
            if (iequals_ascii(t, "true")) return -1.0;
            if (iequals_ascii(t, "false")) return 0.0;
            if (t.empty()) return std::nullopt;
            char* end = nullptr;
            double d = std::strtod(t.c_str(), &end);
            if (end != t.c_str() + t.size() || !std::isfinite(d)) return std::nullopt;
            return d;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

HRESULT change_type(const Variant& v, std::uint16_t target, Variant* out) {
    if (!out) return E_POINTER;
    if (target == v.vt && target != (VT_BOOL | VT_BYREF)) {
        *out = v;
        return S_OK;
    }
    if (target == VT_BSTR) {
        switch (v.vt) {
            case VT_I4:
                *out = Variant::from_utf8(std::to_string(v.lVal));
                return S_OK;
            case VT_BOOL:
                *out = Variant::from_utf8(v.boolVal ? "True" : "False");
                return S_OK;
            case VT_R8:
            case VT_DATE: {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.15g", v.dblVal);
                *out = Variant::from_utf8(buf);
                return S_OK;
            }
            default:
                return DISP_E_TYPEMISMATCH;
        }
    }
    auto n = number_of(v);
    if (!n) return DISP_E_TYPEMISMATCH;
    switch (target) {
        case VT_BOOL:
            *out = Variant::from_bool(*n != 0);
            return S_OK;
        case VT_I4: {
            double r = std::nearbyint(*n);
            if (r < std::numeric_limits<std::int32_t>::min() ||
                r > std::numeric_limits<std::int32_t>::max())
                return DISP_E_TYPEMISMATCH;
            *out = Variant::from_i4(static_cast<std::int32_t>(r));
            return S_OK;
        }
        case VT_R8:
            *out = Variant::from_double(*n);
            return S_OK;
        case VT_DATE:
            *out = Variant::from_date(*n);
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

// ---- Streams
// --------------------------------------------------------------------------------------

HRESULT MemoryStream::read(void* buf, std::uint32_t n, std::uint32_t* done) {
    std::size_t take = std::min<std::size_t>(n, remaining());
    if (take) std::memcpy(buf, bytes_.data() + pos_, take);
    pos_ += take;
    if (done) *done = static_cast<std::uint32_t>(take);
    return take == n ? S_OK : S_FALSE;
}

HRESULT MemoryStream::write(const void* buf, std::uint32_t n, std::uint32_t* done) {
    bytes_.append(static_cast<const char*>(buf), n);
    if (done) *done = n;
    return S_OK;
}

// ---- Error information
// ----------------------------------------------------------------------------

namespace {
thread_local std::optional<ErrorInfo> t_error_info;
}

void set_error_info(const ErrorInfo* info) {
    if (info)
        t_error_info = *info;
    else
        t_error_info.reset();
}

HRESULT get_error_info(ErrorInfo* out) {
    if (!t_error_info) return S_FALSE;
    if (out) *out = *t_error_info;
    t_error_info.reset();
    return S_OK;
}

// ---- Type-library description
// ---------------------------------------------------------------------

const MemberDesc* InterfaceDesc::find(std::string_view name) const {
    for (const InterfaceDesc* i = this; i; i = i->base)
        for (const auto& m : i->members)
            if (iequals_ascii(m.name, name)) return &m;
    return nullptr;
}

const MemberDesc* InterfaceDesc::find(DISPID id) const {
    for (const InterfaceDesc* i = this; i; i = i->base)
        for (const auto& m : i->members)
            if (m.id == id) return &m;
    return nullptr;
}

const InterfaceDesc* TypeLibDesc::find_interface(const Guid& iid) const {
    for (const auto* i : interfaces)
        if (i->iid == iid) return i;
    return nullptr;
}

// ---- Connection points
// ----------------------------------------------------------------------------

ConnectionPoint::~ConnectionPoint() {
    clear();
}

void ConnectionPoint::clear() {
    auto sinks = std::move(sinks_);
    sinks_.clear();
    for (auto& [cookie, sink] : sinks) sink->release();
}

HRESULT ConnectionPoint::query_interface(const Guid& iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        add_ref();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT ConnectionPoint::get_connection_interface(Guid* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::advise(IUnknown* sink, std::uint32_t* cookie) {
    if (!sink || !cookie) return E_POINTER;
    void* p = nullptr;
    // A sink may answer the event interface itself or plain IDispatch.
    if (FAILED(sink->query_interface(iid_, &p)) || !p) {
        if (FAILED(sink->query_interface(IID_IDispatch, &p)) || !p) return E_NOINTERFACE;
    }
    *cookie = next_cookie_++;
    sinks_[*cookie] = static_cast<IDispatch*>(p);
    return S_OK;
}

HRESULT ConnectionPoint::unadvise(std::uint32_t cookie) {
    auto it = sinks_.find(cookie);
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    IDispatch* sink = it->second;
    sinks_.erase(it);
    sink->release();
    return S_OK;
}

void ConnectionPoint::fire(DISPID id, std::vector<Variant>& args) {
    std::vector<std::pair<std::uint32_t, ComPtr<IDispatch>>> snapshot;
    for (auto& [cookie, sink] : sinks_)
        snapshot.emplace_back(cookie, ComPtr<IDispatch>::share(sink));
    for (auto& [cookie, sink] : snapshot) {
        // A sink unadvised by an earlier handler of this event no longer hears it.
        if (!sinks_.count(cookie)) continue;
        (void)sink->invoke(id, DISPATCH_METHOD, args, nullptr, nullptr);
    }
}

}  // namespace pavo::com
