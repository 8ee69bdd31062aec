// Small widgets every window uses: the lime side panel, the check-list box, the status bar that
// repaints its progress text during a long scan, and the captioned-field helper.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <functional>
#include <string>
#include <vector>

namespace pavo::app::kit {

// Lime is fixed whatever colour name the configuration stores.
inline const QColor kLime{0, 255, 0};

// A panel whose background is painted lime on request (windows do it on activation) or left in
// the window's face colour.
class SidePanel : public QFrame {
    Q_OBJECT
  public:
    SidePanel(QWidget* parent, const std::string& name);
    void paint_lime();
    void paint_face();
    QColor colour() const;
};

// A list of texts, each with a check box.
class CheckListBox : public QListWidget {
    Q_OBJECT
  public:
    CheckListBox(QWidget* parent, const std::string& name);
    void set_items(const std::vector<std::string>& items);
    void set_checked(int row, bool on);
    bool checked(int row) const;
    std::vector<std::string> checked_items() const;
};

// A status bar for long scans: "n of count" is painted at once, without waiting for the event
// loop, so the user sees the scan move while the window is busy.
class ProgressStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    ProgressStatusBar(QWidget* parent, const std::string& name);
    void show_progress(int reached, int count);
    void show_text(const std::string& text);
    QString text() const;
    int repaints() const { return repaints_; }

  private:
    QLabel* label_;
    int repaints_ = 0;
};

// A caption label placed at (x, y), made the buddy of field so that screen readers and tests find
// the field by its caption.
QLabel* caption_for(QWidget* parent, QWidget* field, const std::string& name,
                    const std::string& caption, int x, int y, bool bold = true);

}  // namespace pavo::app::kit

namespace pavo::app::kit {

// Opens something (a pick list) from a key pressed in an entry field: only for the given key, or
// for any key when key is 0. The key is consumed, so it never reaches the field.
void open_on_key(QWidget* field, int key, std::function<void()> open);

}  // namespace pavo::app::kit
