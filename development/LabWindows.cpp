#include "development/LabWindows.h"

#include <QAction>
#include <QMenu>

#include "shell/Form1.h"
#include "shell/TreeView.h"

namespace development {

LabWindows& LabWindows::Install(shell::Form1& form) { return *new LabWindows(form); }

LabWindows::LabWindows(shell::Form1& form)
    : QObject(&form),
      eliteHorse_([&form] { return new Form9(form.Game(), form, *form.StableTree, &form); }),
      genes_([&form] { return new Form14(&form); }) {
    setObjectName("LabWindows");
    form.SetOpener(shell::SmallWindow::EliteHorse, [this] { eliteHorse_.Show(); });
    form.SetOpener(shell::SmallWindow::GeneCollection, [this] { genes_.Show(); });

    geneCollection = new QAction(QStringLiteral("Gene &Collection"), form.GameMenu());
    geneCollection->setObjectName("geneCollection");
    form.GameMenu()->insertAction(form.exit_, geneCollection);
    connect(geneCollection, &QAction::triggered, &form, [&form] { form.Open(shell::SmallWindow::GeneCollection); });
}

}  // namespace development
