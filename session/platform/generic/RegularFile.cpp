#include "RegularFile.h"

#include <QFileInfo>

namespace session {

// Without a way to open without blocking, the check comes before the open.
bool openRegularFile(QFile& file, const QString& path, QString* why)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *why = info.isDir() ? QString("it is a folder, not a file") : QString("it is not a file");
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return false;
    }
    return true;
}

} // namespace session
