// Long runs on the user-interface thread.
#include "app/kit/long_run.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>

namespace pavo::app::kit {
namespace {

bool is_user_input(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::Drop:
        case QEvent::DragEnter:
        case QEvent::DragMove:
            return true;
        default:
            return false;
    }
}

// Installed on the application while a run handles events: input reaches only the Cancel button,
// and no window closes under the run.
// Enables the Cancel button for one run and links it to the run's flag; whatever way the run
// ends, the link is cut and the button given back as it was.
class CancelLink {
  public:
    CancelLink(const QPointer<QAbstractButton>& cancel, bool& cancelled)
        : cancel_(cancel), was_enabled_(cancel && cancel->isEnabled()) {
        if (!cancel_) return;
        cancel_->setEnabled(true);
        link_ = QObject::connect(cancel_, &QAbstractButton::clicked,
                                 [&cancelled] { cancelled = true; });
    }
    ~CancelLink() {
        QObject::disconnect(link_);
        if (cancel_) cancel_->setEnabled(was_enabled_);
    }
    CancelLink(const CancelLink&) = delete;
    CancelLink& operator=(const CancelLink&) = delete;

  private:
    QPointer<QAbstractButton> cancel_;
    bool was_enabled_;
    QMetaObject::Connection link_;
};

class InputGate : public QObject {
  public:
    explicit InputGate(QAbstractButton* cancel) : cancel_(cancel) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Events reach the native window first and are passed on to the widget; judge them there.
        if (!watched->isWidgetType()) return false;
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (!is_user_input(event->type())) return false;
        const bool to_cancel =
            cancel_ && (watched == cancel_ ||
                        (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
                         cancel_->isAncestorOf(static_cast<QWidget*>(watched))));
        return !to_cancel;
    }

  private:
    QPointer<QAbstractButton> cancel_;
};

// The gate in place on the application for as long as it lives.
class GateInPlace {
  public:
    explicit GateInPlace(InputGate& gate) : gate_(gate) { qApp->installEventFilter(&gate_); }
    ~GateInPlace() { qApp->removeEventFilter(&gate_); }
    GateInPlace(const GateInPlace&) = delete;
    GateInPlace& operator=(const GateInPlace&) = delete;

  private:
    InputGate& gate_;
};

}  // namespace

LongRun::LongRun(QAbstractButton* cancel, ProgressStatusBar* status)
    : cancel_(cancel), clock_([] { return std::chrono::steady_clock::now(); }) {
    show_text_ = [status](const std::string& text) {
        if (status) status->show_text(text);
    };
}

LongRun::LongRun(QAbstractButton* cancel, QLabel* label)
    : cancel_(cancel), clock_([] { return std::chrono::steady_clock::now(); }) {
    show_text_ = [label](const std::string& text) {
        if (!label) return;
        label->setText(QString::fromStdString(text));
        // The run holds the thread, so the label is painted now.
        if (label->isVisible()) label->repaint();
    };
}

void LongRun::show(int reached, int count) {
    show_text_(std::to_string(reached) + " of " + std::to_string(count));
    ++shown_;
}

bool LongRun::run(const std::vector<tables::Table*>& tables, int count,
                  const std::function<void(int)>& step) {
    cancelled_ = false;
    shown_ = 0;
    QPointer<QAbstractButton> cancel = cancel_;
    const CancelLink link(cancel, cancelled_);
    InputGate gate(cancel);

    tables::Transaction transaction(tables);
    auto last = clock_();
    int reached = 0;
    int shown_at = -1;
    while (reached < count && !cancelled_) {
        step(reached);
        ++reached;
        const auto now = clock_();
        if (now - last >= kPace) {
            last = now;
            show(reached, count);
            shown_at = reached;
            // The gate stands only here: a step may open a window the user must answer.
            const GateInPlace open(gate);
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }
    if (shown_at != reached) show(reached, count);
    if (cancelled_) {
        transaction.rollback();
        return false;
    }
    transaction.commit();
    return true;
}

bool LongRun::run_reporting(const std::function<void(const Reporter&)>& operation) {
    cancelled_ = false;
    shown_ = 0;
    QPointer<QAbstractButton> cancel = cancel_;
    const CancelLink link(cancel, cancelled_);
    InputGate gate(cancel);

    auto last = clock_();
    long long reached = -1, count = 0, shown_at = -1;
    operation([&](long long r, long long n) {
        reached = r;
        count = n;
        const auto now = clock_();
        if (now - last >= kPace) {
            last = now;
            show(static_cast<int>(r), static_cast<int>(n));
            shown_at = r;
            const GateInPlace open(gate);
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        return !cancelled_;
    });
    if (reached >= 0 && shown_at != reached)
        show(static_cast<int>(reached), static_cast<int>(count));
    return !cancelled_;
}

}  // namespace pavo::app::kit
