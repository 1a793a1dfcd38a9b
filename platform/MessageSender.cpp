#include "platform/MessageSender.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "platform/QtText.h"

namespace platform {

namespace {

// smbclient ends each line the messenger way itself (a line feed becomes
// CR LF) and reads the locale's character set, UTF-8 here.
QByteArray MessengerInput(const std::string& text) {
    QByteArray input = ToQString(text).toUtf8();
    input.replace("\r\n", "\n");
    return input;
}

}  // namespace

bool IsSingleName(std::string_view recipient) {
    if (recipient.empty() || recipient.front() == '-') return false;
    return std::none_of(recipient.begin(), recipient.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F || byte == 0xA0;
    });
}

SmbclientSender::SmbclientSender(QObject* parent) : QObject(parent) {}

QString SmbclientSender::FindMessenger() { return QStandardPaths::findExecutable(QStringLiteral("smbclient")); }

void SmbclientSender::Send(const std::string& recipient, const std::string& text, Done done) {
    if (!IsSingleName(recipient)) {
        done(SendResult::Refused);
        return;
    }
    const QString program = FindMessenger();
    if (program.isEmpty()) {
        done(SendResult::NoMessenger);
        return;
    }

    auto* process = new QProcess(this);
    // Several signals may end one run (an error, then the finish): the
    // answer is given once.
    auto pending = std::make_shared<Done>(std::move(done));
    const auto answer = [process, pending](SendResult result) {
        if (*pending) std::exchange(*pending, nullptr)(result);
        process->deleteLater();
    };
    connect(process, &QProcess::errorOccurred, this, [answer](QProcess::ProcessError error) {
        // A crash or a stop is followed by finished(); a failed start is not.
        if (error == QProcess::FailedToStart) answer(SendResult::Failed);
    });
    connect(process, &QProcess::finished, this, [answer](int exitCode, QProcess::ExitStatus status) {
        answer(status == QProcess::NormalExit && exitCode == 0 ? SendResult::Sent : SendResult::Failed);
    });
    QTimer::singleShot(timeout_, process, [process] { process->kill(); });

    // The messenger's own output is not read; it must not fill a pipe.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->setProgram(program);
    process->setArguments({QStringLiteral("-N"), QStringLiteral("-M"), ToQString(recipient)});
    process->start(QIODevice::WriteOnly);
    process->write(MessengerInput(text));
    process->closeWriteChannel();
}

}  // namespace platform
