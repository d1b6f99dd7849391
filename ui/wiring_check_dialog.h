#pragma once
// The wiring check "測定器の設定" (Form02): analyses one fundamental period of the
// current recording, shows the frequency, the voltages and currents and one phasor
// diagram per feeder, and asks the engineer to confirm the wiring.

#include <QDialog>
#include <QWidget>
#include <functional>
#include <optional>

#include "display/wiring_diagram.h"
#include "display/wiring_texts.h"

class QLabel;
class QPushButton;

namespace waveharm {

class PictureView;

class WiringCheckDialog : public QDialog {
    Q_OBJECT
  public:
    /// "ＯＫ" accepts the dialog (the wiring is confirmed), "キャンセル" rejects it.
    /// `settings` and `recording` must outlive the dialog.
    WiringCheckDialog(const ConversionSettings& settings, const Recording& recording,
                      QWidget* parent = nullptr);

    /// How messages reach the user (a message box unless replaced, e.g. by tests).
    using MessageReporter = std::function<void(const QString& title, const QString& text)>;
    void setMessageReporter(MessageReporter reporter) { m_report = std::move(reporter); }

    /// Runs the check and shows its result (also run each time the dialog is shown).
    void runCheck();
    /// The latest check, or nothing when the recording could not be checked.
    const std::optional<WiringCheckResult>& check() const { return m_result; }
    const Picture& diagram() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void applyCheckingGeometry();
    void applyResultGeometry();
    QRect twipsRect(int left, int top, int width, int height) const;

    const ConversionSettings& m_settings;
    const Recording& m_recording;
    MessageReporter m_report;
    std::optional<WiringCheckResult> m_result;
    WindowWaveforms m_window;
    PictureView* m_picture = nullptr;  // Picture1
    QLabel* m_checking = nullptr;      // Label1
    QLabel* m_title = nullptr;         // Label3
    QLabel* m_frequency = nullptr;     // Label4
    QLabel* m_text = nullptr;          // Label2
    QPushButton* m_ok = nullptr;       // Command1(1)
    QPushButton* m_cancel = nullptr;   // Command1(0)
};

}  // namespace waveharm
