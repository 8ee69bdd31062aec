// The base of every window of the program: fixed size, centred, no title-bar buttons, modal use,
// closed only by its own command, with an activation step run each time it becomes active.
#pragma once

#include <QDialog>
#include <QSize>
#include <string>

namespace pavo::app::kit {

class KitWindow : public QDialog {
    Q_OBJECT
  public:
    // name: the window's object name ("Configuration"); caption: its title text (may be empty);
    // accessible: the name a screen reader announces (the caption when empty).
    KitWindow(QWidget* owner, const std::string& name, const std::string& caption,
              QSize client_size, const std::string& accessible = {});

    // Activation: the window became the active window (first show, or a window it opened closed).
    void activated();
    // Closes the window (its Exit command).
    void close_window();
    // Closes the window whatever state it is in (program end, a test that left it open).
    void force_close();

  protected:
    virtual void FormActivate() {}
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape does not close a window that has no close box

  private:
    bool may_close_ = false;
    bool shown_once_ = false;
};

}  // namespace pavo::app::kit
