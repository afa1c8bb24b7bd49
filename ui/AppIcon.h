#pragma once

#include <QIcon>

namespace quippet::ui {

/// The program's icon: the installed theme icon when the desktop can draw it, else the same
/// picture drawn here (a comment balloon over a film strip), so that the window never goes without.
QIcon app_icon();

} // namespace quippet::ui
