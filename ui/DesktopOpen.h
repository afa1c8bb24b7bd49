#pragma once

#include <QString>

#include <functional>

namespace quippet::ui {

/// Opens a file with the desktop's default program for its type. Returns a shell result code of
/// text/OpenErrors.h: kOpenSucceeded, or the code whose text explains the failure.
int open_with_desktop(const QString& path);

/// Replaces the desktop for open_with_desktop (tests record the paths instead of starting
/// programs); an empty function puts the desktop back. Returns the code to report.
void set_desktop_opener(std::function<int(const QString&)> opener);

} // namespace quippet::ui
