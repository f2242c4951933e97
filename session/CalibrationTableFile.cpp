#include "CalibrationTableFile.h"

#include <QFileInfo>

#include "RegularFile.h"
#include "SetupTransfer.h"

namespace session {

instrument::CalibrationTable readCalibrationTable(const QString& path)
{
    instrument::CalibrationTable table;
    QFile file;
    if (QString why; !openRegularFile(file, path, &why)) {
        table.problem = "cannot read it: " + why.toStdString();
        return table;
    }
    std::string problem;
    const std::string text = readAtMost(file, instrument::MaxTableFileBytes, &problem);
    if (!problem.empty()) {
        table.problem = problem;
        return table;
    }
    return instrument::parseCalibrationTable(text);
}

std::string addToCalibrationTable(const QString& path, instrument::LoHz hz, const std::string& setupText)
{
    const bool exists = QFileInfo::exists(path);
    const instrument::CalibrationTable table = exists ? readCalibrationTable(path) : instrument::CalibrationTable {};
    if (!table.problem.empty())
        return path.toStdString() + ": " + table.problem + "; nothing was added";
    std::string problem;
    const std::string text = instrument::withSection(table, hz, setupText, &problem);
    if (!problem.empty())
        return path.toStdString() + ": " + problem + "; nothing was added";
    return writeSetupFile(path, text);
}

} // namespace session
