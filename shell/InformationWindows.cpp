#include "shell/InformationWindows.h"

#include <QAction>
#include <QMenu>

#include "shell/Form1.h"

namespace shell {

InformationWindows& InformationWindows::Install(Form1& form) { return *new InformationWindows(form); }

InformationWindows::InformationWindows(Form1& form)
    : QObject(&form),
      about_([&form] { return new Form5(&form); }),
      disclaimer_([&form] { return new Form7(&form); }),
      profile_([&form] { return new Form8(form.Game(), &form); }),
      helpFiles_([&form] { return new Form12(&form); }) {
    setObjectName("InformationWindows");
    form.SetOpener(SmallWindow::About, [this] { about_.Show(); });
    form.SetOpener(SmallWindow::Disclaimer, [this] { disclaimer_.Show(); });
    form.SetOpener(SmallWindow::PlayerStats, [this] { profile_.Show(); });
    form.SetOpener(SmallWindow::HelpFiles, [this] { helpFiles_.Show(); });

    // Help: the help files and the disclaimer above "About".
    helpFiles = new QAction(QStringLiteral("&Help Files"), form.HelpMenu());
    helpFiles->setObjectName("helpFiles");
    disclaimer = new QAction(QStringLiteral("&Disclaimer"), form.HelpMenu());
    disclaimer->setObjectName("disclaimer");
    form.HelpMenu()->insertAction(form.ab, helpFiles);
    form.HelpMenu()->insertAction(form.ab, disclaimer);
    form.HelpMenu()->insertSeparator(form.ab);
    connect(helpFiles, &QAction::triggered, &form, &Form1::ShowHelpFiles);
    connect(disclaimer, &QAction::triggered, &form, &Form1::ShowDisclaimer);

    // Game: the profile above "Quit".
    profile = new QAction(QStringLiteral("&Player Profile"), form.GameMenu());
    profile->setObjectName("profile");
    form.GameMenu()->insertAction(form.exit_, profile);
    connect(profile, &QAction::triggered, &form, &Form1::ShowPlayerStats);
}

}  // namespace shell
