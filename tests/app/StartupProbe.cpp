// The program as the player starts it, with its own lock name and folders
// and with message boxes that print themselves, so that a test can run
// several copies side by side.
//
//   startup_probe <lock name> <program folder> [real-boxes]
//
// Without "real-boxes" a box prints itself and is answered at once with OK.
// With it, the boxes are the program's own modal boxes, which wait for a
// click that never comes; each prints itself as it opens. A line "ASK" on
// the standard input then opens one more such box (Yes and No, no Escape)
// in the middle of play.
//
// The saved game is read from and written to the current directory. Prints one line per
// event: "BOX <title>|<first line of the text>", "READY", "SAVED", "ENDED".

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "app/Program.h"
#include "platform/Dialogs.h"
#include "platform/QtDialogs.h"
#include "shell/Form1.h"

namespace {

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void SayBox(const std::string& prompt, const std::string& title) {
    Say("BOX " + title + "|" + prompt.substr(0, prompt.find('\r')));
}

class PrintingDialogs final : public platform::Dialogs {
public:
    int MsgBox(const std::string& prompt, int, const std::string& title) override {
        SayBox(prompt, title);
        return platform::kOk;
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

class AnnouncedRealDialogs final : public platform::Dialogs {
public:
    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        SayBox(prompt, title);
        return real_.MsgBox(prompt, style, title);
    }
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        SayBox(prompt, title);
        return real_.InputBox(prompt, title, defaultText);
    }

private:
    platform::QtDialogs real_;
};

// "ASK" lines on the standard input open a box during play.
void ListenForQuestions(app::Program& program, QObject* owner) {
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, owner);
    QObject::connect(input, &QSocketNotifier::activated, owner, [&program, input] {
        char buffer[64];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input->setEnabled(false);
            return;
        }
        if (std::strncmp(buffer, "ASK", 3) == 0) {
            program.Form1().Dialogs().MsgBox("Are you still there?", platform::kYesNo | platform::kQuestion, "Probe");
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    const bool realBoxes = argc == 4 && std::strcmp(argv[3], "real-boxes") == 0;
    if (argc != 3 && !realBoxes) {
        std::fputs("usage: startup_probe <lock name> <program folder> [real-boxes]\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    app::ConfigureApplication(application);
    PrintingDialogs printing;
    AnnouncedRealDialogs real;
    app::ProgramOptions options;
    options.Startup = app::DefaultStartupSettings();
    options.Startup.InstanceName = argv[1];
    options.Startup.ProgramFolder = argv[2];
    options.Dialogs = realBoxes ? static_cast<platform::Dialogs*>(&real) : &printing;
    app::Program program(std::move(options));
    if (realBoxes) ListenForQuestions(program, &application);
    auto save = program.Startup().Seams.SaveOnExit;
    program.Startup().Seams.SaveOnExit = [save](bool mayAsk, std::function<void(bool)> done) {
        save(mayAsk, [done](bool ending) {
            Say("SAVED");
            done(ending);
        });
    };
    QObject::connect(&program.Startup(), &shell::Startup::Ready, [] { Say("READY"); });
    program.Start();
    const int code = QApplication::exec();
    Say("ENDED");
    return code;
}
