// The one door through which windows ask the user something: message boxes, file and folder
// dialogs, the standard error box, and the running of modal windows (scriptable for tests).
#pragma once

#include <QDialog>
#include <QFileDialog>
#include <QWidget>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace pavo::app::kit {

enum class Buttons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class Answer { kOk, kCancel, kYes, kNo };
enum class Icon { kNone, kInformation, kWarning, kError };

struct MessageRequest {
    QWidget* parent = nullptr;
    std::string caption;  // empty: the platform's default title
    std::string text;     // '\n' breaks lines
    Buttons buttons = Buttons::kOk;
    Icon icon = Icon::kNone;
};

struct OpenFileRequest {
    QWidget* parent = nullptr;
    std::string initial_dir;        // logical folder (c:\...)
    std::string file_name;          // initial name or mask, e.g. "*.zip"
    std::string default_extension;  // appended when the user types a name without one
};

// What the windows need from the user. The platform implementation shows real dialogs; tests put
// a scripted one in its place.
class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual Answer message_box(const MessageRequest& request) = 0;
    // The chosen file as a logical path, nullopt when cancelled.
    virtual std::optional<std::string> open_file(const OpenFileRequest& request) = 0;
    // The chosen folder as a logical path (no trailing separator), nullopt when cancelled.
    virtual std::optional<std::string> browse_folder(QWidget* parent, const std::string& title) = 0;
};

// Sets up the platform's open-file dialog for a request: the initial folder as a host path, the
// name mask as filter, the default extension without its "*." (kInvalidInput for an unmapped
// drive).
void prepare_open_dialog(QFileDialog& dialog, const OpenFileRequest& request);

// The prompter in force (the platform one unless a test installed another).
Prompter& prompter();
// Installs a prompter; nullptr goes back to the platform one. The caller keeps ownership.
void set_prompter(Prompter* prompter);

// Shorthand for the common message box.
Answer message_box(QWidget* parent, const std::string& caption, const std::string& text,
                   Buttons buttons, Icon icon = Icon::kNone);

// The application's standard error box: the program's title as caption, the error's own text.
void show_exception(QWidget* parent, const std::exception& error);
inline constexpr const char* kApplicationTitle = "Pavoden2";

// The one runner of every user command: each button, menu item, key handler, activation and
// control change goes through it. It opens a tables::CommandScope, runs the command and commits
// the scope explicitly at the end, so a command's posts share one commit. An error ends the command
// at the failing step and is shown in the standard error box; the program goes on. What the
// command posted before the error is committed all the same. A commit that SQLite refuses is shown
// in the error box too (the error names the table and SQLite's reason), never swallowed. A runner
// inside another command (a modal window opened by a command) opens a nested scope, which joins
// the outer one. Returns false when the command or its commit failed.
bool guarded(QWidget* parent, const std::function<void()>& command);

// --- Modal windows.
// A hook runs once a modal window is shown, in place of the user; it must close the window.
using ModalHook = std::function<void(QDialog& window)>;

// Shows a window modally (centred on the screen) and returns its result once it closes. With
// scripting on, the next queued hook drives the window instead of an event loop; a window that
// opens with no hook queued, or that a hook leaves open, is closed and counted as unexpected.
int run_modal(QDialog& window);

// Scripting for tests: hooks are taken in the order queued.
void set_modal_scripting(bool on);
bool modal_scripting();
void queue_modal_hook(ModalHook hook);
int pending_modal_hooks();
// Windows that opened without a hook or were left open by their hook since scripting started.
int unexpected_modal_windows();
void clear_modal_hooks();

// Centres a top-level window on its screen.
void centre_on_screen(QWidget& window);

}  // namespace pavo::app::kit
