// The campaign view over result files that the command-line program converts from
// demo recordings.

#include "ui/campaign_view.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/cli_runner.h"
#include "support/scratch_folder.h"
#include "ui/qcustomplot_include.h"
#include "ui_test_support.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

bool cli(const std::vector<std::string>& arguments) { return runCli(arguments).status == 0; }

// Demo recordings of two feeders, one a minute, converted into a .hm2 result file.
QString demoResults(const fs::path& dir, int recordings) {
    const std::string rec = (dir / "rec").string(), out = (dir / "site").string();
    fs::create_directories(dir);
    EXPECT_TRUE(cli({"demo", rec, "--feeders", "2", "--interval", "60", "--count",
                     std::to_string(recordings)}));
    EXPECT_TRUE(cli(
        {"convert", rec, "--output", out, "--harmonics", "odd49", "--feeders", "2", "--ct", "40"}));
    return QString::fromStdString(out + ".hm2");
}

class CampaignViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(WAVEHARM_CLI)) GTEST_SKIP() << "waveharm-cli not built";
        ensureApplication();
    }
    ScratchFolder scratch;
    const fs::path dir = scratch.path();
};

TEST_F(CampaignViewTest, ShowsTrendsBarsAndVerdictsAndSavesTheReport) {
    CampaignView view;
    EXPECT_FALSE(view.openFiles({QString::fromStdString((dir / "none.hm2").string())}));
    EXPECT_TRUE(view.statusText().contains("none.hm2"));
    ASSERT_TRUE(view.openFiles({demoResults(dir, 8)}));
    ASSERT_NE(view.data(), nullptr);
    EXPECT_EQ(view.data()->recordCount(), 8u);
    EXPECT_EQ(view.trendPlot()->graphCount(), 3);  // V_thd, I1_thd, I2_thd
    EXPECT_EQ(view.trendPlot()->graph(0)->dataCount(), 8);
    EXPECT_EQ(view.orderPlot()->plottableCount(), 2);  // CP95 and max
    // The voltage and the first feeder at first; the second from its legend entry.
    EXPECT_TRUE(view.trendShown(0) && view.trendShown(1));
    EXPECT_FALSE(view.trendShown(2));
    EXPECT_EQ(view.trendPlot()->graph(2)->dataCount(), 0);
    view.setTrendShown(2, true);
    EXPECT_EQ(view.trendPlot()->graph(2)->dataCount(), 8);
    view.trendPlot()->replot();  // lays the plot out, as showing the window does
    view.moveTrendCursor(view.trendPlot()->axisRect()->rect().center().x());
    EXPECT_TRUE(view.readoutText().contains("I2_thd")) << view.readoutText().toStdString();

    EXPECT_FALSE(view.setLimits("jp-6.6kv", 0, 0));
    EXPECT_TRUE(view.statusText().contains("契約電力")) << view.statusText().toStdString();
    ASSERT_TRUE(view.setLimits("jp-6.6kv", 2000, 0));
    int failing = 0;
    for (const SeriesRow& r : view.data()->rows) failing += r.verdict == Verdict::Fail;
    EXPECT_GT(failing, 0);
    // The limit marks lie on a layer above the bars.
    view.findChild<QComboBox*>("OrderSeries")->setCurrentIndex(1);  // feeder 1's currents
    QCustomPlot* bars = view.orderPlot();
    ASSERT_GT(bars->itemCount(), 0);
    EXPECT_GT(bars->item(0)->layer()->index(), bars->plottable(0)->layer()->index());

    // Read in the background, the same files give the same view.
    CampaignView background;
    background.loadFiles({QString::fromStdString((dir / "site.hm2").string())});
    EXPECT_TRUE(background.loading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !background.loading(); }, 20000));
    ASSERT_NE(background.data(), nullptr);
    EXPECT_EQ(background.data()->rows.size(), view.data()->rows.size());

    const QString out = QString::fromStdString((dir / "report").string());
    ASSERT_TRUE(view.saveReportTo(out));
    EXPECT_TRUE(fs::exists(dir / "report" / "report.html"));
    EXPECT_TRUE(fs::exists(dir / "report" / "statistics.csv"));
    // Asked before the earlier report is replaced: cancelled, then overwritten.
    fs::remove(dir / "report" / "report.html");
    std::ofstream(dir / "report" / "report.html") << "earlier";
    for (const char* answer : {"Cancel", "Overwrite"}) {
        QTimer::singleShot(200, [answer] {
            if (QWidget* box = QApplication::activeModalWidget())
                if (auto* b = box->findChild<QAbstractButton*>(answer)) b->click();
        });
        EXPECT_EQ(view.saveReportAsking(out), std::string(answer) == "Overwrite") << answer;
        EXPECT_EQ(fs::file_size(dir / "report" / "report.html") > 100,
                  std::string(answer) == "Overwrite");
    }

    // The records as dump prints them, with CR LF for Excel.
    const fs::path csv = dir / "records.csv";
    ASSERT_TRUE(view.saveRecordsCsvTo(QString::fromStdString(csv.string())));
    CliOptions quiet;
    quiet.withErrors = false;
    const CliResult dumped = runCli({"dump", (dir / "site.hm2").string()}, quiet);
    std::string crlf;
    for (char c : dumped.output) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::ifstream in(csv, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written, crlf);
}

// Opened at the end of a run, the view judges with the site's limit table and contract
// power from its profile, without the engineer choosing them again.
TEST_F(CampaignViewTest, JudgesWithTheSitesLimitsCarriedFromTheRun) {
    MeasurementSetup setup;
    setup.campaign.limits = "jp-6.6kv";
    setup.campaign.contractKw = 2000;
    CampaignView* view = showCampaignView({demoResults(dir, 4)}, nullptr, &setup);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->loading(); }, 20000));
    ASSERT_NE(view->data(), nullptr);
    int judged = 0;
    for (const SeriesRow& r : view->data()->rows) judged += r.verdict != Verdict::None;
    EXPECT_GT(judged, 0);
    view->close();
}

}  // namespace
}  // namespace waveharm
