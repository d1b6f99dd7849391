// waveharm: the desktop program. `waveharm [FOLDER]` opens the settings screen on
// FOLDER (the current folder when none is given); `waveharm --campaign RESULT_FILE...`
// opens the campaign view on those result files alone.

#include <QApplication>
#include <QString>

#include "ui/analysis_launch.h"
#include "ui/campaign_view.h"
#include "ui/qt_translation.h"
#include "ui/settings_screen.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("waveharm");
    QApplication::setApplicationVersion(WAVEHARM_VERSION);
    // Qt's own dialogs (the save dialog's buttons and captions) speak Japanese too.
    waveharm::installQtJapanese(app);

    const QStringList args = QApplication::arguments();
    if (args.size() > 1 && args.at(1) == "--campaign") {
        // The program ends when the view is closed.
        waveharm::showCampaignView(args.mid(2));
        return QApplication::exec();
    }
    waveharm::SettingsScreen::Options options;
    if (args.size() > 1) options.startFolder = args.at(1);
    waveharm::SettingsScreen screen(options);
    // The run takes place in the analysis window.
    screen.setRunLauncher([](waveharm::SettingsScreen& s) { waveharm::launchAnalysisWindow(s); });
    screen.start();
    return QApplication::exec();
}
