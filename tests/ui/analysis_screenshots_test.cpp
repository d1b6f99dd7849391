// Pictures of the analysis window in every display mode on demo recordings, for the
// README. Runs only when WAVEHARM_SCREENSHOT_DIR names the folder to write them to
// (scripts/screenshots.sh runs it under a virtual X server).

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "output/result_writer.h"
#include "ui/analysis_window.h"
#include "ui_test_support.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

TEST(AnalysisScreens, EveryDisplayModeOnDemoRecordings) {
    const char* target = screenshotFolder();
    if (!target) GTEST_SKIP() << "WAVEHARM_SCREENSHOT_DIR not set";
    ensureApplication();
    const fs::path dir = freshFolder("waveharm_ui_screens");
    writeDemoRecordings(dir / "rec", 2, 3);

    ConversionSettings settings;
    settings.measurementType = MeasurementType::ThreePhase2M;
    settings.setFeederCount(2);
    settings.setHarmonicOption(HarmonicOption::HighOrder256);
    settings.ctRatio[0] = 100;
    settings.ctRatio[1] = 200;
    settings.currentSenseOhms[0] = settings.currentSenseOhms[1] = clampRangeToSenseOhms(2);
    settings.outputFileName =
        outputFileNameFor((dir / "screens.dat").string(), settings.outputExtension);

    AnalysisWindow window(settings, scanFolder(dir / "rec", false));
    bool shown = false;
    QObject::connect(&window, &AnalysisWindow::recordingShown, [&](int index) {
        if (index != 0) return;
        QTest::mouseClick(window.findChild<QPushButton*>("Command5"), Qt::LeftButton);
        shown = true;
    });
    window.resize(1440, 860);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown; }, 20000));
    fs::create_directories(target);
    for (int i = 0; i < kDisplayModeCount; ++i) {
        QTest::mouseClick(window.findChild<QPushButton*>(QString("Command3_%1").arg(i)),
                          Qt::LeftButton);
        QTest::qWait(100);
        const fs::path file = fs::path(target) / ("analysis_mode" + std::to_string(i + 1) + ".png");
        ASSERT_TRUE(window.grab().save(QString::fromStdString(file.string()))) << file;
    }
    QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace waveharm
