// Hosting the archive control: creation through the registry, design, dispatch calls, error events.
#include "app/shell/hosted_arcvane.h"

#include <vector>

#include "platform/com/com.h"
#include "platform/com/registry.h"
#include "platform/error.h"

namespace pavo::app::shell {

namespace {

// Events of the control arrive here; only the Error event is kept (number and message text).
class EventSink final : public com::IDispatch {
  public:
    com::HRESULT query_interface(const com::Guid& iid, void** out) override {
        if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == events_iid_) {
            add_ref();
            *out = static_cast<com::IDispatch*>(this);
            return com::S_OK;
        }
        *out = nullptr;
        return com::E_NOINTERFACE;
    }
    std::uint32_t add_ref() override { return ++refs_; }
    std::uint32_t release() override {
        std::uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    const com::InterfaceDesc* type_info() override { return nullptr; }
    com::HRESULT get_id_of_name(std::string_view, com::DISPID*) override { return com::E_NOTIMPL; }
    com::HRESULT invoke(com::DISPID id, std::uint16_t, std::vector<com::Variant>& args,
                        com::Variant*, com::ExcepInfo*) override {
        if (id == arcvane_ids::kErrorEvent && args.size() >= 2) {
            last_error = args[0].lVal;
            last_message = com::to_utf8(args[1].bstrVal);
        }
        return com::S_OK;
    }
    void set_events_iid(const com::Guid& iid) { events_iid_ = iid; }

    int last_error = 0;
    std::string last_message;

  private:
    std::uint32_t refs_ = 1;
    com::Guid events_iid_{};
};

class HostedArcvane : public ArchiveControl {
  public:
    HostedArcvane(com::ComPtr<com::IDispatch> control, EventSink* sink, std::uint32_t cookie,
                  com::ComPtr<com::IConnectionPoint> point)
        : control_(std::move(control)), sink_(sink), cookie_(cookie), point_(std::move(point)) {}
    ~HostedArcvane() override {
        if (point_) point_->unadvise(cookie_);
        if (sink_) sink_->release();
    }

    void set_text_property(int dispid, const std::u16string& value) override {
        put(dispid, com::Variant::from_text(value));
    }
    void set_bool_property(int dispid, bool value) override {
        put(dispid, com::Variant::from_bool(value));
    }
    RunResult invoke(int dispid) override {
        if (sink_) {
            sink_->last_error = 0;
            sink_->last_message.clear();
        }
        std::vector<com::Variant> none;
        com::Variant result;
        com::ExcepInfo excep;
        com::HRESULT hr = control_->invoke(dispid, com::DISPATCH_METHOD, none, &result, &excep);
        RunResult run;
        run.error_number = result.vt == com::VT_I4 ? result.lVal : 0;
        if (sink_ && sink_->last_error != 0) {
            run.error_number = sink_->last_error;
            run.message = sink_->last_message;
        }
        if (!com::SUCCEEDED(hr) && run.error_number == 0) {
            run.error_number = -1;
            run.message =
                excep.description.empty() ? com::hresult_text(hr) : com::to_utf8(excep.description);
        }
        return run;
    }

  private:
    void put(int dispid, com::Variant value) {
        std::vector<com::Variant> args{std::move(value)};
        com::ExcepInfo excep;
        com::HRESULT hr =
            control_->invoke(dispid, com::DISPATCH_PROPERTYPUT, args, nullptr, &excep);
        if (!com::SUCCEEDED(hr))
            throw Error(ErrorKind::kInvalidInput, "The archive control refused property " +
                                                      std::to_string(dispid) + ": " +
                                                      com::hresult_text(hr));
    }

    com::ComPtr<com::IDispatch> control_;
    EventSink* sink_;
    std::uint32_t cookie_;
    com::ComPtr<com::IConnectionPoint> point_;
};

}  // namespace

std::unique_ptr<ArchiveControl> create_hosted_arcvane(QWidget*) {
    const com::Guid clsid = com::guid(arcvane_ids::kClassId);
    com::ComPtr<com::IDispatch> control;
    std::string why;
    com::HRESULT hr = com::create_instance(clsid, com::IID_IDispatch, control.put(), &why);
    if (hr != com::S_OK)
        throw Error(ErrorKind::kNotFound, std::string("Class not registered: the archive component "
                                                      "CorvexArcvane (") +
                                              arcvane_ids::kClassId +
                                              ") cannot be created: " + why);

    // The design values of the main window, as a form loads its controls' stored properties.
    com::ComPtr<com::IPersistStreamInit> persist;
    if (control.as(com::IID_IPersistStreamInit, &persist) == com::S_OK) {
        com::MemoryStream design(arcvane1_design_stream());
        hr = persist->load(&design);
        if (hr != com::S_OK)
            throw Error(ErrorKind::kCorruption,
                        "The design of Arcvane1 cannot be loaded: " + com::hresult_text(hr));
    }

    // The Error event carries the message text the user is shown when a run fails.
    EventSink* sink = new EventSink;
    std::uint32_t cookie = 0;
    com::ComPtr<com::IConnectionPoint> point;
    com::ComPtr<com::IConnectionPointContainer> container;
    if (control.as(com::IID_IConnectionPointContainer, &container) == com::S_OK) {
        const com::Guid events = com::guid(arcvane_ids::kEventsId);
        sink->set_events_iid(events);
        if (container->find_connection_point(events, point.out()) == com::S_OK &&
            point->advise(sink, &cookie) != com::S_OK)
            point.reset();
    }
    return std::make_unique<HostedArcvane>(std::move(control), sink, cookie, std::move(point));
}

}  // namespace pavo::app::shell
