#include "core/Game.h"

namespace core {

Game::Game() : Game(std::make_unique<runtime::LcgRandom>()) {}

Game::Game(std::unique_ptr<runtime::RandomSource> random) : random_(std::move(random)) {}

}  // namespace core
