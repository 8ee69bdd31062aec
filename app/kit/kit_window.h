// The base of every window of the program: fixed size, centred, modal use, with an activation step
// run each time it becomes active. A window is closed by its own command; one that declares a close
// box may also be closed from its title bar (or Escape), once its close query agrees.
#pragma once

#include <QDialog>
#include <QSize>
#include <string>

namespace pavo::app::kit {

class KitWindow : public QDialog {
    Q_OBJECT
  public:
    // name: the window's object name ("Configuration"); caption: its title text (may be empty);
    // accessible: the name a screen reader announces (the caption when empty); close_box: the
    // title bar offers a close button (none when false).
    KitWindow(QWidget* owner, const std::string& name, const std::string& caption,
              QSize client_size, const std::string& accessible = {}, bool close_box = false);

    // Activation: the window became the active window (first show, or a window it opened closed).
    void activated();
    // Closes the window (its Exit command).
    void close_window();
    // Closes the window at once without asking its close query (program end, a test that left it
    // open). Nothing of the window's data is settled: a row pending in a dataset stays pending.
    void force_close();
    bool has_close_box() const { return close_box_; }

  protected:
    virtual void FormActivate() {}
    // Asked when the user closes the window with its close box (or Escape): true lets it close.
    // It runs inside the command runner, so an error it throws is shown and keeps the window open.
    virtual bool close_query() { return true; }
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape acts as the close box, and does nothing without one

  private:
    bool may_close_ = false;
    bool close_box_ = false;
    bool shown_once_ = false;
};

}  // namespace pavo::app::kit
