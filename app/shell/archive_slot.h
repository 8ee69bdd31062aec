// The place on the main window where the archive control sits, behind a small interface so the
// backup commands can drive whatever control is plugged in.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace pavo::app::shell {

// The archive control as the main window drives it: properties by dispatch identifier, and the
// two methods, which return when the run has ended.
class ArchiveControl {
  public:
    // How a run ended: the control's error number (0 for success) and, for a failure, the
    // message text it raised with it.
    struct RunResult {
        int error_number = 0;
        std::string message;
    };
    virtual ~ArchiveControl() = default;
    virtual void set_text_property(int dispid, const std::u16string& value) = 0;
    virtual void set_bool_property(int dispid, bool value) = 0;
    // Add or Extract by dispatch identifier.
    virtual RunResult invoke(int dispid) = 0;
};

// Creates the control for a main window; throws pavo::Error when it cannot (so creating the main
// window fails and the program ends at start).
using ArchiveControlFactory = std::function<std::unique_ptr<ArchiveControl>(QWidget* main)>;

// The factory the main window uses; with none set the main window has no archive control.
void set_archive_control_factory(ArchiveControlFactory factory);
const ArchiveControlFactory& archive_control_factory();

}  // namespace pavo::app::shell
