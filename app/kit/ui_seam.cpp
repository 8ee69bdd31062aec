// Platform message boxes and dialogs, the standard error box, and the modal runner with its test
// hooks.
#include "app/kit/ui_seam.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <deque>
#include <filesystem>

#include "app/kit/kit_window.h"
#include "app/kit/qt_text.h"
#include "platform/drive_map.h"
#include "tables/table.h"

namespace pavo::app::kit {
namespace {

class PlatformPrompter : public Prompter {
  public:
    Answer message_box(const MessageRequest& request) override {
        QMessageBox box(request.parent);
        box.setObjectName("MessageBox");
        box.setWindowTitle(request.caption.empty() ? q(kApplicationTitle) : q(request.caption));
        box.setTextFormat(Qt::PlainText);
        box.setText(q(request.text));
        switch (request.icon) {
            case Icon::kNone:
                box.setIcon(QMessageBox::NoIcon);
                break;
            case Icon::kInformation:
                box.setIcon(QMessageBox::Information);
                break;
            case Icon::kWarning:
                box.setIcon(QMessageBox::Warning);
                break;
            case Icon::kError:
                box.setIcon(QMessageBox::Critical);
                break;
        }
        switch (request.buttons) {
            case Buttons::kOk:
                box.setStandardButtons(QMessageBox::Ok);
                break;
            case Buttons::kOkCancel:
                box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
                break;
            case Buttons::kYesNo:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
                break;
            case Buttons::kYesNoCancel:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                box.setEscapeButton(QMessageBox::Cancel);
                break;
        }
        box.setAccessibleName(box.windowTitle());
        box.setAccessibleDescription(q(request.text));
        const int result = box.exec();
        switch (result) {
            case QMessageBox::Yes:
                return Answer::kYes;
            case QMessageBox::No:
                return Answer::kNo;
            case QMessageBox::Cancel:
                return Answer::kCancel;
            default:
                return request.buttons == Buttons::kYesNo
                           ? Answer::kNo
                           : (request.buttons == Buttons::kOk ? Answer::kOk : Answer::kCancel);
        }
    }

    std::optional<std::string> open_file(const OpenFileRequest& request) override {
        QFileDialog dialog(request.parent);
        prepare_open_dialog(dialog, request);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return DriveMap::current().to_logical(dialog.selectedFiles().front().toStdString());
    }

    std::optional<std::string> browse_folder(QWidget* parent, const std::string& title) override {
        const QString chosen = QFileDialog::getExistingDirectory(parent, q(title), QString(),
                                                                 QFileDialog::DontUseNativeDialog);
        if (chosen.isEmpty()) return std::nullopt;
        return DriveMap::current().to_logical(chosen.toStdString());
    }
};

PlatformPrompter& platform_prompter() {
    static PlatformPrompter instance;
    return instance;
}

Prompter* g_prompter = nullptr;

struct ModalScript {
    bool on = false;
    std::deque<ModalHook> hooks;
    int unexpected = 0;
};

ModalScript& script() {
    static ModalScript s;
    return s;
}

}  // namespace

void prepare_open_dialog(QFileDialog& dialog, const OpenFileRequest& request) {
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const std::filesystem::path dir = DriveMap::current().to_host(request.initial_dir);
    dialog.setDirectory(QString::fromStdString(dir.string()));
    if (!request.file_name.empty()) dialog.setNameFilter(q(request.file_name));
    // Callers pass the extension as a mask ("*.zip"); the dialog wants the bare suffix.
    std::string ext = request.default_extension;
    while (!ext.empty() && (ext.front() == '*' || ext.front() == '.')) ext.erase(0, 1);
    if (!ext.empty()) dialog.setDefaultSuffix(q(ext));
}

Prompter& prompter() {
    return g_prompter ? *g_prompter : platform_prompter();
}
void set_prompter(Prompter* p) {
    g_prompter = p;
}

Answer message_box(QWidget* parent, const std::string& caption, const std::string& text,
                   Buttons buttons, Icon icon) {
    return prompter().message_box({parent, caption, text, buttons, icon});
}

void show_exception(QWidget* parent, const std::exception& error) {
    message_box(parent, kApplicationTitle, error.what(), Buttons::kOk, Icon::kError);
}

bool guarded(QWidget* parent, const std::function<void()>& command) {
    bool ok = true;
    tables::CommandScope scope;
    try {
        command();
    } catch (const std::exception& e) {
        show_exception(parent, e);
        ok = false;
    }
    // Committed even after a failed step: the rows posted before it are what the user saw happen.
    try {
        scope.commit();
    } catch (const std::exception& e) {
        show_exception(parent, e);
        ok = false;
    }
    return ok;
}

void centre_on_screen(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

int run_modal(QDialog& window) {
    window.setModal(true);
    centre_on_screen(window);
    QWidget* opener = window.parentWidget();
    int result = 0;
    ModalScript& s = script();
    if (!s.on) {
        result = window.exec();
    } else {
        window.show();
        if (s.hooks.empty()) {
            ++s.unexpected;
        } else {
            ModalHook hook = std::move(s.hooks.front());
            s.hooks.pop_front();
            hook(window);
        }
        if (window.isVisible()) {
            if (auto* kw = qobject_cast<KitWindow*>(&window)) {
                kw->force_close();
            } else {
                window.done(QDialog::Rejected);
            }
            ++s.unexpected;
        }
        result = window.result();
    }
    // Closing a modal window makes its opener the active window again, which re-runs the opener's
    // activation step.
    if (auto* kw = qobject_cast<KitWindow*>(opener)) kw->activated();
    return result;
}

void set_modal_scripting(bool on) {
    ModalScript& s = script();
    s.on = on;
    s.hooks.clear();
    s.unexpected = 0;
}
bool modal_scripting() {
    return script().on;
}
void queue_modal_hook(ModalHook hook) {
    script().hooks.push_back(std::move(hook));
}
int pending_modal_hooks() {
    return static_cast<int>(script().hooks.size());
}
int unexpected_modal_windows() {
    return script().unexpected;
}
void clear_modal_hooks() {
    script().hooks.clear();
}

}  // namespace pavo::app::kit
