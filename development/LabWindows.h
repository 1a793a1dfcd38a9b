#pragma once

#include <QObject>

#include "development/Form14.h"
#include "development/Form9.h"
#include "shell/FormWindow.h"

class QAction;

namespace shell {
class Form1;
}

namespace development {

// The genetics windows of the main window: the elite-horse window that each
// level-up opens, and the gene collection (Game > "Gene Collection"). Each
// is one window; once closed it is loaded afresh.
class LabWindows : public QObject {
    Q_OBJECT
public:
    // Installs the windows and the menu item on the main window, which owns
    // the result.
    static LabWindows& Install(shell::Form1& form);

    Form9* EliteHorse() const { return eliteHorse_.Loaded(); }
    Form14* GeneCollection() const { return genes_.Loaded(); }

    QAction* geneCollection = nullptr;  // Game > "Gene Collection"

private:
    explicit LabWindows(shell::Form1& form);

    shell::SingleInstance<Form9> eliteHorse_;
    shell::SingleInstance<Form14> genes_;
};

}  // namespace development
