// Which windows and commands the program has: the menu enables an entry only when what it opens
// is registered, so windows that arrive later plug in without touching the menu.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

namespace pavo::app::shell {

class MainScreen;

// Creates a window owned by owner; it is shown modally and destroyed when it closes.
using WindowFactory = std::function<std::unique_ptr<QDialog>(QWidget* owner)>;
// A command the main window carries out (ZIP Databases, ...).
using MainCommand = std::function<void(MainScreen& main)>;

// Registers (or replaces, or with an empty factory removes) the window of a class name
// ("TConfiguration").
void register_window(const std::string& class_name, WindowFactory factory);
const WindowFactory* find_window(const std::string& class_name);
// Registers (or replaces, or removes) a command by its menu item's name ("ZIPDatabases1").
void register_command(const std::string& item_name, MainCommand command);
const MainCommand* find_command(const std::string& item_name);

// The windows this program carries itself (pick lists, configuration, table creation).
void register_builtin_windows();

}  // namespace pavo::app::shell
