// The program's own pictures, drawn at run time: the main window's banner and the side-panel
// emblem.
#pragma once

#include <QPixmap>
#include <QSize>

namespace pavo::app::kit {

// An open ledger with a quill in front of a ridge at dusk: what the program keeps, where.
QPixmap banner_picture(QSize size);
// A small stack of filed papers with a pencil, for the side panels.
QPixmap panel_picture(QSize size);

}  // namespace pavo::app::kit
