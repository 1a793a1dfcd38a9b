#include "development/HorseDevelopment.h"

#include "development/BreedingScreen.h"
#include "development/DrugsScreen.h"
#include "development/TrainingScreens.h"
#include "shell/Form1.h"

namespace development {

HorseDevelopment::HorseDevelopment(shell::Form1& form)
    : QObject(&form),
      breeding_(new BreedingScreen(form)),
      training_(new TrainingScreens(form)),
      drugs_(new DrugsScreen(form)) {
    setObjectName("HorseDevelopment");
}

}  // namespace development
