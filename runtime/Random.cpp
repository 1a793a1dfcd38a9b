#include "runtime/Random.h"

#include <chrono>
#include <cstring>
#include <ctime>

namespace runtime {

float LcgRandom::Rnd() {
    seed_ = (seed_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<float>(seed_) / 16777216.0f;
}

void LcgRandom::Randomize(double number) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    const auto high = static_cast<std::uint32_t>(bits >> 32);
    const std::uint32_t mixed = (high ^ (high >> 16)) & 0xFFFFu;
    seed_ = (seed_ & 0xFFu) | (mixed << 8);
}

void LcgRandom::Randomize() { Randomize(static_cast<double>(SecondsSinceMidnight())); }

float SecondsSinceMidnight() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto sinceSecond = duration_cast<microseconds>(now.time_since_epoch()) % seconds(1);
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                           static_cast<double>(sinceSecond.count()) / 1e6;
    return static_cast<float>(seconds);
}

}  // namespace runtime
