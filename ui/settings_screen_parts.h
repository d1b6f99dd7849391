#pragma once
// Small pieces the settings screen's groups are built from.

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "settings/conversion_settings.h"

namespace waveharm::screen {

/// The object name of element `i` of a control array: "Option2_3".
inline QString indexed(const QString& name, int i) { return name + "_" + QString::number(i); }

inline QString qText(const std::string& s) { return QString::fromStdString(s); }

inline QLabel* caption(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

/// A framed label showing a value read from the recording.
QLabel* valueLabel(const QString& name, QWidget* parent);

/// Option buttons `name`_0.. with `captions` in `box`, one above the other or in a row.
QButtonGroup* radioGroup(QGroupBox* box, const QString& name, const QStringList& captions,
                         bool vertical = true);

/// Checks button `id` of an exclusive group without running its handlers.
void check(QButtonGroup* group, int id);

/// Shows `text` in `edit` unless it shows it already, without running its handlers, so
/// the cursor of a box being typed in stays where it is.
void showText(QLineEdit* edit, const std::string& text);

/// The file list's name patterns for the settings' files: "*.mem", the 8840's "*.wav"
/// and "*.wev", or the records' "*.cfg" and "*.cff", "*.csv".
QStringList namePatterns(const ConversionSettings& settings);

}  // namespace waveharm::screen

namespace waveharm::screen {

/// A path elided in the middle, so that its file name and extension stay readable
/// however long its folders are; the whole path is the tooltip.
class ElidedPathLabel : public QLabel {
  public:
    explicit ElidedPathLabel(QWidget* parent) : QLabel(parent) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    void setPath(const QString& path) {
        if (path == m_path) return;
        m_path = path;
        elide();
    }
    /// Shown instead of an empty path.
    void setPlaceholder(const QString& text) {
        if (text == m_placeholder) return;
        m_placeholder = text;
        elide();
    }
    const QString& path() const { return m_path; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        elide();
    }

  private:
    void elide() {
        const QString& shown = m_path.isEmpty() ? m_placeholder : m_path;
        setToolTip(shown);
        setText(fontMetrics().elidedText(shown, Qt::ElideMiddle, contentsRect().width()));
    }
    QString m_path;
    QString m_placeholder;
};

/// The save dialog "ファイル名設定" opened in `folder`; the chosen path, or empty when
/// cancelled.
QString chooseResultFileName(QWidget* parent, const QString& folder);

/// What the engineer answers when the run would replace existing result files.
enum class OverwriteAnswer { Overwrite, OtherName, Cancel };

/// Names the result files that exist already and asks whether to replace them
/// (object name "OverwriteQuestion"; buttons "OverwriteButton", "OtherNameButton",
/// "CancelButton").
OverwriteAnswer askOverwrite(QWidget* parent, const std::vector<std::string>& existing);

}  // namespace waveharm::screen
