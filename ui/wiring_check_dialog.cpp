#include "ui/wiring_check_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/picture_view.h"

namespace waveharm {
namespace {

constexpr double kTwipsPerInch = 1440.0;

QString cannotCheckText(const std::string& reason) {
    return QString("この記録では結線を確認できません：%1\n%2")
        .arg(QString::fromStdString(reason), kWiringQuestion);
}

}  // namespace

WiringCheckDialog::WiringCheckDialog(const ConversionSettings& settings, const Recording& recording,
                                     QWidget* parent)
    : QDialog(parent), m_settings(settings), m_recording(recording) {
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
    m_picture->setFixedSize(twipsRect(0, 0, kDiagramWidth, kDiagramHeight).size());
    m_text = new QLabel(this);
    m_text->setObjectName("Label2");
    m_text->setWordWrap(false);
    m_ok = new QPushButton("ＯＫ", this);
    m_ok->setObjectName("Command1_1");
    m_cancel = new QPushButton("キャンセル", this);
    m_cancel->setObjectName("Command1_0");

    auto* head = new QHBoxLayout;
    head->addWidget(m_title);
    head->addStretch();
    head->addWidget(m_frequency);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_checking);
    layout->addLayout(head);
    layout->addWidget(m_picture);
    layout->addWidget(m_text);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, [this] { applyCheckingGeometry(); });
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
    m_text->hide();
    m_ok->hide();
    m_cancel->hide();
    m_checking->show();
    setMinimumSize(0, 0);
    setGeometry(twipsRect(3330, 2500, 4200, 1500));
}

void WiringCheckDialog::applyResultGeometry() {
    m_checking->hide();
    m_title->show();
    m_frequency->show();
    m_picture->show();
    m_text->show();
    m_ok->show();
    m_cancel->show();
    const QRect wanted = twipsRect(1000, 800, 7500, 6500);
    // Many feeders need more lines of text than the window's nominal height holds.
    const QSize needed = layout()->sizeHint().expandedTo(wanted.size());
    setGeometry(QRect(wanted.topLeft(), needed));
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
    Picture diagram = emptyWiringPicture();
    QString text;
    try {
        WiringCheckResult r = runWiringCheck(m_recording, m_settings, m_window);
        if (r.fewSamples) {
            QApplication::restoreOverrideCursor();
            m_report(windowTitle(), kFewSamplesMessage);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        m_frequency->setText(QString::fromStdString(wiringFrequencyText(r)));
        text = QString::fromStdString(wiringCheckText(r));
        diagram = wiringDiagram(r, m_settings);
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
    applyResultGeometry();
    QApplication::restoreOverrideCursor();
}

}  // namespace waveharm
