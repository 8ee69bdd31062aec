// The type library CORVEXARCVANELib 5.0 and the server's string resources.
#include <map>

#include "archive/component/arcvane.h"

namespace pavo::arcvane {

using com::MemberDesc;
using com::MemberKind;
using com::ParamDesc;

const com::Guid CLSID_Arcvane = com::guid("{FFC3BFAE-12DC-4FF8-A56B-1651DF15D9A8}");
const com::Guid LIBID_CORVEXARCVANELib = com::guid("{61B65CFF-16B4-41CB-A91D-DAF108D0B7E0}");
const com::Guid IID_IArcvane = com::guid("{BC7F1251-6065-4A98-8BBB-E7C8AC412123}");
const com::Guid IID_IArcvane2 = com::guid("{BD33D534-6747-4A9C-93C5-B5DA1BC19797}");
const com::Guid DIID__IArcvaneEvents = com::guid("{F9F0FF7B-228C-43D1-9E91-131F6FAC3AC5}");

namespace {

MemberDesc prop(const char* name, DISPID id, std::uint16_t type) {
    return MemberDesc{name, id, MemberKind::kProperty, type, {}};
}

MemberDesc method(const char* name, DISPID id, std::vector<ParamDesc> params = {}) {
    return MemberDesc{name, id, MemberKind::kMethod, com::VT_I4, std::move(params)};
}

const com::InterfaceDesc& iarcvane_desc() {
    static const com::InterfaceDesc desc{
        "IArcvane",
        IID_IArcvane,
        nullptr,
        true,
        false,
        {
            prop("Enabled", DISPID_Enabled, com::VT_BOOL),
            method("Add", DISPID_Add),
            method("Extract", DISPID_Extract),
            method("List", DISPID_List),
            method("Delete", DISPID_Delete),
            prop("AllowErrorReporting", DISPID_AllowErrorReporting, com::VT_BOOL),
            prop("ExtractDirectory", DISPID_ExtractDirectory, com::VT_BSTR),
            prop("CompressionLevel", DISPID_CompressionLevel, com::VT_I4),
            prop("ZipFileName", DISPID_ZipFileName, com::VT_BSTR),
            prop("Overwrite", DISPID_Overwrite, com::VT_BOOL),
            prop("Password", DISPID_Password, com::VT_BSTR),
            prop("RecurseSubDirectories", DISPID_RecurseSubDirectories, com::VT_BOOL),
            prop("FilesToProcess", DISPID_FilesToProcess, com::VT_BSTR),
            prop("FilesToExclude", DISPID_FilesToExclude, com::VT_BSTR),
            prop("SourceDirectory", DISPID_SourceDirectory, com::VT_BSTR),
        }};
    return desc;
}

const com::EnumDesc& error_enum() {
    static const com::EnumDesc desc{"cxeCorvexZipErrorConstants",
                                    {
                                        {"cxeErrorNone", 0},
                                        {"cxeUnexpectedEnd", 202},
                                        {"cxeErrorGeneric", 203},
                                        {"cxeErrorNoMem", 204},
                                        {"cxeErrorSevere", 205},
                                        {"cxeErrorTooLarge", 206},
                                        {"cxeErrorInvalidComment", 207},
                                        {"cxeErrorTestFailed", 208},
                                        {"cxeErrorTempFile", 210},
                                        {"cxeErrorReadSeek", 211},
                                        {"cxeErrorNothingToDo", 212},
                                        {"cxeErrorMissingZip", 213},
                                        {"cxeErrorWriting", 214},
                                        {"cxeErrorCreate", 215},
                                        {"cxeErrorBadParam", 216},
                                        {"cxeErrorOpen", 217},
                                        {"cxeErrorNoZip", 218},
                                        {"cxeErrorSourceDir", 219},
                                        {"cxeErrorTempPath", 220},
                                        {"cxeErrorZipPath", 221},
                                        {"cxeErrorUnknown", 222},
                                        {"cxeErrorUnzipGeneric", 224},
                                        {"cxeErrorUnzipSevere", 225},
                                        {"cxeErrorUnzipMem", 226},
                                        {"cxeErrorUnzipAllocate", 227},
                                        {"cxeErrorUnzipMemDecom", 228},
                                        {"cxeErrorMemMem", 229},
                                        {"cxeErrorZipNotFound", 231},
                                        {"cxeErrorInvalidOptions", 232},
                                        {"cxeErrorNoMatch", 233},
                                        {"cxeErrorDiskFull", 234},
                                        {"cxeErrorEndOfArchive", 235},
                                        {"cxeErrorUnsupported", 237},
                                        {"cxeErrorBadPassword", 238},
                                        {"cxeErrorUnzipNoZip", 239},
                                        {"cxeErrorNoExtractDir", 240},
                                        {"cxeErrorReadSpan", 241},
                                        {"cxeErrorReadSpanMem", 242},
                                        {"cxeErrorReadSpanUnknown", 243},
                                        {"cxeErrorNoSpanDll", 244},
                                        {"cxeErrorRemoveSfxStub", 245},
                                        {"cxeErrorCreateSfx", 246},
                                        {"cxeErrorBrowseForFile", 247},
                                        {"cxeErrorSpanNoFiles", 248},
                                        {"cxeErrorSpanTooManyFiles", 249},
                                        {"cxeErrorSpanCreatingOutput", 250},
                                        {"cxeErrorSpanReading", 251},
                                    }};
    return desc;
}

const com::CoClassDesc& arcvane_class() {
    static const com::CoClassDesc desc{"Arcvane", CLSID_Arcvane, &iarcvane2_desc(), &events_desc()};
    return desc;
}

}  // namespace

const com::InterfaceDesc& iarcvane2_desc() {
    static const com::InterfaceDesc desc{
        "IArcvane2",
        IID_IArcvane2,
        &iarcvane_desc(),
        true,
        false,
        {prop("UseSpecialWildcards", DISPID_UseSpecialWildcards, com::VT_BOOL)}};
    return desc;
}

const com::InterfaceDesc& events_desc() {
    using com::VT_BOOL, com::VT_BSTR, com::VT_BYREF, com::VT_DATE, com::VT_I4, com::VT_R8;
    static const com::InterfaceDesc desc{
        "_IArcvaneEvents",
        DIID__IArcvaneEvents,
        nullptr,
        false,
        true,
        {
            {"ProcessStarted", DISPID_ProcessStarted, MemberKind::kMethod, com::VT_EMPTY, {}},
            {"ProcessEnded", DISPID_ProcessEnded, MemberKind::kMethod, com::VT_EMPTY, {}},
            {"Error",
             DISPID_Error,
             MemberKind::kMethod,
             com::VT_EMPTY,
             {{"ErrorCode", VT_I4}, {"ErrorDesc", VT_BSTR}}},
            {"FileInfo",
             DISPID_FileInfo,
             MemberKind::kMethod,
             com::VT_EMPTY,
             {{"sFilename", VT_BSTR},
              {"sComment", VT_BSTR},
              {"lSize", VT_I4},
              {"lCompressedSize", VT_I4},
              {"lCompressionRatio", VT_I4},
              {"lCrc32", VT_I4},
              {"dtLastModified", VT_DATE},
              {"bEncrypted", VT_BOOL}}},
            {"FileStatus",
             DISPID_FileStatus,
             MemberKind::kMethod,
             com::VT_EMPTY,
             {{"sFilename", VT_BSTR},
              {"lSize", VT_I4},
              {"lCompressedSize", VT_I4},
              {"FilePercent", VT_R8},
              {"TotalPercent", VT_R8},
              {"bFileCompleted", VT_BOOL},
              {"pAbort", static_cast<std::uint16_t>(VT_BOOL | VT_BYREF)}}},
        }};
    return desc;
}

const com::TypeLibDesc& type_library() {
    static const com::TypeLibDesc lib{"CORVEXARCVANELib",
                                      LIBID_CORVEXARCVANELib,
                                      5,
                                      0,
                                      "CorvexArcvane 5.0 Type Library",
                                      {&error_enum()},
                                      {&iarcvane_desc(), &iarcvane2_desc(), &events_desc()},
                                      {&arcvane_class()}};
    return lib;
}

const char* error_text(int number) {
    static const std::map<int, const char*> strings = {
        {201, "No errors"},
        {202, "Unexpected end of zip file"},
        {203,
         "A generic error in the zipfile format was detected. Processing may have completed "
         "successfully anyway; some broken zipfiles created by other archivers have simple "
         "work-arounds"},
        {204, "Unable to allocate memory for one or more buffers during program initialization"},
        {205,
         "A severe error in the zipfile format was detected. Processing probably failed "
         "immediately"},
        {206, "Entry too large to be split with zipsplit"},
        {207, "Invalid comment format"},
        {208, "TestArchive failed or out of memory"},
        {210, "Encountered an error while using a temp"},
        {211, "Read or seek error"},
        {212, "Nothing to do"},
        {213, "Missing or empty zip file"},
        {214, "Error writing to a file"},
        {215, "Unable to create a file to write to"},
        {216, "Bad parameters"},
        {217, "Could not open a specified file to read"},
        {218, "ZIP file not specified or invalid"},
        {219, "Source directory does not exist"},
        {220, "Temporary path does not exist"},
        {221, "ZIP file path does not exist"},
        {222, "Unknown error"},
        {224,
         "A generic error in the zipfile format was detected. Processing may have completed "
         "successfully anyway; some broken zipfiles created by other archivers have simple "
         "workarounds."},
        {225,
         "A severe error in the zipfile format was detected. Processing probably failed "
         "immediately."},
        {226, "Unable to allocate memory for one or more buffers during initialization."},
        {227,
         "Unable to allocate memory or unable to obtain a tty to read the decryption "
         "password(s)."},
        {228, "Unable to allocate memory during decompression to disk."},
        {229, "Unable to allocate memory during in-memory decompression."},
        {231, "Specified zipfiles were not found."},
        {232, "Invalid options were specified."},
        {233, "No matching files were found."},
        {234, "The disk is (or was) full during extraction."},
        {235, "The end of the ZIP archive was encountered prematurely."},
        {237,
         "Testing or extraction of one or more files failed due to unsupported compression "
         "methods or unsupported decryption."},
        {238,
         "No files were found due to bad decryption password(s). (If even one file is "
         "successfully processed, however, the exit status is 1.)"},
        {239, "ZIP file not specified or it does not exist"},
        {241, "Error while reading multi disk archive."},
        {242, "Memory allocation error while reading multi disk archive"},
        {243, "Unknown error while reading multi disk archive."},
        {244, "Unable to load CorvexZipSpan.dll"},
        {245, "Error during removing Sfx Stub from Zip file."},
        {246, "Error during creating Sfx from Zip file."},
        {247, "Error during Browsing for File."},
        {248, "At least two files are needed to create archive"},
        {249, "Too many files specified to create archive from multi file archive (max. 999)"},
        {250, "Could not create output file"},
        {251, "Error reading input file."},
        {252, "Error writing to ouptut file."},
    };
    auto it = strings.find(number);
    return it == strings.end() ? nullptr : it->second;
}

}  // namespace pavo::arcvane
