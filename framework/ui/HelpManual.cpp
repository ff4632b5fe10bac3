#include "framework/ui/HelpManual.h"

#include <QDesktopServices>

namespace quillet {

QUrl HelpManual::url(const std::string& section) const {
    std::string folder = folder_;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    QUrl u = QUrl::fromLocalFile(QString::fromStdString(folder + "index.html"));
    if (!section.empty()) u.setFragment(QString::fromStdString(section));
    return u;
}

bool HelpManual::open(const std::string& section) const { return QDesktopServices::openUrl(url(section)); }

}  // namespace quillet
