// Text between the program's UTF-8 strings and Qt's: the one conversion the kit and the windows
// share.
#pragma once

#include <QString>
#include <string>

namespace pavo::app::kit {

inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace pavo::app::kit
