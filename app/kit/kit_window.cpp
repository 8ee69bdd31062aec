// Window base: frame, size, centring, activation and the closing rules.
#include "app/kit/kit_window.h"

#include <QCloseEvent>
#include <QShowEvent>

#include "app/kit/ui_seam.h"

namespace pavo::app::kit {

KitWindow::KitWindow(QWidget* owner, const std::string& name, const std::string& caption,
                     QSize client_size, const std::string& accessible, bool close_box)
    : QDialog(owner), close_box_(close_box) {
    setObjectName(QString::fromStdString(name));
    // Without a close box the title bar has no buttons: the window is left through its own command.
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (close_box) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    setWindowFlags(flags);
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
        return;
    }
    bool agreed = false;
    if (close_box_) guarded(this, [&] { agreed = close_query(); });
    if (!agreed) {
        event->ignore();
        return;
    }
    may_close_ = true;
    QDialog::closeEvent(event);
    may_close_ = false;
}

void KitWindow::reject() {
    if (may_close_) {
        QDialog::reject();
    } else if (close_box_) {
        close();
    }
}

}  // namespace pavo::app::kit
