#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <thread>

#include "cipher/DABlowfish.h"
#include "cipher/FileBytes.h"
#include "runtime/Error.h"
#include "tests/cipher/CipherTestSupport.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using cipher::DABlowfish;
using cipher_test::ErrorText;

const std::string kMissing(cipher::kSourceMissingText);
const std::string kSizeError(cipher::kSizeDescriptorText);

// A fresh folder per test, removed afterwards.
class BlowfishFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  ("trotwick-cipher-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }

    fs::path Path(const char* name) const { return folder_ / name; }

    static void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The names in the folder, so a test sees any temporary file left over.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.insert(entry.path().filename().string());
        return names;
    }

    fs::path folder_;
};

TEST_F(BlowfishFiles, RoundTripOfBinaryContent) {
    const std::string content("[Zircona]\r\n\0\xA3\xFF", 14);
    Write(Path("Data.ini"), content);
    DABlowfish save;
    save.EncryptFile(Path("Data.ini"), Path("Zirc.enc"), "Pelmora");
    EXPECT_EQ(fs::file_size(Path("Zirc.enc")), 32u);
    DABlowfish load;
    load.DecryptFile(Path("Zirc.enc"), Path("Back.ini"), "Pelmora");
    EXPECT_EQ(Read(Path("Back.ini")), content);
    EXPECT_EQ(Names(), (std::set<std::string>{"Back.ini", "Data.ini", "Zirc.enc"}));
}

TEST_F(BlowfishFiles, EmptyFileEnciphersTo16BytesAndBack) {
    Write(Path("Data.ini"), "");
    DABlowfish blowfish;
    blowfish.EncryptFile(Path("Data.ini"), Path("Zirc.enc"), "Pelmora");
    EXPECT_EQ(fs::file_size(Path("Zirc.enc")), 16u);
    Write(Path("Back.ini"), "old content");
    blowfish.DecryptFile(Path("Zirc.enc"), Path("Back.ini"), "Pelmora");
    EXPECT_TRUE(fs::exists(Path("Back.ini")));
    EXPECT_EQ(fs::file_size(Path("Back.ini")), 0u);
}

TEST_F(BlowfishFiles, SourceAndDestinationMayBeTheSameFile) {
    Write(Path("Zirc.enc"), "plain text");
    DABlowfish blowfish;
    blowfish.EncryptFile(Path("Zirc.enc"), Path("Zirc.enc"), "Pelmora");
    EXPECT_EQ(fs::file_size(Path("Zirc.enc")), 24u);
    blowfish.DecryptFile(Path("Zirc.enc"), Path("Zirc.enc"), "Pelmora");
    EXPECT_EQ(Read(Path("Zirc.enc")), "plain text");
}

TEST_F(BlowfishFiles, ALongerOldDestinationEndsExactlyAsLongAsTheOutput) {
    Write(Path("Data.ini"), "abc");
    Write(Path("Zirc.enc"), std::string(5000, 'o'));
    DABlowfish blowfish;
    blowfish.EncryptFile(Path("Data.ini"), Path("Zirc.enc"), "Pelmora");
    EXPECT_EQ(fs::file_size(Path("Zirc.enc")), 16u);
}

TEST_F(BlowfishFiles, MissingSourceRaisesAndTouchesNothing) {
    Write(Path("Zirc.enc"), "the old save");
    DABlowfish blowfish;
    for (const auto& source : {Path("absent.ini"), folder_}) {  // a folder has no length either
        try {
            blowfish.EncryptFile(source, Path("Zirc.enc"), "Pelmora");
            ADD_FAILURE() << "no error";
        } catch (const runtime::Error& error) {
            EXPECT_EQ(error.Number(), cipher::kErrObjectDefined);
            EXPECT_EQ(error.Description(), kMissing);
        }
        EXPECT_EQ(ErrorText([&] { blowfish.DecryptFile(source, Path("Data.ini"), "Pelmora"); }), kMissing);
    }
    EXPECT_EQ(Read(Path("Zirc.enc")), "the old save");
    EXPECT_EQ(Names(), std::set<std::string>{"Zirc.enc"});
}

TEST_F(BlowfishFiles, RefusedDecipheringWritesNothing) {
    Write(Path("Zirc.enc"), std::string(24, '\x11'));
    Write(Path("Old.ini"), "keep me");
    DABlowfish blowfish;
    EXPECT_EQ(ErrorText([&] { blowfish.DecryptFile(Path("Zirc.enc"), Path("Old.ini"), "Pelmora"); }), kSizeError);
    EXPECT_EQ(ErrorText([&] { blowfish.DecryptFile(Path("Zirc.enc"), Path("New.ini"), "Pelmora"); }), kSizeError);
    EXPECT_EQ(Read(Path("Old.ini")), "keep me");
    EXPECT_EQ(Names(), (std::set<std::string>{"Old.ini", "Zirc.enc"}));
}

TEST_F(BlowfishFiles, SixteenByteFileWithLengthFieldFourGivesFourBytes) {
    const DABlowfish keyed = [] {
        DABlowfish b;
        b.Key("Pelmora");
        return b;
    }();
    Write(Path("Zirc.enc"), cipher_test::ChainEncipher(keyed, cipher_test::Layout(1, 2, 4, "WXYZ", 16)));
    DABlowfish blowfish;
    blowfish.DecryptFile(Path("Zirc.enc"), Path("Data.ini"), "Pelmora");
    EXPECT_EQ(Read(Path("Data.ini")), "WXYZ");
}

TEST_F(BlowfishFiles, FailedWriteKeepsTheOldFileWholeAndSaysWhy) {
    Write(Path("Data.ini"), std::string(100000, 'd'));
    Write(Path("Zirc.enc"), "the old save");

    // The file size limit makes the write fail part-way, as a full disk does.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);

    DABlowfish blowfish;
    runtime::Error caught(0, "", "");
    try {
        blowfish.EncryptFile(Path("Data.ini"), Path("Zirc.enc"), "Pelmora");
    } catch (const runtime::Error& error) {
        caught = error;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(caught.Number(), cipher::kErrDiskFull);
    EXPECT_EQ(caught.Description(), "Could not write the file " + Path("Zirc.enc").string() + " (Disk full).");
    EXPECT_EQ(Read(Path("Zirc.enc")), "the old save");
    EXPECT_EQ(Names(), (std::set<std::string>{"Data.ini", "Zirc.enc"}));
}

TEST_F(BlowfishFiles, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    // Two plain files of different sizes, enciphered over and over into the
    // same destination by a child process that is killed at a random moment.
    const std::string first(300000, 'a');
    const std::string second(170000, 'b');
    Write(Path("first.ini"), first);
    Write(Path("second.ini"), second);
    DABlowfish().EncryptFile(Path("first.ini"), Path("Zirc.enc"), "Pelmora");

    std::mt19937 random(5);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            DABlowfish writer;
            for (int i = 0;; ++i) {
                writer.EncryptFile(Path(i % 2 ? "second.ini" : "first.ini"), Path("Zirc.enc"), "Pelmora");
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        std::string bytes = Read(Path("Zirc.enc"));
        DABlowfish reader;
        ASSERT_EQ(ErrorText([&] { reader.DecryptByte(bytes, "Pelmora"); }), "(no error)") << "round " << round;
        ASSERT_TRUE(bytes == first || bytes == second) << "round " << round;
    }
}

TEST_F(BlowfishFiles, UnwritableDestinationsAreReported) {
    Write(Path("Data.ini"), "abc");
    fs::create_directory(Path("Zirc.enc"));  // a folder where the file should be
    DABlowfish blowfish;
    EXPECT_EQ(ErrorText([&] { blowfish.EncryptFile(Path("Data.ini"), Path("Zirc.enc"), "Pelmora"); }),
              "Could not write the file " + Path("Zirc.enc").string() + " (Path/File access error).");
    EXPECT_TRUE(fs::is_directory(Path("Zirc.enc")));

    const fs::path noFolder = folder_ / "absent" / "Zirc.enc";
    EXPECT_EQ(ErrorText([&] { blowfish.EncryptFile(Path("Data.ini"), noFolder, "Pelmora"); }),
              "Could not write the file " + noFolder.string() + " (Path not found).");
    EXPECT_EQ(Names(), (std::set<std::string>{"Data.ini", "Zirc.enc"}));
}

TEST_F(BlowfishFiles, ReadOnlyFolderIsReportedAndTheOldFileStays) {
    Write(Path("Data.ini"), "abc");
    Write(Path("Zirc.enc"), "the old save");
    fs::permissions(folder_, fs::perms(0555));
    // In a child without root rights, so that the folder's permissions bind.
    const std::string expected = "Could not write the file " + Path("Zirc.enc").string() + " (Permission denied).";
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        DABlowfish blowfish;
        return ErrorText([&] { blowfish.EncryptFile(Path("Data.ini"), Path("Zirc.enc"), "Pelmora"); }) == expected ? 0 : 1;
    });
    fs::permissions(folder_, fs::perms(0755));
    if (result == testing_support::kChildSetupFailed) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Read(Path("Zirc.enc")), "the old save");
    EXPECT_EQ(Names(), (std::set<std::string>{"Data.ini", "Zirc.enc"}));
}

}  // namespace
