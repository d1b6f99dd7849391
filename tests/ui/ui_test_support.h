#pragma once
// Helpers shared by the widget tests: the application object, scratch folders and demo
// recordings.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QString>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
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
    // Whatever a screen remembers goes to a test store, never the user's.
    QStandardPaths::setTestModeEnabled(true);
}

/// The child `name` of `parent`. A missing one fails the test and ends it with an
/// exception, so no test goes on to use a null pointer.
template <class T>
T* child(const QObject& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (found) return found;
    ADD_FAILURE() << "no " << T::staticMetaObject.className() << " named " << name.toStdString();
    throw std::runtime_error("missing widget " + name.toStdString());
}

/// Presses the button `button` of the modal dialog `dialog` as soon as that is open, and
/// keeps a message box's text in `text`.
inline void answerDialog(const QString& dialog, const QString& button, QString* text = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, dialog, button, text] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != dialog) return;
        timer->stop();
        timer->deleteLater();
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && text) *text = box->text();
        if (auto* b = modal->findChild<QAbstractButton*>(button)) b->click();
    });
    timer->start();
}

/// The empty folder `name` in the temporary directory (emptied when it exists).
inline std::filesystem::path freshFolder(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

/// An empty folder for the running test: `prefix` followed by the test's name and the
/// process, so that test programs running side by side never share one.
inline std::filesystem::path freshTestFolder(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return freshFolder(prefix + info->name() + "_" +
                       std::to_string(QCoreApplication::applicationPid()));
}

/// Writes `count` demo recordings of `feeders` feeders into `folder`.
inline void writeDemoRecordings(const std::filesystem::path& folder, int feeders, int count) {
    DemoOptions demo;
    demo.feeders = feeders;
    demo.count = count;
    writeDemoCampaign(folder, demo);
}

}  // namespace waveharm::testing
