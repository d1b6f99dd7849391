#include "ui/analysis_launch.h"

#include <QApplication>

#include "ui/analysis_window.h"
#include "ui/settings_screen.h"

namespace waveharm {

AnalysisWindow* launchAnalysisWindow(SettingsScreen& screen) {
    auto* window = new AnalysisWindow(screen.settings(), screen.files());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setCampaignChoices(screen.campaignChoices());
    QObject::connect(window, &AnalysisWindow::runFinished, &screen, [&screen] { screen.show(); });
    QObject::connect(window, &AnalysisWindow::endProgramRequested, &screen,
                     [] { QApplication::quit(); });
    window->show();
    return window;
}

}  // namespace waveharm
