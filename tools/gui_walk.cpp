// waveharm-gui-walk: a Qt plugin that walks the desktop program itself through a run as
// an engineer would, for the check of the Windows program under Wine and its Linux
// counterpart. The program stays as shipped: Qt loads the plugin into it when the
// environment names it,
//   QT_PLUGIN_PATH=DIR QT_QPA_GENERIC_PLUGINS=waveharmwalk waveharm FOLDER
// with the plugin in DIR/generic/. It finds the windows and buttons by their object
// names: "ファイル名設定" and the save dialog, where it saves under WAVEHARM_WALK_OUTPUT;
// "データ変換開始" and the wiring check, answered "ＯＫ" once drawn; the analysis window,
// paused on the second recording and resumed; the end-of-run summary and, from it, the
// campaign view. Then the program ends. With WAVEHARM_WALK_PICTURES=PREFIX it photographs
// the whole screen at each stage as PREFIX<stage>.png (the wiring check also maximised).
// With WAVEHARM_WALK_FORMAT=TEXT it first chooses that format ("COMTRADE", "CSV") for
// records of other instruments. A stage that does not come in time ends the program with
// status 3 and names the stage on stderr.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

/// Runs the event loop until `ready` holds or `ms` milliseconds have passed.
bool waitFor(const std::function<bool()>& ready, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!ready()) {
        if (deadline.hasExpired()) return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void settle(int ms) {
    waitFor([] { return false; }, ms);
}

QWidget* visibleTopLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && (w->objectName() == name || w->metaObject()->className() == name))
            return w;
    return nullptr;
}

QAbstractButton* button(QWidget* window, const QString& name) {
    return window ? window->findChild<QAbstractButton*>(name) : nullptr;
}

/// Runs `step` once the event loop is back, while a modal dialog holds the caller.
void whileModal(std::function<void()> step) { QTimer::singleShot(0, std::move(step)); }

class Walker : public QObject {
    Q_OBJECT

  public:
    Walker() {
        qApp->installEventFilter(this);
        QTimer::singleShot(0, this, &Walker::firstStart);
    }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        // The analysis window starts its run as it opens: listen to it from the first.
        if (event->type() == QEvent::Show && object->objectName() == "Form03" && !m_window) {
            m_window = qobject_cast<QWidget*>(object);
            connect(object, SIGNAL(recordingShown(int)), this, SLOT(recordingShown(int)));
        }
        return false;
    }

  private Q_SLOTS:
    void recordingShown(int index) {
        if (index < 1 || m_paused) return;
        if (QAbstractButton* pause = button(m_window, "Command5")) pause->click();
        m_paused = true;
    }

  private:
    void firstStart() {
        if (!waitFor([] { return visibleTopLevel("Form01") != nullptr; }, 60000)) {
            fail("no settings screen");
            std::_Exit(3);
        }
        start();
    }

    void start() {
        settle(300);
        // The message the settings screen opens with holds start-up until it is closed:
        // close it and walk from the event loop that start-up then enters.
        if (auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            say("about");
            message->accept();
            QTimer::singleShot(100, this, &Walker::start);
            return;
        }
        if (!walk()) {
            say("stopped");
            std::_Exit(3);
        }
        say("done");
        QCoreApplication::quit();
    }

    static bool fail(const char* stage) {
        say(stage);
        return false;
    }

    static void say(const char* stage) {
        std::fprintf(stderr, "gui walk: %s\n", stage);
        std::fflush(stderr);
    }

    /// The whole screen, once what was just done has been painted.
    bool shoot(const char* stage) const {
        say(stage);
        settle(800);
        if (m_pictures.isEmpty()) return true;
        const QString file = m_pictures + stage + ".png";
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        if (screen.isNull() || !screen.save(file)) return fail("cannot take the picture");
        return true;
    }

    bool walk() {
        QWidget* screen = visibleTopLevel("Form01");
        if (!screen) return fail("no settings screen");

        // Records of other instruments: their format chosen, the folder scanned again.
        if (!m_format.isEmpty()) {
            auto* format = screen->findChild<QComboBox*>("RecordFormat");
            const int index = format ? format->findText(m_format) : -1;
            if (index < 0) return fail("no such record format");
            // As a user's choice: the screen acts on `activated`.
            format->setCurrentIndex(index);
            emit format->activated(index);
            if (!shoot("record_format")) return false;
        }

        // "ファイル名設定": the save dialog as it opens, then the result name typed and saved.
        bool saved = false;
        whileModal([&] {
            const auto dialog = [] {
                return qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            };
            if (!waitFor([&] { return dialog() != nullptr; }, 10000)) return;
            if (!shoot("save_dialog")) return;
            auto* name = dialog()->findChild<QLineEdit*>("fileNameEdit");
            if (!name) return;
            name->setText(m_output);
            static_cast<QDialog*>(dialog())->accept();
            saved = true;
        });
        if (QAbstractButton* choose = button(screen, "Command10")) choose->click();
        if (!saved) return fail("no save dialog");
        if (!shoot("settings_screen")) return false;

        // "データ変換開始": the wiring check once its text is there, then "ＯＫ".
        bool checked = false;
        whileModal([&] {
            const auto drawn = [] {
                QWidget* d = QApplication::activeModalWidget();
                auto* text =
                    d && d->objectName() == "Form02" ? d->findChild<QLabel*>("Label2") : nullptr;
                return text && !text->text().isEmpty();
            };
            if (!waitFor(drawn, 30000) || !shoot("wiring_check")) return;
            if (!m_pictures.isEmpty()) {
                // The check once more, maximised: its diagrams grow with the window.
                QApplication::activeModalWidget()->showMaximized();
                if (!shoot("wiring_check_maximised")) return;
            }
            QAbstractButton* ok = button(QApplication::activeModalWidget(), "Command1_1");
            if (!ok) return;
            ok->click();
            checked = true;
        });
        QAbstractButton* start = button(screen, "Command4");
        if (!waitFor([start] { return start && start->isEnabled(); }, 30000))
            return fail("データ変換開始 stays disabled");
        start->click();
        if (!checked) return fail("no wiring check");

        // The analysis window paused on its second recording, as a graph and as numbers.
        if (!waitFor([this] { return m_paused; }, 60000)) return fail("the run did not start");
        const struct {
            const char* button;
            const char* stage;
        } modes[] = {{"Command3_0", "analysis_graph"}, {"Command3_1", "analysis_numbers"}};
        for (const auto& mode : modes) {
            if (QAbstractButton* b = button(m_window, mode.button)) b->click();
            if (!shoot(mode.stage)) return false;
        }
        // Resumed to its end: the summary over the settings screen that came back.
        if (QAbstractButton* resume = button(m_window, "Command5")) resume->click();
        if (!waitFor([] { return visibleTopLevel("RunSummary") != nullptr; }, 120000))
            return fail("no summary at the end of the run");
        if (!shoot("run_summary")) return false;

        // The campaign view over the result files just written.
        QAbstractButton* campaign = button(visibleTopLevel("RunSummary"), "CampaignButton");
        if (!campaign) return fail("no campaign button in the summary");
        campaign->click();
        const auto loaded = [] {
            QWidget* view = visibleTopLevel("waveharm::CampaignView");
            if (!view) return false;
            for (auto* label : view->findChildren<QLabel*>())
                if (label->text().contains("読み込み中")) return false;
            return true;
        };
        if (!waitFor(loaded, 60000)) return fail("the campaign view read nothing");
        if (!shoot("campaign_view")) return false;
        for (QWidget* w : QApplication::topLevelWidgets()) w->close();
        return true;
    }

    QString m_output = qEnvironmentVariable("WAVEHARM_WALK_OUTPUT");
    QString m_pictures = qEnvironmentVariable("WAVEHARM_WALK_PICTURES");
    QString m_format = qEnvironmentVariable("WAVEHARM_WALK_FORMAT");
    QPointer<QWidget> m_window;
    bool m_paused = false;
};

class WalkPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "gui_walk.json")

  public:
    QObject* create(const QString&, const QString&) override { return new Walker; }
};

}  // namespace

#include "gui_walk.moc"
