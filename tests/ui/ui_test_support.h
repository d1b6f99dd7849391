#pragma once
// Helpers shared by the widget tests: the application object, scratch folders and demo
// recordings.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "input/recording_writer.h"

namespace waveharm::testing {

/// Creates the application the widgets need, once; it lives for the whole test program.
inline void ensureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

/// The empty folder `name` in the temporary directory (emptied when it exists).
inline std::filesystem::path freshFolder(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

/// An empty folder for the running test: `prefix` followed by the test's name.
inline std::filesystem::path freshTestFolder(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return freshFolder(prefix + info->name());
}

/// Writes `count` demo recordings of `feeders` feeders into `folder`.
inline void writeDemoRecordings(const std::filesystem::path& folder, int feeders, int count) {
    DemoOptions demo;
    demo.feeders = feeders;
    demo.count = count;
    writeDemoCampaign(folder, demo);
}

}  // namespace waveharm::testing
