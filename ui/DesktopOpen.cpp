#include "ui/DesktopOpen.h"

#include "text/OpenErrors.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace quippet::ui {
namespace {

std::function<int(const QString&)>& opener() {
    static std::function<int(const QString&)> instance;
    return instance;
}

} // namespace

int open_with_desktop(const QString& path) {
    if (opener()) return opener()(path);
    const QFileInfo info(path);
    if (!info.exists()) return info.dir().exists() ? kOpenFileMissing : kOpenPathMissing;
    // The desktop says only yes or no; a no for an existing file means nothing is set up to open it.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? kOpenSucceeded : kOpenNoHandler;
}

void set_desktop_opener(std::function<int(const QString&)> replacement) {
    opener() = std::move(replacement);
}

} // namespace quippet::ui
