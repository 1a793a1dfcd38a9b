#include <gtest/gtest.h>

#include <vector>

#include "platform/MessageWindow.h"
#include "tests/support/EventLoop.h"

using platform::MessageWindow;
using testing_support::RunFor;

namespace {

TEST(MessageWindow, DeliversLaterAndInOrder) {
    auto* window = new MessageWindow;
    std::vector<std::int32_t> seen;
    window->SetProcedure([&](std::uint32_t, std::int32_t w, std::int32_t) {
        seen.push_back(w);
        // A message posted from inside the procedure comes after the rest.
        if (w == 0) window->PostMessage(1, 99, 0);
    });
    for (int i = 0; i < 50; ++i) window->PostMessage(1, i, 0);
    EXPECT_TRUE(seen.empty());
    RunFor(20);
    ASSERT_EQ(seen.size(), 51u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(seen.back(), 99);
    window->Destroy();
}

TEST(MessageWindow, AdmissionCanWithdrawAQueuedMessage) {
    auto* window = new MessageWindow;
    std::vector<std::int32_t> seen;
    window->SetProcedure([&](std::uint32_t, std::int32_t w, std::int32_t) { seen.push_back(w); });
    bool stillWanted = true;
    window->PostMessage(1, 1, 0, [&] { return stillWanted; });
    window->PostMessage(1, 2, 0);
    stillWanted = false;
    RunFor(20);
    EXPECT_EQ(seen, std::vector<std::int32_t>{2});
    window->Destroy();
}

TEST(MessageWindow, DestroyedFromItsOwnProcedureDeliversNothingMore) {
    auto* window = new MessageWindow;
    int delivered = 0;
    window->SetProcedure([&](std::uint32_t, std::int32_t, std::int32_t) {
        ++delivered;
        window->Destroy();
    });
    window->PostMessage(1, 1, 0);
    window->PostMessage(1, 2, 0);
    RunFor(20);
    EXPECT_EQ(delivered, 1);
}

TEST(MessageWindow, ProcedureThatThrowsDoesNotStopDelivery) {
    auto* window = new MessageWindow;
    int delivered = 0;
    window->SetProcedure([&](std::uint32_t, std::int32_t, std::int32_t) {
        ++delivered;
        throw std::runtime_error("handler failed");
    });
    window->PostMessage(1, 1, 0);
    window->PostMessage(1, 2, 0);
    RunFor(20);
    EXPECT_EQ(delivered, 2);
    window->Destroy();
}

}  // namespace
