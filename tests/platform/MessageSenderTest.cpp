// The messenger that carries net send messages: smbclient started directly
// with the recipient as one argument and the message on its standard input,
// never a command line. A fake smbclient on the PATH records what it got.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QByteArray>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/MessageSender.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempFolder.h"

using platform::SendResult;
using testing_support::RunUntil;
using testing_support::TempFolder;

namespace {

TEST(SingleName, OnlyOneNameWithoutOptionsBlanksOrControlsPasses) {
    for (const char* good : {"bob", "BOB-PC", "bob;rm", "b$(x)", "*", "\xA3pounds"}) {
        EXPECT_TRUE(platform::IsSingleName(good)) << good;
    }
    for (const char* bad : {"", "-M", "--help", "bob smith", " bob", "bob\t", "bob\n", "a\x7F", "a\xA0" "b"}) {
        EXPECT_FALSE(platform::IsSingleName(bad)) << bad;
    }
}

// Puts a fake smbclient first on the PATH for one test.
class FakeMessenger : public ::testing::Test {
protected:
    void SetUp() override {
        oldPath_ = qgetenv("PATH");
        std::filesystem::create_directory(folder_ / "bin");
        qputenv("PATH", QByteArray::fromStdString((folder_ / "bin").string()) + ":/usr/bin:/bin");
    }
    void TearDown() override { qputenv("PATH", oldPath_); }

    // A smbclient that writes its arguments, one a line, and its input to
    // files, then runs `tail` (an exit code, or a longer wait).
    void Install(const std::string& tail = "exit 0") {
        const std::string dir = folder_.Path().string();
        folder_.Write("bin/smbclient", "#!/bin/sh\n"
                                       "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + dir + "/args'\n"
                                       "cat > '" + dir + "/input'\n" + tail + "\n");
        ::chmod((folder_ / "bin/smbclient").c_str(), 0755);
    }

    std::optional<SendResult> Send(const std::string& recipient, const std::string& text) {
        std::optional<SendResult> result;
        int answers = 0;
        sender_.Send(recipient, text, [&](SendResult r) {
            result = r;
            ++answers;
        });
        EXPECT_TRUE(RunUntil([&] { return result.has_value(); }, 10000));
        testing_support::RunFor(20);
        EXPECT_LE(answers, 1);
        return result;
    }

    TempFolder folder_;
    platform::SmbclientSender sender_;
    QByteArray oldPath_;
};

TEST_F(FakeMessenger, TheRecipientIsOneArgumentAndTheMessageGoesToTheInput) {
    Install();
    const std::string dir = folder_.Path().string();
    // Were either of them ever pasted into a command line, a file would
    // appear in the folder.
    const std::string recipient = "bob;touch${IFS}" + dir + "/pwned1|`touch${IFS}" + dir + "/pwned2`";
    const std::string message = "<-Trotwick EXTERNAL GAME MESSAGE->\r\nFrom User: jenny\r\n\r\n$(touch " + dir +
                                "/pwned3) & \"quoted\" \xA3" "5\r\nbye";
    EXPECT_EQ(Send(recipient, message), SendResult::Sent);
    EXPECT_EQ(folder_.Read("args"), "-N\n-M\n" + recipient + "\n");
    EXPECT_EQ(folder_.Read("input"), "<-Trotwick EXTERNAL GAME MESSAGE->\nFrom User: jenny\n\n$(touch " + dir +
                                         "/pwned3) & \"quoted\" \xC2\xA3" "5\nbye");
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"args", "bin", "input"}));
}

TEST_F(FakeMessenger, AMessengerThatFailsOrHangsHasNotSent) {
    Install("exit 1");
    EXPECT_EQ(Send("bob", "hi"), SendResult::Failed);
    Install("exec sleep 20");
    sender_.SetTimeout(std::chrono::milliseconds(200));
    EXPECT_EQ(Send("bob", "hi"), SendResult::Failed);
}

TEST_F(FakeMessenger, ARecipientThatIsNoSingleNameStartsNothing) {
    Install();
    for (const char* recipient : {"", "-M", "--help", "bob & rm -rf ~", "bob\r\nx"}) {
        EXPECT_EQ(Send(recipient, "hi"), SendResult::Refused) << recipient;
    }
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"bin"});
}

TEST_F(FakeMessenger, WithoutSmbclientThereIsNoMessenger) {
    qputenv("PATH", QByteArray::fromStdString((folder_ / "bin").string()));
    EXPECT_TRUE(platform::SmbclientSender::FindMessenger().isEmpty());
    EXPECT_EQ(Send("bob", "hi"), SendResult::NoMessenger);
}

}  // namespace
