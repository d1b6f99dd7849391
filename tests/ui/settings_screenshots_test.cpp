// Pictures of the settings screen and the wiring check on demo recordings, for the
// README. Runs only when WAVEHARM_SCREENSHOT_DIR names the folder to write them to
// (scripts/screenshots.sh runs it under a virtual X server).

#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "ui/settings_screen.h"
#include "ui/wiring_check_dialog.h"
#include "ui_test_support.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

TEST(SettingsScreens, SettingsScreenAndWiringCheckOnDemoRecordings) {
    const char* target = screenshotFolder();
    if (!target) GTEST_SKIP() << "WAVEHARM_SCREENSHOT_DIR not set";
    ensureApplication();
    const fs::path dir = freshFolder("waveharm_settings_screens");
    writeDemoRecordings(dir / "rec", 2, 6);

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
