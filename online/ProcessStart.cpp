#include "online/ProcessStart.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>

namespace online {

namespace {

QString PathText(const std::string& bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace

bool SystemProcessStarter::StartDetached(const std::filesystem::path& program,
                                         const std::vector<std::string>& arguments) {
    QStringList list;
    for (const std::string& argument : arguments) list << PathText(argument);
    return QProcess::startDetached(PathText(program.string()), list);
}

}  // namespace online
