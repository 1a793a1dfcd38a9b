// The program as the player starts it, with its own lock name and folders
// and with message boxes that print themselves instead of waiting for a
// click, so that a test can run several copies side by side.
//
//   startup_probe <lock name> <program folder>
//
// The saved game is read from and written to the current directory. Prints one line per
// event: "BOX <title>|<first line of the text>", "READY", "SAVED", "ENDED".

#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "app/Program.h"
#include "platform/Dialogs.h"

namespace {

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

class PrintingDialogs final : public platform::Dialogs {
public:
    int MsgBox(const std::string& prompt, int, const std::string& title) override {
        Say("BOX " + title + "|" + prompt.substr(0, prompt.find('\r')));
        return platform::kOk;
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: startup_probe <lock name> <program folder>\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    app::ConfigureApplication(application);
    PrintingDialogs dialogs;
    app::ProgramOptions options;
    options.Startup = app::DefaultStartupSettings();
    options.Startup.InstanceName = argv[1];
    options.Startup.ProgramFolder = argv[2];
    options.Dialogs = &dialogs;
    app::Program program(std::move(options));
    auto save = program.Startup().Seams.SaveOnExit;
    program.Startup().Seams.SaveOnExit = [save] {
        const bool ending = save();
        Say("SAVED");
        return ending;
    };
    QObject::connect(&program.Startup(), &shell::Startup::Ready, [] { Say("READY"); });
    program.Start();
    const int code = QApplication::exec();
    Say("ENDED");
    return code;
}
