#pragma once
// The wiring check "測定器の設定" (Form02): analyses one fundamental period of the
// current recording, shows the frequency, the voltages and currents and one phasor
// diagram per feeder, names what the phasors say is wrong with the wiring, offers each
// finding's settings change on a button, and asks the engineer to confirm the wiring.

#include <QDialog>
#include <QWidget>
#include <functional>
#include <optional>

#include "display/wiring_diagram.h"
#include "display/wiring_texts.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

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

    /// Applies a finding's settings change and returns the recording read again under
    /// the changed settings (null when it cannot be read). Without one no fix is offered.
    using FixApplier = std::function<const Recording*(const WiringFix& fix)>;
    void setFixApplier(FixApplier apply) { m_applyFix = std::move(apply); }

    /// Runs the check and shows its result (also run each time the dialog is shown).
    void runCheck();
    /// The latest check, or nothing when the recording could not be checked.
    const std::optional<WiringCheckResult>& check() const { return m_result; }
    /// What the latest check found (empty when it could not run).
    const std::optional<WiringJudgement>& judgement() const { return m_judgement; }
    const Picture& diagram() const;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyCheckingGeometry();
    void applyResultGeometry();
    QRect twipsRect(int left, int top, int width, int height) const;
    void showFindings();
    void redrawDiagram();
    void applyFix(const WiringFix& fix);

    const ConversionSettings& m_settings;
    const Recording* m_recording;
    MessageReporter m_report;
    FixApplier m_applyFix;
    std::optional<WiringCheckResult> m_result;
    std::optional<WiringJudgement> m_judgement;
    QWidget* m_side = nullptr;
    QVBoxLayout* m_findings = nullptr;  // one text and its fix button per finding
    bool m_placed = false;
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
