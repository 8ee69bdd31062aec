// Start-up of the program: the main window first, then the shared datasets; a failure of either is
// shown and ends the program with a non-zero status.
#pragma once

#include <memory>

#include "app/shell/main_screen.h"
#include "store/data_module.h"

namespace pavo::app::shell {

class Program {
  public:
    Program();
    ~Program();
    // Creates the main window and the data module and shows the main window. Returns 0, or 1
    // after showing the error in the standard error box (nothing stays created then).
    int start();
    MainScreen* main_screen() const { return main_.get(); }
    store::DataModule* data_module() const { return data_.get(); }

  private:
    std::unique_ptr<MainScreen> main_;
    std::unique_ptr<store::DataModule> data_;
};

// The whole program: application object, start-up, message loop. Returns the exit status.
int run_program(int argc, char** argv);

}  // namespace pavo::app::shell
