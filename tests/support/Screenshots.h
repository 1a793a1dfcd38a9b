#pragma once

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <string>

namespace testing_support {

// Saves a picture of a window when TROTWICK_SCREENSHOTS names a folder, so a
// person can look at what the tests built. Does nothing otherwise.
inline void SaveScreenshot(QWidget& widget, const std::string& name) {
    const QString folder = qEnvironmentVariable("TROTWICK_SCREENSHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    widget.ensurePolished();
    widget.grab().save(folder + "/" + QString::fromStdString(name) + ".png");
}

}  // namespace testing_support
