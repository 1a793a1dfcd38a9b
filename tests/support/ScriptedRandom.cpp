#include "tests/support/ScriptedRandom.h"

#include <gtest/gtest.h>

namespace testing_support {

float ScriptedRandom::Rnd() {
    if (next_ < draws_.size()) return draws_[next_++];
    if (hasFallback_) {
        ++next_;
        draws_.push_back(fallback_);
        return fallback_;
    }
    ADD_FAILURE() << "the code drew more random numbers than the test scripted (" << draws_.size() << ")";
    return 0.0f;
}

}  // namespace testing_support
