#pragma once

#include <QObject>

namespace shell {
class Form1;
}

namespace development {

class BreedingScreen;
class DrugsScreen;
class TrainingScreens;

// Everything horse development adds to the main window: breeding and the
// foal windows, the improvement and training screens, the drugs screen.
class HorseDevelopment : public QObject {
    Q_OBJECT
public:
    explicit HorseDevelopment(shell::Form1& form);

    BreedingScreen& Breeding() const { return *breeding_; }
    TrainingScreens& Training() const { return *training_; }
    DrugsScreen& Drugs() const { return *drugs_; }

private:
    BreedingScreen* breeding_;
    TrainingScreens* training_;
    DrugsScreen* drugs_;
};

}  // namespace development
