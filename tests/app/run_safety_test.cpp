// `waveharm-cli convert` never replaces results unasked, and a run ended by a signal keeps
// whole records that read back as those of a full run.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "input/recording_writer.h"
#include "support/cli_runner.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using testing::runCli;
using testing::ScratchFolder;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ResultSafety : public ::testing::Test {
  protected:
    void writeDemo(int count) {
        DemoOptions demo;
        demo.feeders = 2;
        demo.count = count;
        demo.intervalSeconds = 60;
        writeDemoCampaign(m_dir / "rec", demo);
    }
    std::vector<std::string> convertArgs(const std::string& name,
                                         const std::string& options = "--type 3p3m") const {
        std::vector<std::string> args{"convert",   (m_dir / "rec").string(),
                                      "--output",  (m_dir / name).string(),
                                      "--feeders", "2"};
        for (const std::string& o : testing::words(options)) args.push_back(o);
        return args;
    }
    ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
};

TEST_F(ResultSafety, ExistingResultsAreReplacedOnlyWithOverwrite) {
    writeDemo(3);
    ASSERT_EQ(runCli(convertArgs("site")).status, 0);
    // Three per-phase files; one of them alone is enough to refuse.
    const fs::path r = m_dir / "site.Rhn2";
    ASSERT_TRUE(fs::exists(r));
    fs::remove(m_dir / "site.Thn2");
    fs::resize_file(r, fs::file_size(r) - 1);  // told apart from a fresh run's file
    const std::string before = fileText(r);

    const auto again = runCli(convertArgs("site"));
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.output.find("site.Rhn2"), std::string::npos) << again.output;
    EXPECT_NE(again.output.find("site.Shn2"), std::string::npos) << again.output;
    EXPECT_EQ(fileText(r), before);
    EXPECT_FALSE(fs::exists(m_dir / "site.Thn2"));

    auto overwrite = convertArgs("site");
    overwrite.push_back("--overwrite");
    ASSERT_EQ(runCli(overwrite).status, 0);
    EXPECT_EQ(fs::file_size(r), before.size() + 1);
    EXPECT_TRUE(fs::exists(m_dir / "site.Thn2"));
}

#ifndef _WIN32
// Starts the converter with its output into `log`; returns its process.
pid_t startCli(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<std::string> all{WAVEHARM_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execv(WAVEHARM_CLI, argv.data());
        ::_exit(127);
    }
    return pid;
}

TEST_F(ResultSafety, InterruptKeepsTheRecordsOfAFullRun) {
    writeDemo(400);
    const auto args = convertArgs("cut", "--type 3p2m --jobs 1 --interpolation sinc");
    const fs::path cut = m_dir / "cut.hn2";
    const pid_t pid = startCli(args, m_dir / "cut.log");
    ASSERT_GT(pid, 0);
    // Interrupted once a few records are on the disk.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto bytes = [&] {
        std::error_code ec;
        const auto size = fs::file_size(cut, ec);
        return ec ? 0 : size;
    };
    while (bytes() < 20000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    const std::string log = fileText(m_dir / "cut.log");
    ASSERT_TRUE(WIFEXITED(status)) << log;
    EXPECT_EQ(WEXITSTATUS(status), 130) << log;
    EXPECT_NE(log.find("record(s) kept, the last stamped"), std::string::npos) << log;

    std::vector<std::string> full = args;
    full[3] = (m_dir / "full").string();
    ASSERT_EQ(runCli(full).status, 0);
    const std::string kept = fileText(cut), whole = fileText(m_dir / "full.hn2");
    ASSERT_GT(kept.size(), 0u);
    EXPECT_LT(kept.size(), whole.size()) << "the run ended before the signal";
    EXPECT_EQ(kept, whole.substr(0, kept.size()));
    EXPECT_EQ(runCli({"dump", cut.string()}).status, 0);
}
#endif

}  // namespace
}  // namespace waveharm
