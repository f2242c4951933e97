#pragma once

#include <QFile>
#include <QString>

namespace session {

// Opens a file for reading only if it is a regular file. A FIFO without a
// writer, a terminal or a device would hold the reader, and with it the
// windows and every client of the panel, until something arrives: those
// are refused before anything is read, and so is a directory. On refusal
// the file stays closed and `why` says why, in words for the user.
bool openRegularFile(QFile& file, const QString& path, QString* why);

} // namespace session
