// The in-process object model: GUIDs, result codes, automation variants, interfaces with reference
// counts, dispatch by identifier, class factories, connection points, error information and
// streams.
//
// It keeps the shapes and codes of the platform's automation services that hosts and servers rely
// on (S_OK, E_NOINTERFACE, DISP_E_MEMBERNOTFOUND, VARIANT_TRUE = all bits set, ...), without its
// binary layout: interfaces are C++ abstract classes, text is std::u16string, dispatch arguments
// come in declaration order (the platform's reversed order is not kept). Nothing here throws; every
// call answers with a result code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavo::com {

// ---- GUIDs
// ----------------------------------------------------------------------------------------

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0, data3 = 0;
    std::uint8_t data4[8] = {};

    friend bool operator==(const Guid& a, const Guid& b);
    friend bool operator<(const Guid& a, const Guid& b);
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex, as the registry spells it.
std::string to_string(const Guid& g);
// Accepts the braced form (case-insensitive hex); nullopt for anything else.
std::optional<Guid> parse_guid(std::string_view text);
// Parses a literal known to be well formed (identifiers fixed in code); aborts on a bad literal.
Guid guid(std::string_view literal);

extern const Guid IID_NULL;
extern const Guid IID_IUnknown;
extern const Guid IID_IDispatch;
extern const Guid IID_IClassFactory;
extern const Guid IID_IConnectionPointContainer;
extern const Guid IID_IConnectionPoint;
extern const Guid IID_IPersistStreamInit;
extern const Guid IID_ISupportErrorInfo;
extern const Guid IID_IOleObject;

// ---- Result codes
// ---------------------------------------------------------------------------------

using HRESULT = std::int32_t;

constexpr std::uint32_t SEVERITY_SUCCESS = 0;
constexpr std::uint32_t SEVERITY_ERROR = 1;
constexpr std::uint32_t FACILITY_NULL = 0;
constexpr std::uint32_t FACILITY_DISPATCH = 2;
constexpr std::uint32_t FACILITY_ITF = 4;
constexpr std::uint32_t FACILITY_WIN32 = 7;

constexpr HRESULT MAKE_HRESULT(std::uint32_t severity, std::uint32_t facility, std::uint32_t code) {
    return static_cast<HRESULT>((severity << 31) | (facility << 16) | (code & 0xFFFFu));
}
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr std::uint32_t HRESULT_CODE(HRESULT hr) {
    return static_cast<std::uint32_t>(hr) & 0xFFFFu;
}
constexpr std::uint32_t HRESULT_FACILITY(HRESULT hr) {
    return (static_cast<std::uint32_t>(hr) >> 16) & 0x1FFFu;
}

constexpr HRESULT hr_of(std::uint32_t bits) {
    return static_cast<HRESULT>(bits);
}
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = hr_of(0x80004001);
constexpr HRESULT E_NOINTERFACE = hr_of(0x80004002);
constexpr HRESULT E_POINTER = hr_of(0x80004003);
constexpr HRESULT E_FAIL = hr_of(0x80004005);
constexpr HRESULT E_UNEXPECTED = hr_of(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = hr_of(0x8007000E);
constexpr HRESULT E_INVALIDARG = hr_of(0x80070057);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = hr_of(0x80020003);
constexpr HRESULT DISP_E_TYPEMISMATCH = hr_of(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = hr_of(0x80020006);
constexpr HRESULT DISP_E_EXCEPTION = hr_of(0x80020009);
constexpr HRESULT DISP_E_BADPARAMCOUNT = hr_of(0x8002000E);
constexpr HRESULT CLASS_E_NOAGGREGATION = hr_of(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hr_of(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = hr_of(0x80040154);
constexpr HRESULT REGDB_E_READREGDB = hr_of(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = hr_of(0x80040151);
constexpr HRESULT CONNECT_E_NOCONNECTION = hr_of(0x80040200);
constexpr HRESULT SELFREG_E_TYPELIB = hr_of(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = hr_of(0x80040201);
constexpr HRESULT CO_E_DLLNOTFOUND = hr_of(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = hr_of(0x800401F9);
constexpr HRESULT CO_E_CLASSSTRING = hr_of(0x800401F3);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = hr_of(0x8002801D);
constexpr HRESULT STG_E_READFAULT = hr_of(0x8003001E);
constexpr HRESULT STG_E_WRITEFAULT = hr_of(0x8003001D);

// "0x80004005" style text for messages.
std::string hresult_text(HRESULT hr);

// ---- Automation values
// ----------------------------------------------------------------------------

using DISPID = std::int32_t;
using VARIANT_BOOL = std::int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;  // all bits set
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VarType : std::uint16_t {
    VT_EMPTY = 0,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_BYREF = 0x4000,
};

// A tagged automation value. Only the field that vt names is meaningful; a by-reference boolean
// points at storage the caller owns for the length of the call.
struct Variant {
    std::uint16_t vt = VT_EMPTY;
    std::int32_t lVal = 0;             // VT_I4, VT_ERROR
    double dblVal = 0;                 // VT_R8, VT_DATE (days from 30 Dec 1899)
    VARIANT_BOOL boolVal = 0;          // VT_BOOL
    std::u16string bstrVal;            // VT_BSTR
    VARIANT_BOOL* pboolVal = nullptr;  // VT_BOOL | VT_BYREF

    static Variant from_bool(bool b);
    static Variant from_i4(std::int32_t v);
    static Variant from_double(double v);
    static Variant from_date(double days);
    static Variant from_text(std::u16string s);
    static Variant from_utf8(std::string_view s);
    static Variant bool_ref(VARIANT_BOOL* target);
};

// Converts v to the type target (VT_BOOL, VT_I4, VT_R8, VT_DATE, VT_BSTR) the way automation does
// for the simple cases: numbers and booleans between each other (non-zero is true), numbers and
// booleans to text and back ("True"/"False", "-1"/"0" accepted, case-insensitive). Anything else,
// or text that is not a number, gives DISP_E_TYPEMISMATCH.
HRESULT change_type(const Variant& v, std::uint16_t target, Variant* out);

// Lossless conversions between the automation text and the narrow (UTF-8) text the components keep;
// an unpaired surrogate or a broken UTF-8 sequence becomes U+FFFD.
std::string to_utf8(std::u16string_view s);
std::u16string from_utf8(std::string_view s);

// ---- Interfaces
// -----------------------------------------------------------------------------------

class IUnknown {
  public:
    // Hands out the interface iid with one reference added, or E_NOINTERFACE (and *out = nullptr).
    virtual HRESULT query_interface(const Guid& iid, void** out) = 0;
    virtual std::uint32_t add_ref() = 0;
    virtual std::uint32_t release() = 0;

  protected:
    ~IUnknown() = default;
};

// Owning pointer to an interface: releases on destruction, adds a reference on copy.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already holds.
    static ComPtr attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr share(T* p) {
        if (p) p->add_ref();
        return attach(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->add_ref();
    }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (p_) p_->release();
        p_ = nullptr;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held and returns the slot, untyped (query_interface,
    // create_instance) or typed (find_connection_point).
    void** put() {
        reset();
        return reinterpret_cast<void**>(&p_);
    }
    T** out() {
        reset();
        return &p_;
    }
    // Asks the held object for another interface.
    template <class U>
    HRESULT as(const Guid& iid, ComPtr<U>* out) const {
        if (!p_) return E_POINTER;
        return p_->query_interface(iid, out->put());
    }

  private:
    T* p_ = nullptr;
};

enum : std::uint16_t {
    DISPATCH_METHOD = 1,
    DISPATCH_PROPERTYGET = 2,
    DISPATCH_PROPERTYPUT = 4,
};

// What a member call that failed with DISP_E_EXCEPTION (or an error code of its own) says about it.
struct ExcepInfo {
    std::u16string source;
    std::u16string description;
    HRESULT scode = S_OK;
};

struct InterfaceDesc;

class IDispatch : public IUnknown {
  public:
    // The description of the members this object answers to (its default interface).
    virtual const InterfaceDesc* type_info() = 0;
    // Dispatch identifier of a member named name (case-insensitive); DISP_E_UNKNOWNNAME otherwise.
    virtual HRESULT get_id_of_name(std::string_view name, DISPID* id) = 0;
    // Calls a member: property get (result filled), property put (one argument), method. Arguments
    // are in declaration order; a by-reference argument may be written by the callee.
    virtual HRESULT invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                           Variant* result, ExcepInfo* excep) = 0;

  protected:
    ~IDispatch() = default;
};

class IClassFactory : public IUnknown {
  public:
    // Creates one object and hands out its interface iid; outer must be null (no aggregation).
    virtual HRESULT create_instance(IUnknown* outer, const Guid& iid, void** out) = 0;
    // Keeps the server loaded while a host holds a lock.
    virtual HRESULT lock_server(bool lock) = 0;

  protected:
    ~IClassFactory() = default;
};

class IConnectionPoint : public IUnknown {
  public:
    virtual HRESULT get_connection_interface(Guid* iid) = 0;
    // sink must answer IDispatch (events arrive as invoke calls); *cookie identifies the
    // connection.
    virtual HRESULT advise(IUnknown* sink, std::uint32_t* cookie) = 0;
    // CONNECT_E_NOCONNECTION for an unknown cookie.
    virtual HRESULT unadvise(std::uint32_t cookie) = 0;

  protected:
    ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
  public:
    // CONNECT_E_NOCONNECTION when the object raises no such events.
    virtual HRESULT find_connection_point(const Guid& iid, IConnectionPoint** out) = 0;

  protected:
    ~IConnectionPointContainer() = default;
};

class ISupportErrorInfo : public IUnknown {
  public:
    // S_OK when failures of interface iid leave error information behind, S_FALSE otherwise.
    virtual HRESULT interface_supports_error_info(const Guid& iid) = 0;

  protected:
    ~ISupportErrorInfo() = default;
};

// A byte stream for persisted properties.
class IStream {
  public:
    virtual ~IStream() = default;
    // Reads up to n bytes; *done is the count (short at the end). S_FALSE when fewer than n came.
    virtual HRESULT read(void* buf, std::uint32_t n, std::uint32_t* done) = 0;
    virtual HRESULT write(const void* buf, std::uint32_t n, std::uint32_t* done) = 0;
};

// A stream over a byte string in memory, read from its start.
class MemoryStream : public IStream {
  public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
    HRESULT read(void* buf, std::uint32_t n, std::uint32_t* done) override;
    HRESULT write(const void* buf, std::uint32_t n, std::uint32_t* done) override;
    const std::string& bytes() const { return bytes_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

  private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

class IPersistStreamInit : public IUnknown {
  public:
    virtual HRESULT get_class_id(Guid* clsid) = 0;
    // S_OK when changed since the last save, S_FALSE otherwise.
    virtual HRESULT is_dirty() = 0;
    // Reads the whole state or changes nothing (a short or malformed stream gives an error).
    virtual HRESULT load(IStream* stream) = 0;
    virtual HRESULT save(IStream* stream, bool clear_dirty) = 0;
    virtual HRESULT get_size_max(std::uint64_t* size) = 0;
    // Sets the state of a new object.
    virtual HRESULT init_new() = 0;

  protected:
    ~IPersistStreamInit() = default;
};

// The part of the embedding interface a host uses to place a control: its extent, in hundredths of
// a millimetre.
class IOleObject : public IUnknown {
  public:
    virtual HRESULT get_extent(std::int32_t* width, std::int32_t* height) = 0;
    virtual HRESULT set_extent(std::int32_t width, std::int32_t height) = 0;

  protected:
    ~IOleObject() = default;
};

// ---- Error information (per thread)
// ---------------------------------------------------------------

struct ErrorInfo {
    Guid iid;                    // interface that failed
    std::u16string source;       // program identifier of the class
    std::u16string description;  // text for the user
};

// Replaces the thread's error information (nullptr clears it).
void set_error_info(const ErrorInfo* info);
// Takes the thread's error information away: S_OK with *out filled, S_FALSE when there is none.
HRESULT get_error_info(ErrorInfo* out);

// ---- Type-library description
// ---------------------------------------------------------------------

enum class MemberKind { kProperty, kMethod };

struct ParamDesc {
    std::string name;
    std::uint16_t type = VT_EMPTY;  // VT_BOOL | VT_BYREF for a by-reference flag
};

struct MemberDesc {
    std::string name;
    DISPID id = 0;
    MemberKind kind = MemberKind::kProperty;
    std::uint16_t type = VT_EMPTY;  // property type, or the method's result type
    std::vector<ParamDesc> params;  // of methods and events
};

struct InterfaceDesc {
    std::string name;
    Guid iid;
    const InterfaceDesc* base = nullptr;  // members are inherited from it
    bool dual = false;
    bool events = false;  // a source (dispatch-only event) interface
    std::vector<MemberDesc> members;

    // Searches this interface and its bases, case-insensitively.
    const MemberDesc* find(std::string_view name) const;
    const MemberDesc* find(DISPID id) const;
};

struct EnumDesc {
    std::string name;
    std::vector<std::pair<std::string, std::int32_t>> values;
};

struct CoClassDesc {
    std::string name;
    Guid clsid;
    const InterfaceDesc* default_interface = nullptr;
    const InterfaceDesc* default_source = nullptr;
};

struct TypeLibDesc {
    std::string name;
    Guid libid;
    std::uint16_t major = 1, minor = 0;
    std::string help;
    std::vector<const EnumDesc*> enums;
    std::vector<const InterfaceDesc*> interfaces;
    std::vector<const CoClassDesc*> classes;

    const InterfaceDesc* find_interface(const Guid& iid) const;
};

// ---- Helpers for implementers
// ---------------------------------------------------------------------

// Reference count shared by every object of a server, so DllCanUnloadNow can tell when none is
// alive.
class ModuleCount {
  public:
    void lock() { count_.fetch_add(1); }
    void unlock() { count_.fetch_sub(1); }
    long value() const { return count_.load(); }

  private:
    std::atomic<long> count_{0};
};

// A connection point that delivers events to each advised sink in turn (a snapshot taken when the
// event starts, so a handler may unadvise itself or others).
class ConnectionPoint final : public IConnectionPoint {
  public:
    ConnectionPoint(IUnknown* owner, const Guid& iid) : owner_(owner), iid_(iid) {}
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT query_interface(const Guid& iid, void** out) override;
    // The point lives inside its owner and shares its lifetime.
    std::uint32_t add_ref() override { return owner_->add_ref(); }
    std::uint32_t release() override { return owner_->release(); }
    HRESULT get_connection_interface(Guid* iid) override;
    HRESULT advise(IUnknown* sink, std::uint32_t* cookie) override;
    HRESULT unadvise(std::uint32_t cookie) override;

    // Calls invoke(id, DISPATCH_METHOD, args) on every sink; arguments a sink wrote by reference
    // are seen by the sinks after it. Sink failures are ignored.
    void fire(DISPID id, std::vector<Variant>& args);
    std::size_t sink_count() const { return sinks_.size(); }
    void clear();

  private:
    IUnknown* owner_;
    Guid iid_;
    std::uint32_t next_cookie_ = 1;
    std::map<std::uint32_t, IDispatch*> sinks_;
};

}  // namespace pavo::com
