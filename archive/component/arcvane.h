// The automation face of the CorvexArcvane server: identifiers, dispatch numbers, error numbers,
// the IArcvane/IArcvane2 interfaces, the type library and the error texts, for hosts and the server
// alike.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/com.h"

namespace pavo::arcvane {

using com::DISPID;
using com::HRESULT;
using com::VARIANT_BOOL;

// Fixed identifiers; hosts bind to the class identifier.
extern const com::Guid CLSID_Arcvane;
extern const com::Guid LIBID_CORVEXARCVANELib;
extern const com::Guid IID_IArcvane;
extern const com::Guid IID_IArcvane2;
extern const com::Guid DIID__IArcvaneEvents;

inline constexpr const char* kProgId = "CorvexArcvane.Arcvane.5";
inline constexpr const char* kVersionIndependentProgId = "CorvexArcvane.Arcvane";
inline constexpr const char* kClassName = "Arcvane";
inline constexpr int kToolboxBitmapId = 101;

// Dispatch identifiers of IArcvane / IArcvane2.
enum : DISPID {
    DISPID_Enabled = -514,
    DISPID_AllowErrorReporting = 1,
    DISPID_Overwrite = 1000,
    DISPID_RecurseSubDirectories = 1004,
    DISPID_CompressionLevel = 1007,
    DISPID_ExtractDirectory = 1010,
    DISPID_Password = 1013,
    DISPID_SourceDirectory = 1014,
    DISPID_ZipFileName = 1016,
    DISPID_UseSpecialWildcards = 1033,
    DISPID_FilesToProcess = 1115,
    DISPID_FilesToExclude = 1116,
    DISPID_Add = 2000,
    DISPID_Extract = 2005,
    DISPID_List = 2028,
    DISPID_Delete = 2030,
};

// Dispatch identifiers of the events of _IArcvaneEvents.
enum : DISPID {
    DISPID_ProcessStarted = 1,
    DISPID_ProcessEnded = 2,
    DISPID_Error = 3,
    DISPID_FileInfo = 10,
    DISPID_FileStatus = 22,
};

// cxeCorvexZipErrorConstants.
enum CorvexZipError : std::int32_t {
    cxeErrorNone = 0,
    cxeUnexpectedEnd = 202,
    cxeErrorGeneric = 203,
    cxeErrorNoMem = 204,
    cxeErrorSevere = 205,
    cxeErrorTooLarge = 206,
    cxeErrorInvalidComment = 207,
    cxeErrorTestFailed = 208,
    cxeErrorTempFile = 210,
    cxeErrorReadSeek = 211,
    cxeErrorNothingToDo = 212,
    cxeErrorMissingZip = 213,
    cxeErrorWriting = 214,
    cxeErrorCreate = 215,
    cxeErrorBadParam = 216,
    cxeErrorOpen = 217,
    cxeErrorNoZip = 218,
    cxeErrorSourceDir = 219,
    cxeErrorTempPath = 220,
    cxeErrorZipPath = 221,
    cxeErrorUnknown = 222,
    cxeErrorUnzipGeneric = 224,
    cxeErrorUnzipSevere = 225,
    cxeErrorUnzipMem = 226,
    cxeErrorUnzipAllocate = 227,
    cxeErrorUnzipMemDecom = 228,
    cxeErrorMemMem = 229,
    cxeErrorZipNotFound = 231,
    cxeErrorInvalidOptions = 232,
    cxeErrorNoMatch = 233,
    cxeErrorDiskFull = 234,
    cxeErrorEndOfArchive = 235,
    cxeErrorUnsupported = 237,
    cxeErrorBadPassword = 238,
    cxeErrorUnzipNoZip = 239,
    cxeErrorNoExtractDir = 240,
    cxeErrorReadSpan = 241,
    cxeErrorReadSpanMem = 242,
    cxeErrorReadSpanUnknown = 243,
    cxeErrorNoSpanDll = 244,
    cxeErrorRemoveSfxStub = 245,
    cxeErrorCreateSfx = 246,
    cxeErrorBrowseForFile = 247,
    cxeErrorSpanNoFiles = 248,
    cxeErrorSpanTooManyFiles = 249,
    cxeErrorSpanCreatingOutput = 250,
    cxeErrorSpanReading = 251,
};

// The server's string resource of that number (error texts, 201 "No errors"), or nullptr when the
// server has none.
const char* error_text(int number);

// The type library CORVEXARCVANELib 5.0 kept in the server.
const com::TypeLibDesc& type_library();
const com::InterfaceDesc& iarcvane2_desc();
const com::InterfaceDesc& events_desc();

// The dual interfaces. Methods hand back the error number in *result (0 on success) and return
// S_OK, or, with error reporting on, the failure code MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF,
// number).
class IArcvane : public com::IDispatch {
  public:
    virtual HRESULT get_Enabled(VARIANT_BOOL* v) = 0;
    virtual HRESULT put_Enabled(VARIANT_BOOL v) = 0;
    virtual HRESULT Add(std::int32_t* result) = 0;
    virtual HRESULT Extract(std::int32_t* result) = 0;
    virtual HRESULT List(std::int32_t* result) = 0;
    virtual HRESULT Delete(std::int32_t* result) = 0;
    virtual HRESULT get_AllowErrorReporting(VARIANT_BOOL* v) = 0;
    virtual HRESULT put_AllowErrorReporting(VARIANT_BOOL v) = 0;
    virtual HRESULT get_ExtractDirectory(std::u16string* v) = 0;
    virtual HRESULT put_ExtractDirectory(const std::u16string& v) = 0;
    virtual HRESULT get_CompressionLevel(std::int32_t* v) = 0;
    virtual HRESULT put_CompressionLevel(std::int32_t v) = 0;
    virtual HRESULT get_ZipFileName(std::u16string* v) = 0;
    virtual HRESULT put_ZipFileName(const std::u16string& v) = 0;
    virtual HRESULT get_Overwrite(VARIANT_BOOL* v) = 0;
    virtual HRESULT put_Overwrite(VARIANT_BOOL v) = 0;
    virtual HRESULT get_Password(std::u16string* v) = 0;
    virtual HRESULT put_Password(const std::u16string& v) = 0;
    virtual HRESULT get_RecurseSubDirectories(VARIANT_BOOL* v) = 0;
    virtual HRESULT put_RecurseSubDirectories(VARIANT_BOOL v) = 0;
    virtual HRESULT get_FilesToProcess(std::u16string* v) = 0;
    virtual HRESULT put_FilesToProcess(const std::u16string& v) = 0;
    virtual HRESULT get_FilesToExclude(std::u16string* v) = 0;
    virtual HRESULT put_FilesToExclude(const std::u16string& v) = 0;
    virtual HRESULT get_SourceDirectory(std::u16string* v) = 0;
    virtual HRESULT put_SourceDirectory(const std::u16string& v) = 0;

  protected:
    ~IArcvane() = default;
};

class IArcvane2 : public IArcvane {
  public:
    virtual HRESULT get_UseSpecialWildcards(VARIANT_BOOL* v) = 0;
    virtual HRESULT put_UseSpecialWildcards(VARIANT_BOOL v) = 0;

  protected:
    ~IArcvane2() = default;
};

}  // namespace pavo::arcvane
