#pragma once

#include <QObject>

#include "shell/Form12.h"
#include "shell/Form5.h"
#include "shell/Form7.h"
#include "shell/Form8.h"
#include "shell/FormWindow.h"

class QAction;

namespace shell {

class Form1;

// The main window's information windows: About (Help > "About"), Help Files
// and Disclaimer (Help menu), and the Player Profile (Game menu). Each is
// one window: opening it again while it is open brings the same window
// forward; once closed, it is loaded afresh.
class InformationWindows : public QObject {
    Q_OBJECT
public:
    // Installs the windows and their menu items on the main window, which
    // owns the result.
    static InformationWindows& Install(Form1& form);

    Form5* About() const { return about_.Loaded(); }
    Form7* Disclaimer() const { return disclaimer_.Loaded(); }
    Form8* PlayerProfile() const { return profile_.Loaded(); }
    Form12* HelpFiles() const { return helpFiles_.Loaded(); }

    QAction* helpFiles = nullptr;   // Help > "Help Files"
    QAction* disclaimer = nullptr;  // Help > "Disclaimer"
    QAction* profile = nullptr;     // Game > "Player Profile"

private:
    explicit InformationWindows(Form1& form);

    SingleInstance<Form5> about_;
    SingleInstance<Form7> disclaimer_;
    SingleInstance<Form8> profile_;
    SingleInstance<Form12> helpFiles_;
};

}  // namespace shell
