// Side panel, check-list box, progress status bar and captions.
#include "app/kit/widgets.h"

#include <QFont>
#include <QKeyEvent>

#include "app/kit/ui_seam.h"

namespace pavo::app::kit {

SidePanel::SidePanel(QWidget* parent, const std::string& name) : QFrame(parent) {
    setObjectName(QString::fromStdString(name));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
}

void SidePanel::paint_lime() {
    QPalette p = palette();
    p.setColor(QPalette::Window, kLime);
    setPalette(p);
    update();
}

void SidePanel::paint_face() {
    setPalette(QPalette());
    update();
}

QColor SidePanel::colour() const {
    return palette().color(QPalette::Window);
}

CheckListBox::CheckListBox(QWidget* parent, const std::string& name) : QListWidget(parent) {
    setObjectName(QString::fromStdString(name));
}

void CheckListBox::set_items(const std::vector<std::string>& items) {
    clear();
    for (const std::string& text : items) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), this);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void CheckListBox::set_checked(int row, bool on) {
    if (QListWidgetItem* it = item(row)) it->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

bool CheckListBox::checked(int row) const {
    const QListWidgetItem* it = item(row);
    return it && it->checkState() == Qt::Checked;
}

std::vector<std::string> CheckListBox::checked_items() const {
    std::vector<std::string> out;
    for (int i = 0; i < count(); ++i)
        if (checked(i)) out.push_back(item(i)->text().toStdString());
    return out;
}

ProgressStatusBar::ProgressStatusBar(QWidget* parent, const std::string& name)
    : QStatusBar(parent), label_(new QLabel(this)) {
    setObjectName(QString::fromStdString(name));
    setSizeGripEnabled(false);
    label_->setObjectName(QString::fromStdString(name + "_text"));
    addWidget(label_, 1);
}

void ProgressStatusBar::show_progress(int reached, int count) {
    show_text(std::to_string(reached) + " of " + std::to_string(count));
}

void ProgressStatusBar::show_text(const std::string& text) {
    label_->setText(QString::fromStdString(text));
    setAccessibleDescription(label_->text());
    // The scan holds the user-interface thread, so the paint must happen now.
    if (isVisible()) label_->repaint();
    ++repaints_;
}

QString ProgressStatusBar::text() const {
    return label_->text();
}

QLabel* caption_for(QWidget* parent, QWidget* field, const std::string& name,
                    const std::string& caption, int x, int y, bool bold) {
    auto* label = new QLabel(QString::fromStdString(caption), parent);
    label->setObjectName(QString::fromStdString(name));
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    label->move(x, y);
    label->adjustSize();
    if (field) {
        label->setBuddy(field);
        // Qt names line edits after their buddy label; other controls need it said.
        if (field->accessibleName().isEmpty()) field->setAccessibleName(label->text());
    }
    return label;
}

}  // namespace pavo::app::kit

namespace pavo::app::kit {
namespace {

class KeyOpener : public QObject {
  public:
    KeyOpener(QWidget* field, int key, std::function<void()> open)
        : QObject(field), key_(key), open_(std::move(open)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const int pressed = static_cast<QKeyEvent*>(event)->key();
        if (key_ != 0 && pressed != key_) return false;
        guarded(qobject_cast<QWidget*>(watched)->window(), open_);
        return true;
    }

  private:
    int key_;
    std::function<void()> open_;
};

}  // namespace

void open_on_key(QWidget* field, int key, std::function<void()> open) {
    field->installEventFilter(new KeyOpener(field, key, std::move(open)));
}

}  // namespace pavo::app::kit
