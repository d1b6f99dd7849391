#include "ui/campaign_view.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleValidator>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "campaign/report.h"
#include "campaign/report_charts.h"
#include "display/number_format.h"
#include "output/result_writer.h"
#include "ui/error_message.h"
#include "ui/qcustomplot_include.h"
#include "ui/window_fit.h"

namespace waveharm {

namespace {

const QColor kSeriesColours[] = {QColor("#1f5fa8"), QColor("#c0392b"), QColor("#27ae60"),
                                 QColor("#8e44ad"), QColor("#d35400"), QColor("#16a085"),
                                 QColor("#7f8c8d"), QColor("#2c3e50"), QColor("#b7950b")};
const QColor kLimitColour("#d00000");

std::string utf8(const QString& s) {
    const QByteArray b = s.toUtf8();
    return {b.constData(), static_cast<std::size_t>(b.size())};
}

// Days since 1899-12-30 (the records' local time) as seconds for the time axis,
// which shows them in UTC so that no time zone shifts the recorder's clock.
double axisSeconds(double serial) { return (serial - 25569.0) * 86400.0; }

QString timeText(double serial) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::llround(axisSeconds(serial))),
                                         Qt::UTC)
        .toString("yyyy/MM/dd HH:mm");
}

QString number(double v) { return QString::fromStdString(statisticText(v)); }

}  // namespace

class CampaignTableModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(const std::vector<SeriesRow>* rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !m_rows ? 0 : static_cast<int>(m_rows->size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 9;
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        static const char* kHeads[] = {"系列", "単位", "件数",   "最小", "平均",
                                       "最大", "CP95", "制限値", "判定"};
        if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 8) return {};
        return QString::fromUtf8(kHeads[section]);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!m_rows || !index.isValid()) return {};
        const SeriesRow& r = (*m_rows)[static_cast<std::size_t>(index.row())];
        if (role == Qt::BackgroundRole && r.verdict == Verdict::Fail) return QColor("#fde2e2");
        if (role == Qt::TextAlignmentRole && index.column() >= 2 && index.column() <= 7)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        const bool any = r.stats.count > 0;
        switch (index.column()) {
            case 0:
                return QString::fromStdString(r.name);
            case 1:
                return QString::fromStdString(r.unit);
            case 2:
                return QString::number(r.stats.count);
            case 3:
                return any ? number(r.stats.min) : QString();
            case 4:
                return any ? number(r.stats.mean) : QString();
            case 5:
                return any ? number(r.stats.max) : QString();
            case 6:
                return any ? number(r.stats.cp95) : QString();
            case 7:
                return r.limit ? number(*r.limit) : QString();
            case 8:
                return r.verdict == Verdict::Fail   ? QStringLiteral("不適合")
                       : r.verdict == Verdict::Pass ? QStringLiteral("適合")
                                                    : QString();
        }
        return {};
    }

  private:
    const std::vector<SeriesRow>* m_rows = nullptr;
};

CampaignView::CampaignView(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle("キャンペーン集計");
    auto* open = new QPushButton("結果ファイルを開く…", this);
    m_limitChoice = new QComboBox(this);
    m_limitChoice->addItem("制限値なし", QString());
    for (const std::string& name : builtInLimitNames()) {
        const LimitTable t = loadLimitTable(name);
        m_limitChoice->addItem(QString::fromStdString(t.title + "（" + name + "）"),
                               QString::fromStdString(name));
    }
    m_limitChoice->addItem("ファイルから…", QStringLiteral("*file"));
    m_contractKw = new QLineEdit(this);
    m_contractKw->setPlaceholderText("kW");
    m_contractKw->setValidator(new QDoubleValidator(0, 1e7, 3, m_contractKw));
    m_contractKw->setMaximumWidth(90);
    m_nominalKv = new QLineEdit(this);
    m_nominalKv->setPlaceholderText("kV");
    m_nominalKv->setValidator(new QDoubleValidator(0, 1e4, 3, m_nominalKv));
    m_nominalKv->setMaximumWidth(70);
    m_save = new QPushButton("HTMLレポートを保存…", this);
    m_save->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(open);
    bar->addSpacing(12);
    bar->addWidget(new QLabel("制限値", this));
    bar->addWidget(m_limitChoice, 1);
    bar->addWidget(new QLabel("契約電力", this));
    bar->addWidget(m_contractKw);
    bar->addWidget(new QLabel("公称電圧", this));
    bar->addWidget(m_nominalKv);
    bar->addSpacing(12);
    bar->addWidget(m_save);

    m_summary = new QLabel("結果ファイルを開いてください。", this);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    auto* tabs = new QTabWidget(this);
    m_trend = new QCustomPlot(this);
    tabs->addTab(m_trend, "総合歪み率の推移");
    auto* orderPage = new QWidget(this);
    auto* orderLayout = new QVBoxLayout(orderPage);
    m_orderSeries = new QComboBox(orderPage);
    m_orders = new QCustomPlot(orderPage);
    orderLayout->addWidget(m_orderSeries, 0, Qt::AlignLeft);
    orderLayout->addWidget(m_orders, 1);
    tabs->addTab(orderPage, "次数別 CP95・最大値");
    m_table = new QTableView(this);
    m_model = new CampaignTableModel(this);
    m_table->setModel(m_model);
    m_table->verticalHeader()->setDefaultSectionSize(20);
    m_table->verticalHeader()->hide();
    tabs->addTab(m_table, "統計表");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_summary);
    layout->addWidget(tabs, 1);
    layout->addWidget(m_status);

    connect(open, &QPushButton::clicked, this, &CampaignView::chooseFiles);
    connect(m_save, &QPushButton::clicked, this, &CampaignView::saveReport);
    connect(m_limitChoice, &QComboBox::activated, this, [this] {
        if (m_limitChoice->currentData().toString() == "*file") {
            const QString file = QFileDialog::getOpenFileName(this, "制限値ファイル", QString(),
                                                              "制限値ファイル (*.txt);;すべて (*)");
            if (file.isEmpty()) {
                m_limitChoice->setCurrentIndex(0);
            } else {
                m_customLimitFile = file;
            }
        }
        applyLimitInputs();
    });
    connect(m_contractKw, &QLineEdit::editingFinished, this, &CampaignView::applyLimitInputs);
    connect(m_nominalKv, &QLineEdit::editingFinished, this, &CampaignView::applyLimitInputs);
    connect(m_orderSeries, &QComboBox::activated, this, [this] { buildOrders(); });
    connect(m_trend, &QCustomPlot::mouseMove, this, &CampaignView::showTrendCursor);
    resize(1100, 720);
}

CampaignView::~CampaignView() {
    // A reading still under way finishes before the view it reports to goes.
    if (m_loader) m_loader->wait();
}

QString CampaignView::statusText() const { return m_status->text(); }

namespace {

std::vector<std::string> utf8Names(const QStringList& files) {
    std::vector<std::string> names;
    for (const QString& f : files) names.push_back(utf8(f));
    return names;
}

}  // namespace

bool CampaignView::openFiles(const QStringList& files) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        CampaignData data = readCampaign(utf8Names(files), {});
        QApplication::restoreOverrideCursor();
        showData(std::move(data), static_cast<int>(files.size()));
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        m_status->setText(errorMessage(e));
        return false;
    }
    return true;
}

void CampaignView::loadFiles(const QStringList& files) {
    if (m_loader || files.isEmpty()) return;
    struct Outcome {
        std::optional<CampaignData> data;
        QString error;
    };
    auto outcome = std::make_shared<Outcome>();
    const std::vector<std::string> names = utf8Names(files);
    m_loader = QThread::create([names, outcome] {
        try {
            outcome->data = readCampaign(names, {});
        } catch (const std::exception& e) {
            outcome->error = errorMessage(e);
        }
    });
    m_loader->setParent(this);
    const int count = static_cast<int>(files.size());
    connect(m_loader, &QThread::finished, this, [this, outcome, count] {
        m_loader->deleteLater();
        m_loader = nullptr;
        if (outcome->data)
            showData(std::move(*outcome->data), count);
        else
            m_status->setText(outcome->error);
    });
    m_status->setText(QString("%1 ファイルを読み込み中…").arg(count));
    m_loader->start();
}

void CampaignView::showData(CampaignData data, int fileCount) {
    m_data = std::move(data);
    m_status->clear();
    m_summary->setText(QString("%1 ファイル　記録 %2 件　%3 〜 %4")
                           .arg(fileCount)
                           .arg(m_data->recordCount())
                           .arg(m_data->recordCount() ? timeText(m_data->times.front()) : "")
                           .arg(m_data->recordCount() ? timeText(m_data->times.back()) : ""));
    m_orderSeries->clear();
    m_orderSeries->addItem("電圧高調波含有率 V_pct（%）", QStringLiteral("V_pct"));
    for (int k = 1; k <= m_data->layout.feederCount; ++k)
        m_orderSeries->addItem(QString("フィーダ %1 電流高調波 I%1（A）").arg(k),
                               QString("I%1").arg(k));
    m_save->setEnabled(true);
    refresh();
}

bool CampaignView::setLimits(const QString& nameOrPath, double contractKw, double nominalKv) {
    m_context.contractKw = contractKw > 0 ? std::optional<double>(contractKw) : std::nullopt;
    m_context.nominalKv = nominalKv > 0 ? std::optional<double>(nominalKv) : std::nullopt;
    m_limits.reset();
    // The inputs show what is in force, also when it was set from outside.
    int choice = m_limitChoice->findData(nameOrPath);
    if (choice < 0) {
        m_customLimitFile = nameOrPath;
        choice = m_limitChoice->findData(QStringLiteral("*file"));
    }
    m_limitChoice->setCurrentIndex(choice);
    m_contractKw->setText(contractKw > 0 ? QString::number(contractKw) : QString());
    m_nominalKv->setText(nominalKv > 0 ? QString::number(nominalKv) : QString());
    bool ok = true;
    if (!nameOrPath.isEmpty()) {
        try {
            m_limits = applyLimits(loadLimitTable(utf8(nameOrPath)), m_context);
            m_status->clear();
        } catch (const LimitError& e) {
            m_status->setText(errorMessage(e));
            ok = false;
        }
    } else {
        m_status->clear();
    }
    refresh();
    return ok;
}

void CampaignView::applyLimitInputs() {
    QString table = m_limitChoice->currentData().toString();
    if (table == "*file") table = m_customLimitFile;
    setLimits(table, QLocale::c().toDouble(m_contractKw->text()),
              QLocale::c().toDouble(m_nominalKv->text()));
}

void CampaignView::refresh() {
    if (!m_data) return;
    checkAgainstLimits(m_data->rows, m_limits ? &*m_limits : nullptr);
    m_model->setRows(&m_data->rows);
    m_table->resizeColumnsToContents();
    buildTrend();
    buildOrders();
}

void CampaignView::buildTrend() {
    QCustomPlot* p = m_trend;
    p->clearGraphs();
    p->clearItems();
    const CampaignData& d = *m_data;
    const double gap = 5 * typicalRecordSpacing(d.times);
    auto add = [&](const QString& name, const std::vector<float>& values, const QColor& colour) {
        QCPGraph* g = p->addGraph();
        g->setName(name);
        g->setPen(QPen(colour, 1.2));
        // QCustomPlot thins dense data keeping each pixel column's extremes.
        g->setAdaptiveSampling(true);
        QVector<QCPGraphData> points;
        points.reserve(static_cast<int>(values.size()));
        for (std::size_t i = 0; i < values.size(); ++i) {
            // A NaN point breaks the line where the recorder was stopped.
            if (i > 0 && gap > 0 && d.times[i] - d.times[i - 1] > gap)
                points.push_back({axisSeconds(d.times[i - 1]) + 1, qQNaN()});
            points.push_back(
                {axisSeconds(d.times[i]), std::isnan(values[i]) ? qQNaN() : values[i]});
        }
        g->data()->set(points, true);
    };
    for (const TrendSeries& t : d.trends)
        add(QString::fromStdString(t.name), t.values, kSeriesColours[t.feeder % 9]);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat("MM/dd\nHH:mm");
    ticker->setDateTimeSpec(Qt::UTC);
    p->xAxis->setTicker(ticker);
    p->yAxis->setLabel("総合歪み率 %");
    p->legend->setVisible(true);
    p->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    p->rescaleAxes();
    p->yAxis->setRangeLower(0);
    p->yAxis->setRangeUpper(p->yAxis->range().upper * 1.1);
    for (const SeriesRow& r : d.rows) {
        if ((r.kind != SeriesKind::VoltageThd && r.kind != SeriesKind::CurrentThd) || !r.limit)
            continue;
        auto* line = new QCPItemStraightLine(p);
        line->point1->setCoords(0, *r.limit);
        line->point2->setCoords(1, *r.limit);
        line->setPen(QPen(kLimitColour, 1.4, Qt::DashLine));
        if (*r.limit > p->yAxis->range().upper) p->yAxis->setRangeUpper(*r.limit * 1.1);
    }
    p->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    p->axisRect()->setRangeDrag(Qt::Horizontal);
    p->axisRect()->setRangeZoom(Qt::Horizontal);
    // The cursor: a vertical line and the readout of the record under it.
    auto* cursor = new QCPItemStraightLine(p);
    cursor->setObjectName("cursor");
    cursor->setPen(QPen(QColor("#888"), 1, Qt::DotLine));
    cursor->setVisible(false);
    auto* readout = new QCPItemText(p);
    readout->setObjectName("readout");
    readout->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    readout->position->setType(QCPItemPosition::ptAxisRectRatio);
    readout->position->setCoords(0.01, 0.02);
    readout->setBrush(QBrush(QColor(255, 255, 255, 220)));
    readout->setPadding(QMargins(4, 2, 4, 2));
    readout->setText("");
    p->replot();
}

void CampaignView::showTrendCursor(QMouseEvent* event) {
    if (!m_data || m_data->times.empty()) return;
    QCPItemStraightLine* cursor = nullptr;
    QCPItemText* readout = nullptr;
    for (int i = 0; i < m_trend->itemCount(); ++i) {
        QCPAbstractItem* item = m_trend->item(i);
        if (item->objectName() == "cursor") cursor = qobject_cast<QCPItemStraightLine*>(item);
        if (item->objectName() == "readout") readout = qobject_cast<QCPItemText*>(item);
    }
    if (!cursor || !readout) return;
    const double x = m_trend->xAxis->pixelToCoord(event->position().x());
    const double serial = x / 86400.0 + 25569.0;
    const auto& times = m_data->times;
    auto it = std::lower_bound(times.begin(), times.end(), serial);
    if (it == times.end()) --it;
    if (it != times.begin() && serial - *(it - 1) < *it - serial) --it;
    const std::size_t i = static_cast<std::size_t>(it - times.begin());
    const double at = axisSeconds(times[i]);
    cursor->point1->setCoords(at, 0);
    cursor->point2->setCoords(at, 1);
    cursor->setVisible(true);
    QString text = timeText(times[i]);
    for (const TrendSeries& t : m_data->trends)
        text += QString("   %1 %2 %").arg(QString::fromStdString(t.name)).arg(number(t.values[i]));
    readout->setText(text);
    m_trend->replot(QCustomPlot::rpQueuedReplot);
}

void CampaignView::buildOrders() {
    QCustomPlot* p = m_orders;
    p->clearPlottables();
    p->clearItems();
    if (!m_data) return;
    const QString prefix = m_orderSeries->currentData().toString();
    QVector<double> keys, cp95, max;
    QVector<QString> labels;
    auto* ticker = new QCPAxisTickerText;
    for (int n : m_data->orders) {
        if (n < 2 || n > 50) continue;
        const std::string name = utf8(prefix) + "_h" + std::to_string(n);
        const auto r = std::find_if(m_data->rows.begin(), m_data->rows.end(),
                                    [&](const SeriesRow& s) { return s.name == name; });
        if (r == m_data->rows.end() || r->stats.count == 0) continue;
        keys << n;
        cp95 << r->stats.cp95;
        max << r->stats.max;
        ticker->addTick(n, QString::number(n));
        if (r->limit) {
            auto* mark = new QCPItemLine(p);
            mark->start->setCoords(n - 0.8, *r->limit);
            mark->end->setCoords(n + 0.8, *r->limit);
            mark->setPen(QPen(kLimitColour, 2.5));
        }
    }
    const bool odd = m_data->layout.option != HarmonicOption::HighOrder256;
    auto* group = new QCPBarsGroup(p);
    auto bars = [&](const QString& name, const QVector<double>& values, const QColor& colour) {
        auto* b = new QCPBars(p->xAxis, p->yAxis);
        b->setName(name);
        b->setData(keys, values, true);
        b->setWidth(odd ? 0.8 : 0.4);
        b->setBrush(colour);
        b->setPen(Qt::NoPen);
        b->setBarsGroup(group);
    };
    bars("CP95", cp95, QColor("#1f5fa8"));
    bars("最大値", max, QColor("#9dbde6"));
    p->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(ticker));
    p->xAxis->setLabel("次数");
    p->yAxis->setLabel(prefix == "V_pct" ? "基本波に対する %" : "一次側電流 A");
    p->legend->setVisible(true);
    p->rescaleAxes();
    double top = p->yAxis->range().upper;
    for (int i = 0; i < p->itemCount(); ++i)
        if (auto* line = qobject_cast<QCPItemLine*>(p->item(i)))
            top = std::max(top, line->start->coords().y());
    p->yAxis->setRange(0, top * 1.1 > 0 ? top * 1.1 : 1);
    p->xAxis->setRange(1, 51);
    p->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    p->replot();
}

void CampaignView::chooseFiles() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, "結果ファイルを開く", QString(),
        "結果ファイル (*.hm? *.ha4 *.ha5 *.hv? *.hn? *.Rh* *.Th* *.Sh*);;すべて (*)");
    if (!files.isEmpty()) loadFiles(files);
}

bool CampaignView::saveReportTo(const QString& folder) {
    if (!m_data) return false;
    try {
        writeReportFiles(utf8(folder), *m_data, {m_limits ? &*m_limits : nullptr, m_context, {}});
    } catch (const OutputError& e) {
        m_status->setText(errorMessage(e));
        return false;
    }
    m_status->setText("保存しました：" + QDir(folder).filePath("report.html"));
    return true;
}

void CampaignView::saveReport() {
    const QString folder = QFileDialog::getExistingDirectory(this, "HTMLレポートの保存先");
    if (!folder.isEmpty()) saveReportTo(folder);
}

CampaignView* showCampaignView(const QStringList& resultFiles, QWidget* parent) {
    auto* view = new CampaignView(parent);
    view->setAttribute(Qt::WA_DeleteOnClose);
    // Smaller than designed on a screen that has no room for it.
    if (const QScreen* screen = view->screen()) {
        view->resize(fittedSize(view->size(), view->minimumSize(),
                                screen->availableGeometry().size(), windowFrameMargins(*view)));
    }
    if (!resultFiles.isEmpty()) view->loadFiles(resultFiles);
    view->show();
    return view;
}

}  // namespace waveharm
