// trotwick-server: the online-services server of Trotwick.
#include <sys/resource.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/TerminationSignals.h"
#include "server/CommandLine.h"
#include "server/OnlineServer.h"
#include "server/ServerLog.h"

namespace {

// Each port holds thousands of clients, a file descriptor each: the soft
// limit of open files (often 1,024) goes up as far as the hard one allows.
void RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = 4 * server::OnlineServer::kMaxClientsPerPort + 256;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string program = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "trotwick-server";
    const server::CommandLine commandLine = server::ParseCommandLine(arguments, server::ProcessEnvironment());
    switch (commandLine.kind) {
    case server::CommandLine::Kind::Help:
        std::fputs(server::HelpText(program).c_str(), stdout);
        return 0;
    case server::CommandLine::Kind::Error:
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), commandLine.message.c_str(),
                     program.c_str());
        return 2;
    case server::CommandLine::Kind::Run:
        break;
    }

    RaiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    server::StreamLog log;
    platform::TerminationSignals termination;
    server::OnlineServer onlineServer(commandLine.options, server::ServicePorts{}, log);
    std::string error;
    if (!onlineServer.Start(error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    QObject::connect(&termination, &platform::TerminationSignals::Received, &app, [&](int signalNumber) {
        log.Write("stopping (signal " + std::to_string(signalNumber) + ")");
        onlineServer.Stop();
        app.quit();
    });
    const int status = app.exec();
    log.Write("stopped");
    return status;
}
