// waveharm-readme-pictures: walks the desktop program through a run on demo recordings
// as an engineer would and photographs the whole screen at each stage, for the README:
// the save dialog, the settings screen, the wiring check, the analysis window in every
// display mode, the end-of-run summary (with a recording cut short by the recorder) and,
// given a result file, the campaign view. Meant for an X server with a window manager,
// so that the pictures show the windows as placed and framed on the screen.
//   waveharm-readme-pictures OUT_DIR [RESULT_FILE [--campaign-only]]
// The campaign view also saves its report, with the run's setup, into OUT_DIR/campaign_report.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "input/recording_writer.h"
#include "ui/analysis_launch.h"
#include "ui/analysis_window.h"
#include "ui/campaign_view.h"
#include "ui/qcustomplot_include.h"
#include "ui/qt_translation.h"
#include "ui/settings_screen.h"
#include "ui/wiring_check_dialog.h"

namespace fs = std::filesystem;
using namespace waveharm;

namespace {

class Photographer {
  public:
    explicit Photographer(fs::path folder) : m_folder(std::move(folder)) {}

    /// The whole screen, once what was just done has been painted.
    bool shoot(const std::string& name) const {
        QTest::qWait(600);
        const fs::path file = m_folder / (name + ".png");
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        if (!screen.save(QString::fromStdString(file.string()))) {
            std::fprintf(stderr, "cannot write %s\n", file.string().c_str());
            return false;
        }
        std::printf("%s (%dx%d)\n", file.string().c_str(), screen.width(), screen.height());
        return true;
    }

  private:
    fs::path m_folder;
};

template <class T>
T* modal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

QWidget* visibleTopLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible()) return w;
    return nullptr;
}

/// Runs `step` once the event loop is back, while a modal dialog holds the caller.
void whileModal(std::function<void()> step) { QTimer::singleShot(0, std::move(step)); }

bool fail(const char* what) {
    std::fprintf(stderr, "readme pictures: %s\n", what);
    return false;
}

/// Once the modal dialog `dialog` is open (and `ready`), photographs it as `picture`
/// (none when empty), runs `then` and presses `button`. Polls from the event loop, so
/// that nothing waits inside another dialog's loop.
void answerWhenOpen(const Photographer& camera, const QString& dialog, const QString& button,
                    const std::string& picture, std::function<void()> then = {},
                    std::function<bool(QWidget*)> ready = {}) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [=, &camera] {
        QWidget* d = QApplication::activeModalWidget();
        if (!d || d->objectName() != dialog || (ready && !ready(d))) return;
        poll->stop();
        poll->deleteLater();
        if (!picture.empty()) camera.shoot(picture);
        if (then) then();
        if (button.isEmpty()) return;
        if (auto* b = d->findChild<QAbstractButton*>(button)) b->click();
    });
    poll->start();
}

/// A second run into the same name: the overwrite question, the progress of a run spaced
/// by the wait, and the window closed during it (the question, then the summary of what
/// was kept). The program ends with that summary, as after "終了".
bool endedRunPictures(const Photographer& camera, SettingsScreen& screen) {
    QPointer<AnalysisWindow> window;
    int shown = 0;
    screen.setRunLauncher([&](SettingsScreen& s) {
        window = launchAnalysisWindow(s);
        window->findChild<QAbstractButton*>("Check1")->click();  // ウエイト, 1 s
        QObject::connect(window, &AnalysisWindow::recordingShown, [&](int) { ++shown; });
    });
    answerWhenOpen(camera, "OverwriteQuestion", "OverwriteButton", "overwrite_question", [&] {
        answerWhenOpen(camera, "Form02", "Command1_1", "", {}, [](QWidget* d) {
            auto* check = qobject_cast<WiringCheckDialog*>(d);
            return check && check->check().has_value();
        });
    });
    QTest::mouseClick(screen.findChild<QWidget*>("Command4"), Qt::LeftButton);
    if (window.isNull()) return fail("no second run");
    if (!QTest::qWaitFor([&] { return shown >= 3; }, 30000)) return fail("the second run stood");
    QTest::qWait(200);
    if (!camera.shoot("analysis_progress")) return false;
    bool summary = false;
    answerWhenOpen(camera, "EndQuestion", "EndYes", "end_question", [&] {
        answerWhenOpen(camera, "RunSummary", "", "run_summary_closed", [&] {
            summary = true;
            QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        });
    });
    window->close();  // as the title bar's × does
    if (!summary) return fail("no summary after closing the window");
    screen.close();
    return true;
}

bool runPictures(const Photographer& camera, const fs::path& work) {
    const fs::path recordings = work / "rec";
    DemoOptions demo;
    demo.feeders = 2;
    demo.count = 6;
    demo.intervalSeconds = 60;
    writeDemoCampaign(recordings, demo);

    // A store of its own: the pictures show a first start, whatever this machine remembers.
    SettingsScreen screen(
        {QString::fromStdString(recordings.string()), false,
         QString::fromStdString((recordings.parent_path() / "store.ini").string())});
    screen.start();
    if (!QTest::qWaitForWindowExposed(&screen)) return fail("the settings screen did not appear");

    // "ファイル名設定": the save dialog as it opens, then a name typed and saved.
    bool saved = false;
    whileModal([&] {
        if (!QTest::qWaitFor([] { return modal<QFileDialog>() != nullptr; }, 5000)) return;
        QFileDialog* dialog = modal<QFileDialog>();
        QTest::qWait(300);
        saved = camera.shoot("save_dialog");
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
            name->setText(QString::fromStdString((work / "day1").string()));
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(screen.findChild<QWidget*>("Command10"), Qt::LeftButton);
    if (!saved) return fail("no save dialog");
    if (!camera.shoot("settings_screen")) return false;

    // A recording cut short after the folder was listed, as a full card leaves it.
    fs::resize_file(screen.files().pathOf(2), 100);

    QPointer<AnalysisWindow> window;
    bool paused = false;
    screen.setRunLauncher([&](SettingsScreen& s) {
        window = launchAnalysisWindow(s);
        QObject::connect(window, &AnalysisWindow::recordingShown, [&](int index) {
            if (index != 3 || paused) return;
            QTest::mouseClick(window->findChild<QWidget*>("Command5"), Qt::LeftButton);
            paused = true;
        });
    });
    // "データ変換開始": the wiring check once it has drawn, then "ＯＫ".
    bool checked = false;
    whileModal([&] {
        const auto ready = [] {
            auto* d = modal<WiringCheckDialog>();
            return d && d->check().has_value();
        };
        if (!QTest::qWaitFor(ready, 10000)) return;
        checked = camera.shoot("wiring_check");
        QTest::mouseClick(modal<WiringCheckDialog>()->findChild<QWidget*>("Command1_1"),
                          Qt::LeftButton);
    });
    QTest::mouseClick(screen.findChild<QWidget*>("Command4"), Qt::LeftButton);
    if (!checked) return fail("no wiring check");
    if (!QTest::qWaitFor([&] { return paused; }, 30000)) return fail("the run did not start");

    for (int i = 0; i < kDisplayModeCount; ++i) {
        QTest::mouseClick(window->findChild<QWidget*>(QString("Command3_%1").arg(i)),
                          Qt::LeftButton);
        // 数値Ｖ at the end of the orders: the totals under the headers that stay; the
        // other tables from their first order.
        for (auto* grid : window->findChildren<QTableView*>()) {
            if (i == 2)
                grid->scrollToBottom();
            else
                grid->scrollToTop();
        }
        if (!camera.shoot("analysis_mode" + std::to_string(i + 1))) return false;
    }
    // Resumed to its end: the summary over the settings screen that came back.
    QTest::mouseClick(window->findChild<QWidget*>("Command5"), Qt::LeftButton);
    if (!QTest::qWaitFor([] { return visibleTopLevel("RunSummary") != nullptr; }, 30000))
        return fail("no summary at the end of the run");
    if (!camera.shoot("run_summary")) return false;
    visibleTopLevel("RunSummary")->close();
    return endedRunPictures(camera, screen);
}

bool campaignPicture(const Photographer& camera, const QString& resultFile,
                     const fs::path& reportFolder) {
    CampaignView* view = showCampaignView({resultFile});
    // The setup of the run that wrote the file, as the end-of-run summary hands it over.
    MeasurementSetup setup;
    setup.inputFolder = "D:/測定/2018-12-12 第2変電所";
    setup.settings.setFeederCount(2);
    setup.settings.setHarmonicOption(HarmonicOption::Odd1To49);
    setup.settings.ctRatio[0] = setup.settings.ctRatio[1] = 40;
    setup.skipped = {"W0000017.MEM：記録が途中で終わっています"};
    view->setMeasurementSetup(setup);
    if (!QTest::qWaitFor([&] { return view->data() != nullptr; }, 30000))
        return fail("the campaign view read nothing");
    view->setLimits("jp-6.6kv", 3000, 0);
    view->setTrendShown(2, true);  // both feeders chosen
    if (auto* site = view->findChild<QLineEdit*>("SiteName")) site->setText("第2変電所 6.6kV 母線");
    QTest::qWait(300);
    // The cursor over the middle of the trend, as a user reading a value sees it.
    QWidget* plot = view->trendPlot();
    const QPointF at(plot->width() * 0.55, plot->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    bool ok = camera.shoot("campaign_view");
    auto* tabs = view->findChild<QTabWidget*>();
    if (tabs) {
        tabs->setCurrentIndex(1);
        if (auto* series = view->findChild<QComboBox*>("OrderSeries")) series->setCurrentIndex(1);
        ok = ok && camera.shoot("campaign_bars");
        tabs->setCurrentIndex(3);
        ok = ok && camera.shoot("campaign_setup");
    }
    ok = ok && view->saveReportTo(QString::fromStdString(reportFolder.string()));
    view->close();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [RESULT_FILE]\n", argv[0]);
        return 2;
    }
    installQtJapanese(app);
    const fs::path out = argv[1];
    fs::create_directories(out);
    const fs::path work = fs::temp_directory_path() /
                          ("waveharm_pictures_" + std::to_string(QApplication::applicationPid()));
    const QString resultFile = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    // Only the campaign view's pictures (and its report with the run's setup).
    const bool campaignOnly = argc > 3 && std::string(argv[3]) == "--campaign-only";
    int status = 1;
    QTimer::singleShot(0, [&] {
        const Photographer camera(out);
        bool ok = campaignOnly || runPictures(camera, work);
        if (ok && !resultFile.isEmpty())
            ok = campaignPicture(camera, resultFile, out / "campaign_report");
        status = ok ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    fs::remove_all(work);
    return status;
}
