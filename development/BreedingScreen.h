#pragma once

#include <QObject>
#include <QPointer>
#include <map>
#include <optional>
#include <vector>

#include "development/Breeding.h"

namespace shell {
class Form1;
}

namespace development {

class Form2;

// Breeding on the stable screen: "Breed Horses" (Command5), the Baby timer
// that delivers the foal, and the foal windows, several of which may be open
// at once. Installs itself on the window it is given.
class BreedingScreen : public QObject {
    Q_OBJECT
public:
    static constexpr int kFoalWindowSlots = 100000;

    explicit BreedingScreen(shell::Form1& form);

    void Command5_Click();  // "Breed Horses"
    void Baby_Timer();

    // The foal window held under an index, or null.
    Form2* FoalWindow(int index) const;
    // The foal windows still waiting for a name.
    std::vector<Form2*> OpenFoalWindows() const;

private:
    void GameReset();
    int FreeWindowIndex() const;

    shell::Form1& form_;
    std::optional<FoalTicket> onItsWay_;
    std::map<int, QPointer<Form2>> foalWindows_;
};

}  // namespace development
