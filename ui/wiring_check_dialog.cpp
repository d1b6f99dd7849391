#include "ui/wiring_check_dialog.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayoutItem>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/picture_view.h"
#include "ui/window_fit.h"

namespace waveharm {
namespace {

constexpr double kTwipsPerInch = 1440.0;
/// The check opens as large as the screen allows, so each feeder's diagram and its
/// labels stay readable with seven feeders on a 1366 × 768 laptop.
constexpr QSize kResultSize(1366, 768);
constexpr int kSideWidth = 430;  ///< the texts and findings beside the diagrams, pixels

QString cannotCheckText(const std::string& reason) {
    return QString("この記録では結線を確認できません：%1\n%2")
        .arg(QString::fromStdString(reason), kWiringQuestion);
}

}  // namespace

WiringCheckDialog::WiringCheckDialog(const ConversionSettings& settings, const Recording& recording,
                                     QWidget* parent)
    : QDialog(parent), m_settings(settings), m_recording(&recording) {
    setObjectName("Form02");
    setWindowTitle("測定器の設定");
    setModal(true);
    m_report = [this](const QString& title, const QString& text) {
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    };

    m_checking = new QLabel("測定器設定内容確認中", this);
    m_checking->setObjectName("Label1");
    m_checking->setAlignment(Qt::AlignCenter);
    m_title = new QLabel("基本波ベクトル", this);
    m_title->setObjectName("Label3");
    m_frequency = new QLabel(this);
    m_frequency->setObjectName("Label4");
    m_picture = new PictureView(this);
    m_picture->setObjectName("Picture1");
    m_picture->setKeepAspect(true);
    m_picture->installEventFilter(this);
    m_picture->setMinimumSize(twipsRect(0, 0, kDiagramWidth, kDiagramHeight).size());
    m_picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_text = new QLabel(this);
    m_text->setObjectName("Label2");
    m_text->setWordWrap(true);
    m_ok = new QPushButton("ＯＫ", this);
    m_ok->setObjectName("Command1_1");
    m_cancel = new QPushButton("キャンセル", this);
    m_cancel->setObjectName("Command1_0");

    auto* head = new QHBoxLayout;
    head->addWidget(m_title);
    head->addStretch();
    head->addWidget(m_frequency);
    auto* drawing = new QVBoxLayout;
    drawing->addLayout(head);
    drawing->addWidget(m_picture, 1);

    m_side = new QWidget(this);
    m_side->setObjectName("WiringFindings");
    m_side->setFixedWidth(kSideWidth);
    m_findings = new QVBoxLayout;
    m_findings->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* side = new QVBoxLayout(m_side);
    side->setContentsMargins(0, 0, 0, 0);
    side->addLayout(m_findings);
    side->addStretch();
    side->addWidget(m_text);
    side->addLayout(buttons);

    auto* body = new QHBoxLayout;
    body->addLayout(drawing, 1);
    body->addWidget(m_side);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_checking);
    layout->addLayout(body, 1);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, [this] {
        m_placed = false;
        applyCheckingGeometry();
    });
    applyCheckingGeometry();
}

const Picture& WiringCheckDialog::diagram() const { return m_picture->picture(); }

QRect WiringCheckDialog::twipsRect(int left, int top, int width, int height) const {
    const double sx = logicalDpiX() / kTwipsPerInch;
    const double sy = logicalDpiY() / kTwipsPerInch;
    return QRect(qRound(left * sx), qRound(top * sy), qRound(width * sx), qRound(height * sy));
}

void WiringCheckDialog::applyCheckingGeometry() {
    m_picture->hide();
    m_title->hide();
    m_frequency->hide();
    m_side->hide();
    m_checking->show();
    // A check run again after a fix keeps the window where the engineer has it.
    if (m_placed) return;
    setMinimumSize(0, 0);
    setGeometry(twipsRect(3330, 2500, 4200, 1500));
}

void WiringCheckDialog::applyResultGeometry() {
    m_checking->hide();
    m_title->show();
    m_frequency->show();
    m_picture->show();
    m_side->show();
    if (m_placed) return;
    m_placed = true;
    // The inner rectangle is set, so the title bar stays on the screen however the
    // window manager treats a move of a window already shown.
    const QScreen* where = screen();
    if (!where) return;
    const QRect area = where->availableGeometry();
    const QMargins frame = windowFrameMargins(*this);
    setGeometry(QRect(area.topLeft() + QPoint(frame.left(), frame.top()),
                      fittedSize(kResultSize, minimumSize(), area.size(), frame)));
}

bool WiringCheckDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_picture && event->type() == QEvent::Resize) redrawDiagram();
    return QDialog::eventFilter(watched, event);
}

void WiringCheckDialog::redrawDiagram() {
    if (!m_result || m_picture->height() <= 0) {
        m_picture->setPicture(emptyWiringPicture());
        return;
    }
    // Texts about as high as the window's own, whatever the window's size.
    const double twipsPerPixel = kDiagramHeight / static_cast<double>(m_picture->height());
    const double textHeight = 1.5 * QFontMetricsF(font()).height() * twipsPerPixel;
    const double aspect = m_picture->width() / static_cast<double>(m_picture->height());
    m_picture->setPicture(fittedWiringDiagram(*m_result, m_settings, aspect, textHeight));
}

void WiringCheckDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Let the "checking" state paint before the analysis runs.
    QTimer::singleShot(0, this, &WiringCheckDialog::runCheck);
}

void WiringCheckDialog::runCheck() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    applyCheckingGeometry();
    m_result.reset();
    m_judgement.reset();
    Picture diagram = emptyWiringPicture();
    QString text;
    try {
        if (!m_recording) throw AnalysisError("the recording cannot be read");
        WiringCheckResult r = runWiringCheck(*m_recording, m_settings, m_window);
        if (r.fewSamples) {
            QApplication::restoreOverrideCursor();
            m_report(windowTitle(), kFewSamplesMessage);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        m_frequency->setText(QString::fromStdString(wiringFrequencyText(r)));
        text = QString::fromStdString(wiringCheckText(r));
        diagram = wiringDiagram(r, m_settings);
        m_judgement = judgeWiring(r, m_settings, m_recording->header.countsPerDiv);
        m_result = std::move(r);
    } catch (const WiringCheckError& e) {
        m_frequency->clear();
        text = cannotCheckText(wiringFaultText(e));
    } catch (const std::exception& e) {
        m_frequency->clear();
        text = cannotCheckText(e.what());
    }
    m_text->setText(text);
    m_picture->setPicture(std::move(diagram));
    redrawDiagram();
    showFindings();
    applyResultGeometry();
    QApplication::restoreOverrideCursor();
}

void WiringCheckDialog::showFindings() {
    while (QLayoutItem* item = m_findings->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!m_judgement) return;
    const WiringJudgement& j = *m_judgement;
    auto* verdict = new QLabel(QString::fromStdString(wiringVerdictText(j)), m_side);
    verdict->setObjectName("WiringVerdict");
    QFont bold = verdict->font();
    bold.setBold(true);
    verdict->setFont(bold);
    m_findings->addWidget(verdict);
    for (std::size_t i = 0; i < j.findings.size(); ++i) {
        const WiringFinding& w = j.findings[i];
        auto* label = new QLabel("・" + QString::fromStdString(wiringFindingText(w)), m_side);
        label->setObjectName(QString("Finding_%1").arg(i));
        label->setWordWrap(true);
        // Mistakes in red; facts to confirm in blue.
        label->setStyleSheet(w.notice ? "color: #00007f;" : "color: #c00000;");
        m_findings->addWidget(label);
        if (w.fix.kind == WiringFixKind::None || !m_applyFix) continue;
        auto* fix = new QPushButton(QString::fromStdString(wiringFixText(w.fix)), m_side);
        fix->setObjectName(QString("Fix_%1").arg(i));
        const WiringFix change = w.fix;
        connect(fix, &QPushButton::clicked, this, [this, change] { applyFix(change); });
        auto* row = new QHBoxLayout;
        row->addSpacing(16);
        row->addWidget(fix);
        row->addStretch();
        auto* holder = new QWidget(m_side);
        row->setContentsMargins(0, 0, 0, 0);
        holder->setLayout(row);
        m_findings->addWidget(holder);
    }
}

void WiringCheckDialog::applyFix(const WiringFix& fix) {
    if (!m_applyFix) return;
    m_recording = m_applyFix(fix);
    // The buttons of the old findings go with them; run the check once this click is done.
    QTimer::singleShot(0, this, &WiringCheckDialog::runCheck);
}

}  // namespace waveharm
