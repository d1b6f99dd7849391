#pragma once
// The scratch folder of one test: under the system's temporary folder, named by the test
// and the process so that suites running side by side never share one, created empty and
// removed with everything in it when the test is done.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace waveharm::testing {

class ScratchFolder {
  public:
    /// `tag` tells apart several folders of one test.
    explicit ScratchFolder(const std::string& tag = "") : m_path(pathFor(tag)) {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

  private:
    static std::filesystem::path pathFor(const std::string& tag) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("waveharm_") + info->test_suite_name() + "_" + info->name();
        if (!tag.empty()) name += "_" + tag;
#ifdef _WIN32
        name += "_" + std::to_string(::_getpid());
#else
        name += "_" + std::to_string(::getpid());
#endif
        for (char& c : name)
            if (c == '/') c = '_';  // parameterised tests: "Suite/Name/0"
        return std::filesystem::temp_directory_path() / name;
    }

    std::filesystem::path m_path;
};

}  // namespace waveharm::testing
