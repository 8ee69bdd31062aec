// Arcvane1: the archive control created through the registry from its class identifier, set up
// from the main window's design, and driven only through dispatch identifiers.
#pragma once

#include <memory>
#include <string>

#include "app/shell/archive_slot.h"

class QWidget;

namespace pavo::app::shell {

// The control's identifiers as its type library CORVEXARCVANELib 5.0 publishes them.
namespace arcvane_ids {
inline constexpr const char* kClassId = "{FFC3BFAE-12DC-4FF8-A56B-1651DF15D9A8}";
inline constexpr const char* kEventsId = "{F9F0FF7B-228C-43D1-9E91-131F6FAC3AC5}";
inline constexpr int kEnabled = -514;
inline constexpr int kAllowErrorReporting = 1;
inline constexpr int kOverwrite = 1000;
inline constexpr int kRecurseSubDirectories = 1004;
inline constexpr int kCompressionLevel = 1007;
inline constexpr int kExtractDirectory = 1010;
inline constexpr int kSourceDirectory = 1014;
inline constexpr int kZipFileName = 1016;
inline constexpr int kFilesToProcess = 1115;
inline constexpr int kAdd = 2000;
inline constexpr int kExtract = 2005;
inline constexpr int kErrorEvent = 3;
}  // namespace arcvane_ids

// The design values of Arcvane1 kept with the main window's design, in the control's persisted
// form.
const std::string& arcvane1_design_stream();

// Creates Arcvane1 for the main window: the class through the registry, its design loaded, an event
// sink connected that keeps the last Error event. Throws pavo::Error (kNotFound) when the component
// is not registered or cannot be loaded, naming the class and the reason.
std::unique_ptr<ArchiveControl> create_hosted_arcvane(QWidget* main);

}  // namespace pavo::app::shell
