// Window base: frame, size, centring, activation and the closing rules.
#include "app/kit/kit_window.h"

#include <QCloseEvent>
#include <QShowEvent>

#include "app/kit/ui_seam.h"

namespace pavo::app::kit {

KitWindow::KitWindow(QWidget* owner, const std::string& name, const std::string& caption,
                     QSize client_size, const std::string& accessible)
    : QDialog(owner) {
    setObjectName(QString::fromStdString(name));
    // A title bar without buttons: the window is left through its own Exit command only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QString::fromStdString(caption));
    setAccessibleName(QString::fromStdString(accessible.empty() ? caption : accessible));
    setFixedSize(client_size);
    setSizeGripEnabled(false);
}

void KitWindow::activated() {
    guarded(this, [this] { FormActivate(); });
}

void KitWindow::close_window() {
    may_close_ = true;
    done(QDialog::Accepted);
    may_close_ = false;
}

void KitWindow::force_close() {
    close_window();
}

void KitWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_once_) {
        shown_once_ = true;
        centre_on_screen(*this);
        guarded(this, [this] { FormActivate(); });
    }
}

void KitWindow::closeEvent(QCloseEvent* event) {
    if (may_close_) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

void KitWindow::reject() {
    if (may_close_) QDialog::reject();
}

}  // namespace pavo::app::kit
