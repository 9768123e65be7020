// The application icon, drawn at run time so that no image file is needed.
#pragma once

#include <QIcon>

namespace xoprex::ui {

QIcon appIcon();

}  // namespace xoprex::ui
