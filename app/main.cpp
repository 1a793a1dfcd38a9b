#include <QApplication>

#include "app/Program.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::ConfigureApplication(application);
    app::Program program({app::DefaultStartupSettings()});
    program.Start();
    return QApplication::exec();
}
