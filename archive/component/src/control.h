// The Arcvane control: settings behind IArcvane2, runs of the engines, events, persistence.
#pragma once

#include <filesystem>
#include <string>

#include "archive/component/arcvane.h"
#include "archive/component/src/commands.h"
#include "archive/component/src/engines.h"

namespace pavo::arcvane {

// Objects and factory locks alive in this server (DllCanUnloadNow answers from it).
com::ModuleCount& module_count();

// The file the control's code was loaded from (the server, or the program it is linked into).
std::filesystem::path server_path();

class Arcvane final : public IArcvane2,
                      public com::IConnectionPointContainer,
                      public com::IPersistStreamInit,
                      public com::ISupportErrorInfo,
                      public com::IOleObject {
  public:
    // Creates a control running the given engines and hands out interface iid.
    static HRESULT create(Engines engines, const com::Guid& iid, void** out);

    // IUnknown
    HRESULT query_interface(const com::Guid& iid, void** out) override;
    std::uint32_t add_ref() override;
    std::uint32_t release() override;

    // IDispatch
    const com::InterfaceDesc* type_info() override;
    HRESULT get_id_of_name(std::string_view name, DISPID* id) override;
    HRESULT invoke(DISPID id, std::uint16_t flags, std::vector<com::Variant>& args,
                   com::Variant* result, com::ExcepInfo* excep) override;

    // IArcvane, IArcvane2
    HRESULT get_Enabled(VARIANT_BOOL* v) override;
    HRESULT put_Enabled(VARIANT_BOOL v) override;
    HRESULT Add(std::int32_t* result) override;
    HRESULT Extract(std::int32_t* result) override;
    HRESULT List(std::int32_t* result) override;
    HRESULT Delete(std::int32_t* result) override;
    HRESULT get_AllowErrorReporting(VARIANT_BOOL* v) override;
    HRESULT put_AllowErrorReporting(VARIANT_BOOL v) override;
    HRESULT get_ExtractDirectory(std::u16string* v) override;
    HRESULT put_ExtractDirectory(const std::u16string& v) override;
    HRESULT get_CompressionLevel(std::int32_t* v) override;
    HRESULT put_CompressionLevel(std::int32_t v) override;
    HRESULT get_ZipFileName(std::u16string* v) override;
    HRESULT put_ZipFileName(const std::u16string& v) override;
    HRESULT get_Overwrite(VARIANT_BOOL* v) override;
    HRESULT put_Overwrite(VARIANT_BOOL v) override;
    HRESULT get_Password(std::u16string* v) override;
    HRESULT put_Password(const std::u16string& v) override;
    HRESULT get_RecurseSubDirectories(VARIANT_BOOL* v) override;
    HRESULT put_RecurseSubDirectories(VARIANT_BOOL v) override;
    HRESULT get_FilesToProcess(std::u16string* v) override;
    HRESULT put_FilesToProcess(const std::u16string& v) override;
    HRESULT get_FilesToExclude(std::u16string* v) override;
    HRESULT put_FilesToExclude(const std::u16string& v) override;
    HRESULT get_SourceDirectory(std::u16string* v) override;
    HRESULT put_SourceDirectory(const std::u16string& v) override;
    HRESULT get_UseSpecialWildcards(VARIANT_BOOL* v) override;
    HRESULT put_UseSpecialWildcards(VARIANT_BOOL v) override;

    // IConnectionPointContainer
    HRESULT find_connection_point(const com::Guid& iid, com::IConnectionPoint** out) override;

    // IPersistStreamInit
    HRESULT get_class_id(com::Guid* clsid) override;
    HRESULT is_dirty() override;
    HRESULT load(com::IStream* stream) override;
    HRESULT save(com::IStream* stream, bool clear_dirty) override;
    HRESULT get_size_max(std::uint64_t* size) override;
    HRESULT init_new() override;

    // ISupportErrorInfo
    HRESULT interface_supports_error_info(const com::Guid& iid) override;

    // IOleObject
    HRESULT get_extent(std::int32_t* width, std::int32_t* height) override;
    HRESULT set_extent(std::int32_t width, std::int32_t height) override;

    // For tests: the settings as the control holds them, and whether error reporting is on.
    const Settings& settings() const { return settings_; }

  private:
    explicit Arcvane(Engines engines);
    ~Arcvane();

    HRESULT run(Operation op, std::int32_t* result);
    int validate(Operation op) const;
    int execute(Operation op);
    int run_engine(Operation op, const Settings& s);
    void fire_file_status(const RunProgress& p);
    void fire_file_info(const RunMember& m);
    void fire(DISPID id, std::vector<com::Variant> args);
    void set_text(std::string& field, const std::u16string& v);

    std::atomic<std::uint32_t> refs_{1};
    Engines engines_;
    Settings settings_;
    com::ConnectionPoint events_;
    std::int32_t extent_width_ = 847, extent_height_ = 847;
    bool dirty_ = false;
    bool busy_ = false;
    bool abort_ = false;
    Operation last_kind_ = Operation::kAdd;
    std::int32_t last_error_ = 0;
};

}  // namespace pavo::arcvane
