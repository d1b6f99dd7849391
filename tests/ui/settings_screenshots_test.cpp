// Pictures of the settings screen and the wiring check on demo recordings, for the
// README. Runs only when WAVEHARM_SCREENSHOT_DIR names the folder to write them to
// (scripts/screenshots.sh runs it under a virtual X server).

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "input/recording_writer.h"
#include "ui/settings_screen.h"
#include "ui/wiring_check_dialog.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;

TEST(SettingsScreens, SettingsScreenAndWiringCheckOnDemoRecordings) {
    const char* target = std::getenv("WAVEHARM_SCREENSHOT_DIR");
    if (!target || !*target) GTEST_SKIP() << "WAVEHARM_SCREENSHOT_DIR not set";
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "test_ui";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    const fs::path dir = fs::temp_directory_path() / "waveharm_settings_screens";
    fs::remove_all(dir);
    DemoOptions demo;
    demo.feeders = 2;
    demo.count = 6;
    writeDemoCampaign(dir / "rec", demo);

    SettingsScreen screen({QString::fromStdString((dir / "rec").string()), false});
    screen.setFileNameChooser(
        [&](QWidget*) { return QString::fromStdString((dir / "day1.dat").string()); });
    screen.start();
    QTest::mouseClick(screen.findChild<QWidget*>("Command10"), Qt::LeftButton);
    screen.resize(screen.sizeHint().expandedTo(QSize(1280, 820)));
    QTest::qWait(300);
    fs::create_directories(target);
    ASSERT_TRUE(screen.grab().save(QString("%1/settings_screen.png").arg(target)));

    ConversionSettings settings = screen.settings();
    ASSERT_NE(screen.currentRecording(), nullptr);
    WiringCheckDialog dialog(settings, *screen.currentRecording(), &screen);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.check().has_value(); }, 5000));
    QTest::qWait(300);
    ASSERT_TRUE(dialog.grab().save(QString("%1/wiring_check.png").arg(target)));
    dialog.reject();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace waveharm
