// The settings screen's side for records of other instruments (COMTRADE, CSV): the format
// beside the 8840 box with the rate of CSV records, and the channel map: which channel of
// the record carries each quantity, proposed from its phases and units, with what each
// entry names in the current record.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <stdexcept>

#include "exchange/channel_map.h"
#include "ui/settings_screen.h"
#include "ui/settings_screen_parts.h"

namespace waveharm {

using namespace screen;

namespace {

const QStringList kFormats = {"レコーダ", "COMTRADE", "CSV"};

// The entries of the map the measurement type reads, in the order of the table: R-S, T-S
// and per feeder its R, T (and S with three wattmeters) currents.
std::vector<int> shownQuantities(const ConversionSettings& s) {
    const bool paired = pairedChannels(s.measurementType);
    std::vector<int> quantities{0};
    if (paired) quantities.push_back(1);
    for (int f = 1; f <= s.feederCount && f <= kMappedFeeders; ++f) {
        quantities.push_back(currentQuantity(f, 0));
        if (paired) quantities.push_back(currentQuantity(f, 1));
        if (s.measurementType == MeasurementType::ThreePhase3M)
            quantities.push_back(currentQuantity(f, 2));
    }
    return quantities;
}

// What an entry names in the record: "VA_G1 − VB_G1 (kV)", or why it names nothing.
QString resolvedText(const ChannelRecord* record, const std::string& expression) {
    if (!record || expression.empty()) return {};
    try {
        const ChannelSource s = resolveChannel(*record, expression);
        const auto named = [&](int c) {
            const RecordChannel& ch = record->channels[static_cast<std::size_t>(c)];
            return qText(ch.name) + (ch.unit.empty() ? QString() : " (" + qText(ch.unit) + ")");
        };
        QString text = (s.negate ? "−" : "") + named(s.plus);
        if (s.minus >= 0) text += " − " + named(s.minus);
        return text;
    } catch (const std::invalid_argument& e) {
        return QString::fromUtf8(e.what());
    }
}

}  // namespace

QStringList screen::namePatterns(const ConversionSettings& s) {
    switch (s.records.format) {
        case RecordFormat::Comtrade:
            return {"*.cfg", "*.cff"};
        case RecordFormat::Csv:
            return {"*.csv"};
        case RecordFormat::Recorder:
            break;
    }
    return s.wevFiles ? QStringList{"*.wav", "*.wev"} : QStringList{"*.mem"};
}

QWidget* SettingsScreen::buildFormatChoice(QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_format = new QComboBox(row);
    m_format->setObjectName("RecordFormat");
    m_format->addItems(kFormats);
    m_format->setToolTip("レコーダの波形ファイルか、他の計測器の記録（COMTRADE、CSV）かを選びます");
    m_csvRate =
        lineEdit("CsvRate", "時刻の列がないCSVのサンプリング周波数 (Hz)。空欄は時刻の列から");
    m_csvRate->setPlaceholderText("Hz");
    m_csvRate->setMaximumWidth(70);
    layout->addWidget(caption("形式", row));
    layout->addWidget(m_format);
    layout->addWidget(m_csvRate);
    return row;
}

QWidget* SettingsScreen::buildRecordGroup() {
    m_recordGroup = new QGroupBox("チャンネル割当", this);
    m_recordGroup->setObjectName("RecordMap");
    auto* layout = new QVBoxLayout(m_recordGroup);
    m_mapTable = new QTableWidget(0, 3, m_recordGroup);
    m_mapTable->setObjectName("RecordMapTable");
    m_mapTable->setHorizontalHeaderLabels({"量", "チャンネル", "記録の内容"});
    m_mapTable->verticalHeader()->hide();
    m_mapTable->horizontalHeader()->setStretchLastSection(true);
    m_mapTable->setToolTip("チャンネル番号 #n、チャンネル名、その差 X-Y、または -X で指定します");
    layout->addWidget(m_mapTable);
    auto* buttons = new QHBoxLayout;
    m_propose = new QPushButton("自動提案", m_recordGroup);
    m_propose->setObjectName("ProposeMap");
    m_propose->setToolTip("チャンネルの相と単位から割当を提案します");
    m_recordRatios = new QCheckBox("PT比・CT比で換算", m_recordGroup);
    m_recordRatios->setObjectName("RecordRatios");
    m_recordRatios->setToolTip(
        "記録の値にPT比・CT比を掛けます。外すと記録の変成比で一次側の値にします");
    buttons->addWidget(m_propose);
    buttons->addWidget(m_recordRatios);
    buttons->addStretch();
    layout->addLayout(buttons);
    return m_recordGroup;
}

void SettingsScreen::connectRecordGroup() {
    connect(m_format, &QComboBox::activated, this, [this](int index) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_pattern->setText(namePatterns(m_session.settings()).join(" "));
        m_session.setRecordFormat(static_cast<RecordFormat>(index));
        m_pattern->setText(namePatterns(m_session.settings()).join(" "));
        showSession();
        QApplication::restoreOverrideCursor();
    });
    connect(m_csvRate, &QLineEdit::editingFinished, this, [this] {
        bool ok = false;
        const double rate = m_csvRate->text().toDouble(&ok);
        m_session.setCsvRate(ok && rate > 0 ? std::optional<double>(rate) : std::nullopt);
        showSession();
    });
    connect(m_mapTable, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != 1) return;
        m_session.setChannelMapEntry(item->data(Qt::UserRole).toInt(),
                                     item->text().trimmed().toStdString());
        showSession();
    });
    connect(m_propose, &QPushButton::clicked, this, [this] {
        m_session.proposeChannelMap();
        showSession();
    });
    connect(m_recordRatios, &QCheckBox::clicked, this, [this](bool on) {
        m_session.setRecordRatiosGiven(on);
        showSession();
    });
}

void SettingsScreen::showRecordMap() {
    const ConversionSettings& s = m_session.settings();
    const bool records = s.records.format != RecordFormat::Recorder;
    m_format->setCurrentIndex(static_cast<int>(s.records.format));
    m_wev->setEnabled(!records);
    m_csvRate->setVisible(s.records.format == RecordFormat::Csv);
    if (!m_csvRate->hasFocus())
        m_csvRate->setText(s.records.csvRate ? QString::number(*s.records.csvRate) : QString());
    m_recordGroup->setVisible(records);
    // A record's channels are chosen in the map, not among the recorder's channels.
    if (records) {
        m_channelsSeveral->hide();
        m_channelsOne->hide();
    }
    m_recordRatios->setChecked(s.records.ratiosGiven);
    // A record's currents are amperes: no sensor to give; its own ratios make primary
    // values unless the PT and CT ratios are to scale them.
    m_pt->setEnabled(!records || s.records.ratiosGiven);
    m_ct->setEnabled(!records || s.records.ratiosGiven);
    for (int k = 0; k < 2; ++k)
        m_sense[static_cast<std::size_t>(k)]->setEnabled(!records && m_senseKind->checkedId() == k);
    if (records) {
        for (QLineEdit* e : m_feederClamp) e->setEnabled(false);
        for (int f = 0; f < kMaxFeeders; ++f)
            m_feederCt[static_cast<std::size_t>(f)]->setEnabled(s.records.ratiosGiven &&
                                                                f < s.feederCount);
    }
    m_propose->setEnabled(m_session.record() != nullptr);
    const std::vector<int> quantities = shownQuantities(s);
    const QSignalBlocker block(m_mapTable);
    m_mapTable->setRowCount(static_cast<int>(quantities.size()));
    for (std::size_t row = 0; row < quantities.size(); ++row) {
        const int q = quantities[row];
        const std::string& expression =
            s.records.channelMap.expressions[static_cast<std::size_t>(q)];
        auto* key = new QTableWidgetItem(qText(quantityKey(q)));
        key->setFlags(Qt::ItemIsEnabled);
        auto* entry = new QTableWidgetItem(qText(expression));
        entry->setData(Qt::UserRole, q);
        auto* named = new QTableWidgetItem(resolvedText(m_session.record(), expression));
        named->setFlags(Qt::ItemIsEnabled);
        const int r = static_cast<int>(row);
        m_mapTable->setItem(r, 0, key);
        m_mapTable->setItem(r, 1, entry);
        m_mapTable->setItem(r, 2, named);
    }
    m_mapTable->resizeColumnsToContents();
    const int rows = std::min<int>(static_cast<int>(quantities.size()), 8);
    m_mapTable->setMinimumHeight(m_mapTable->horizontalHeader()->height() +
                                 rows * m_mapTable->verticalHeader()->defaultSectionSize() + 4);
}

}  // namespace waveharm
