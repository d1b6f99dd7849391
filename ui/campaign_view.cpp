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
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
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

// Seconds on the time axis back to days since 1899-12-30.
double serialOf(double axis) { return axis / 86400.0 + 25569.0; }

// The limit table's faults as the engineer reads them on this screen.
QString limitMessage(const LimitTable& table, const LimitContext& context) {
    if (table.needsContractPower() && !(context.contractKw && *context.contractKw > 0))
        return "この制限値は契約電力 1 kW あたりの値です。契約電力（kW）を入力してください。";
    if (table.needsNominalVoltage() && !(context.nominalKv && *context.nominalKv > 0))
        return "この制限値は母線電圧によって変わります。公称電圧（kV）を入力してください。";
    return {};
}

}  // namespace

// The trend's cursor: a dotted vertical line painted over the plot without replotting it.
class TrendCursor : public QWidget {
  public:
    explicit TrendCursor(QWidget* plot) : QWidget(plot) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        hide();
    }
    void place(int x, int top, int bottom) {
        setGeometry(x, top, 1, std::max(1, bottom - top));
        show();
        raise();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(QColor("#555"), 1, Qt::DotLine));
        p.drawLine(0, 0, 0, height());
    }
};

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
    m_open = new QPushButton("結果ファイルを開く…", this);
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
    m_site = new QLineEdit(this);
    m_site->setObjectName("SiteName");
    m_site->setPlaceholderText("レポートの表題に入ります");
    m_site->setMaximumWidth(180);
    m_save = new QPushButton("HTMLレポートを保存…", this);
    m_save->setEnabled(false);
    m_csv = new QPushButton("CSV出力…", this);
    m_csv->setObjectName("RecordsCsv");
    m_csv->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_open);
    bar->addSpacing(8);
    bar->addWidget(new QLabel("制限値", this));
    bar->addWidget(m_limitChoice, 1);
    bar->addWidget(new QLabel("契約電力", this));
    bar->addWidget(m_contractKw);
    bar->addWidget(new QLabel("公称電圧", this));
    bar->addWidget(m_nominalKv);
    auto* bar2 = new QHBoxLayout;
    bar2->addWidget(new QLabel("現場名", this));
    bar2->addWidget(m_site);
    bar2->addStretch(1);
    bar2->addWidget(m_csv);
    bar2->addWidget(m_save);

    m_summary = new QLabel("結果ファイルを開いてください。", this);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_tabs = new QTabWidget(this);
    auto* trendPage = new QWidget(this);
    auto* trendLayout = new QVBoxLayout(trendPage);
    trendLayout->setContentsMargins(2, 2, 2, 2);
    // The readout sits above the plot, where neither the legend nor a line covers it.
    m_readout = new QLabel("グラフ上にマウスを置くと、その時刻の値を表示します。", trendPage);
    m_readout->setObjectName("TrendReadout");
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_trend = new QCustomPlot(trendPage);
    m_cursor = new TrendCursor(m_trend);
    trendLayout->addWidget(m_readout);
    trendLayout->addWidget(m_trend, 1);
    trendLayout->addWidget(new QLabel(
        "凡例をクリックすると系列を表示・非表示にします。ホイールで拡大縮小、ドラッグで移動。",
        trendPage));
    m_tabs->addTab(trendPage, "総合歪み率の推移");
    auto* orderPage = new QWidget(this);
    auto* orderLayout = new QVBoxLayout(orderPage);
    m_orderSeries = new QComboBox(orderPage);
    m_orders = new QCustomPlot(orderPage);
    orderLayout->addWidget(m_orderSeries, 0, Qt::AlignLeft);
    orderLayout->addWidget(m_orders, 1);
    m_tabs->addTab(orderPage, "次数別 CP95・最大値");
    m_table = new QTableView(this);
    m_model = new CampaignTableModel(this);
    m_table->setModel(m_model);
    m_table->verticalHeader()->setDefaultSectionSize(20);
    m_table->verticalHeader()->hide();
    m_tabs->addTab(m_table, "統計表");
    m_setupTable = new QTableView(this);
    m_setupTable->setModel(new QStandardItemModel(0, 2, m_setupTable));
    m_setupTable->horizontalHeader()->hide();
    m_setupTable->verticalHeader()->hide();
    m_setupTable->horizontalHeader()->setStretchLastSection(true);
    m_setupTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tabs->addTab(m_setupTable, "測定条件");
    m_tabs->setTabVisible(3, false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(bar2);
    layout->addWidget(m_summary);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_status);

    connect(m_open, &QPushButton::clicked, this, &CampaignView::chooseFiles);
    connect(m_save, &QPushButton::clicked, this, &CampaignView::saveReport);
    connect(m_csv, &QPushButton::clicked, this, &CampaignView::saveRecordsCsv);
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
    m_orderSeries->setObjectName("OrderSeries");
    connect(m_orderSeries, &QComboBox::currentIndexChanged, this, [this] { buildOrders(); });
    connect(m_trend, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* e) { moveTrendCursor(e->position().x()); });
    connect(m_trend, &QCustomPlot::legendClick, this,
            [this](QCPLegend* l, QCPAbstractLegendItem* item, QMouseEvent*) {
                legendClicked(l, item);
            });
    // Zoom and pan take the lines again from the summaries: a few spans per pixel column.
    connect(m_trend->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { fillTrend(); });
    setMinimumSize(760, 520);
    resize(1100, 720);
}

CampaignView::~CampaignView() {
    // A reading still under way finishes before the view it reports to goes.
    if (m_loader) m_loader->wait();
}

QString CampaignView::statusText() const { return m_status->text(); }
QString CampaignView::readoutText() const { return m_readout->text(); }

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

void CampaignView::setBusy(bool busy) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_open, m_limitChoice, m_contractKw, m_nominalKv})
        w->setEnabled(!busy);
    m_save->setEnabled(!busy && m_data);
    m_csv->setEnabled(!busy && m_data);
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
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
        setBusy(false);
        if (outcome->data)
            showData(std::move(*outcome->data), count);
        else
            m_status->setText(outcome->error);
    });
    setBusy(true);
    m_status->setText(
        QString("%1 ファイルを読み込み中です…（記録の多いキャンペーンでは数秒かかります）")
            .arg(count));
    m_loader->start();
}

namespace {

// The feeders' names the run was given, one per feeder (empty where none was).
std::vector<std::string> feederNamesOf(const MeasurementSetup& setup) {
    const auto& names = setup.settings.feederNames;
    return {names.begin(), names.end()};
}

}  // namespace

void CampaignView::showData(CampaignData data, int fileCount) {
    m_data = std::move(data);
    if (m_setup) {
        m_data->setup = m_setup;
        m_data->feederNames = feederNamesOf(*m_setup);
    }
    m_status->clear();
    m_summary->setText(QString("%1 ファイル　記録 %2 件　%3 〜 %4")
                           .arg(fileCount)
                           .arg(m_data->recordCount())
                           .arg(m_data->recordCount() ? timeText(m_data->times.front()) : "")
                           .arg(m_data->recordCount() ? timeText(m_data->times.back()) : ""));
    m_orderSeries->clear();
    m_orderSeries->addItem("電圧高調波含有率 V_pct（%）", QStringLiteral("V_pct"));
    for (int k = 1; k <= m_data->layout.feederCount; ++k)
        m_orderSeries->addItem(QString("%1 電流高調波 I%2（A）")
                                   .arg(QString::fromStdString(m_data->feederLabel(k)))
                                   .arg(k),
                               QString("I%1").arg(k));
    // The voltage and the first feeder at first; the others from the legend.
    m_shown.assign(m_data->trends.size(), false);
    for (std::size_t t = 0; t < m_shown.size(); ++t) m_shown[t] = m_data->trends[t].feeder <= 1;
    setBusy(false);
    checkAgainstLimits(m_data->rows, m_limits ? &*m_limits : nullptr);
    m_model->setRows(&m_data->rows);
    m_table->resizeColumnsToContents();
    buildTrend();
    buildOrders();
    showSetup();
}

void CampaignView::setMeasurementSetup(const MeasurementSetup& setup) {
    m_setup = setup;
    if (m_site->text().isEmpty()) m_site->setText(QString::fromStdString(setup.settings.siteName));
    if (m_data) {
        m_data->setup = setup;
        m_data->feederNames = feederNamesOf(setup);
    }
    showSetup();
}

void CampaignView::showSetup() {
    auto* model = static_cast<QStandardItemModel*>(m_setupTable->model());
    model->removeRows(0, model->rowCount());
    if (!m_setup) return;
    for (const auto& [caption, value] : setupRows(*m_setup))
        model->appendRow({new QStandardItem(QString::fromStdString(caption)),
                          new QStandardItem(QString::fromStdString(value))});
    m_setupTable->resizeColumnToContents(0);
    m_setupTable->resizeRowsToContents();
    m_tabs->setTabVisible(3, true);
}

void CampaignView::setCampaignChoices(const CampaignChoices& choices) {
    if (!choices.limits.empty())
        setLimits(QString::fromStdString(choices.limits), choices.contractKw.value_or(0), 0);
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
    m_status->clear();
    if (!nameOrPath.isEmpty()) {
        try {
            const LimitTable table = loadLimitTable(utf8(nameOrPath));
            if (const QString missing = limitMessage(table, m_context); !missing.isEmpty()) {
                m_status->setText(missing);
                ok = false;
            } else {
                m_limits = applyLimits(table, m_context);
            }
        } catch (const LimitError& e) {
            m_status->setText(errorMessage(e));
            ok = false;
        }
    }
    refreshVerdicts();
    return ok;
}

void CampaignView::applyLimitInputs() {
    QString table = m_limitChoice->currentData().toString();
    if (table == "*file") table = m_customLimitFile;
    setLimits(table, QLocale::c().toDouble(m_contractKw->text()),
              QLocale::c().toDouble(m_nominalKv->text()));
}

// A new limit table or contract power changes the limits and verdicts only: the table,
// the bars and the trend's limit lines; nothing is read again.
void CampaignView::refreshVerdicts() {
    if (!m_data) return;
    checkAgainstLimits(m_data->rows, m_limits ? &*m_limits : nullptr);
    m_model->setRows(&m_data->rows);
    buildOrders();
    drawTrendLimits();
    m_trend->replot();
}

void CampaignView::buildTrend() {
    QCustomPlot* p = m_trend;
    p->clearGraphs();
    p->clearItems();
    const CampaignData& d = *m_data;
    for (const TrendSeries& t : d.trends) {
        QCPGraph* g = p->addGraph();
        const std::string label = t.feeder == 0 ? t.name : d.feederLabel(t.feeder) + " " + t.name;
        g->setName(QString::fromStdString(label));
        g->setPen(QPen(QColor(trendColour(t.feeder)), 1.2));
        g->setAdaptiveSampling(false);
    }
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat("MM/dd\nHH:mm");
    ticker->setDateTimeSpec(Qt::UTC);
    p->xAxis->setTicker(ticker);
    p->xAxis->setLabel("時刻");
    p->yAxis->setLabel("総合歪み率（%）");
    p->legend->setVisible(true);
    p->legend->setSelectableParts(QCPLegend::spItems);
    p->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    p->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    p->axisRect()->setRangeDrag(Qt::Horizontal);
    p->axisRect()->setRangeZoom(Qt::Horizontal);
    const TimeWindow w = d.wholeTime();
    {
        const QSignalBlocker block(p->xAxis);
        p->xAxis->setRange(axisSeconds(w.t0), axisSeconds(w.t1));
    }
    fillTrend();
}

// The shown lines over the visible time range, from each trend's summary: each pixel
// column's minimum and maximum, whatever the record count.
void CampaignView::fillTrend() {
    if (!m_data || m_trend->graphCount() != static_cast<int>(m_data->trends.size())) return;
    m_cursor->hide();  // placed again by the next mouse move over the new range
    const CampaignData& d = *m_data;
    const double t0 = serialOf(m_trend->xAxis->range().lower);
    const double t1 = serialOf(m_trend->xAxis->range().upper);
    const int columns = std::max(50, m_trend->axisRect()->width());
    const double columnDays = (t1 - t0) / columns;
    const int join =
        static_cast<int>(std::ceil(5 * d.recordSpacing / std::max(columnDays, 1e-9))) + 1;
    double highest = 0;
    for (std::size_t t = 0; t < d.trends.size(); ++t) {
        QCPGraph* g = m_trend->graph(static_cast<int>(t));
        const bool shown = t < m_shown.size() && m_shown[t];
        g->setVisible(shown);
        if (QCPPlottableLegendItem* item = m_trend->legend->itemWithPlottable(g))
            item->setTextColor(shown ? Qt::black : QColor("#aaa"));
        QVector<QCPGraphData> points;
        if (shown) {
            const TrendSeries& s = d.trends[t];
            const auto extents = s.summary.extents(d.times, s.values, t0, t1, columns);
            int last = -1;
            for (int c = 0; c < columns; ++c) {
                const ColumnExtent& e = extents[static_cast<std::size_t>(c)];
                if (!e.any) continue;
                const double x = axisSeconds(t0 + (c + 0.5) * columnDays);
                // Records further apart than a few of their usual intervals leave a gap.
                if (last >= 0 && c - last > join) points.push_back({x - 1, qQNaN()});
                points.push_back({x, e.min});
                if (e.max != e.min) points.push_back({x, e.max});
                highest = std::max(highest, double(e.max));
                last = c;
            }
        }
        g->data()->set(points, true);
    }
    for (const SeriesRow& r : d.rows)
        if ((r.kind == SeriesKind::VoltageThd || r.kind == SeriesKind::CurrentThd) && r.limit)
            highest = std::max(highest, *r.limit);
    m_trend->yAxis->setRange(0, highest > 0 ? niceCeiling(highest * 1.05) : 1);
    drawTrendLimits();
    m_trend->replot(QCustomPlot::rpQueuedReplot);
}

void CampaignView::drawTrendLimits() {
    m_trend->clearItems();
    if (!m_data) return;
    for (std::size_t t = 0; t < m_data->trends.size(); ++t) {
        if (t >= m_shown.size() || !m_shown[t]) continue;
        const SeriesRow* r = m_data->row(m_data->trends[t].name);
        if (!r || !r->limit) continue;
        auto* line = new QCPItemStraightLine(m_trend);
        line->point1->setCoords(0, *r->limit);
        line->point2->setCoords(1, *r->limit);
        line->setPen(QPen(QColor(trendColour(m_data->trends[t].feeder)), 1.4, Qt::DashLine));
    }
}

void CampaignView::legendClicked(QCPLegend*, QCPAbstractLegendItem* item) {
    auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
    if (!entry || !m_data) return;
    for (int t = 0; t < m_trend->graphCount(); ++t)
        if (m_trend->graph(t) == entry->plottable())
            setTrendShown(m_data->trends[static_cast<std::size_t>(t)].feeder,
                          !m_shown[static_cast<std::size_t>(t)]);
}

void CampaignView::setTrendShown(int feeder, bool shown) {
    if (!m_data) return;
    for (std::size_t t = 0; t < m_data->trends.size(); ++t)
        if (m_data->trends[t].feeder == feeder && t < m_shown.size()) m_shown[t] = shown;
    fillTrend();
}

bool CampaignView::trendShown(int feeder) const {
    if (!m_data) return false;
    for (std::size_t t = 0; t < m_data->trends.size(); ++t)
        if (m_data->trends[t].feeder == feeder) return t < m_shown.size() && m_shown[t];
    return false;
}

// The record nearest the mouse, found by bisection, read out above the plot; the cursor
// line is a widget of its own over the plot, so nothing is replotted.
void CampaignView::moveTrendCursor(double x) {
    if (!m_data || m_data->times.empty()) return;
    const QRect plot = m_trend->axisRect()->rect();
    if (x < plot.left() || x > plot.right()) return;
    const double serial = serialOf(m_trend->xAxis->pixelToCoord(x));
    const auto& times = m_data->times;
    auto it = std::lower_bound(times.begin(), times.end(), serial);
    if (it == times.end()) --it;
    if (it != times.begin() && serial - *(it - 1) < *it - serial) --it;
    const std::size_t i = static_cast<std::size_t>(it - times.begin());
    const double at = m_trend->xAxis->coordToPixel(axisSeconds(times[i]));
    if (at >= plot.left() && at <= plot.right())
        static_cast<TrendCursor*>(m_cursor)->place(static_cast<int>(std::lround(at)), plot.top(),
                                                   plot.bottom());
    else
        m_cursor->hide();
    QString text = timeText(times[i]);
    for (std::size_t t = 0; t < m_data->trends.size(); ++t) {
        if (t >= m_shown.size() || !m_shown[t]) continue;
        const TrendSeries& s = m_data->trends[t];
        const float v = s.values[i];
        text += QString("　%1 %2").arg(QString::fromStdString(s.name),
                                       std::isnan(v) ? QString("－") : number(v) + " %");
    }
    m_readout->setText(text);
}

void CampaignView::buildOrders() {
    QCustomPlot* p = m_orders;
    p->clearPlottables();
    p->clearItems();
    if (!m_data) return;
    const QString prefix = m_orderSeries->currentData().toString();
    const OrderBars ob = orderBars(*m_data, utf8(prefix));
    QVector<double> keys, cp95, max;
    auto* ticker = new QCPAxisTickerText;
    double top = 0;
    for (std::size_t i = 0; i < ob.orders.size(); ++i) {
        keys << ob.orders[i];
        cp95 << ob.cp95[i];
        max << ob.max[i];
        ticker->addTick(ob.orders[i], QString::number(ob.orders[i]));
        top = std::max({top, ob.cp95[i], ob.max[i], ob.limit[i].value_or(0)});
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
    // The limit marks over the bars, so that a bar above its limit shows where it is.
    if (!p->layer("limits")) p->addLayer("limits", p->layer("main"), QCustomPlot::limAbove);
    for (std::size_t i = 0; i < ob.orders.size(); ++i) {
        if (!ob.limit[i]) continue;
        auto* mark = new QCPItemLine(p);
        mark->setLayer("limits");
        mark->start->setCoords(ob.orders[i] - 0.8, *ob.limit[i]);
        mark->end->setCoords(ob.orders[i] + 0.8, *ob.limit[i]);
        mark->setPen(QPen(kLimitColour, 2.5));
    }
    p->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(ticker));
    p->xAxis->setLabel("次数");
    p->yAxis->setLabel(prefix == "V_pct" ? "基本波に対する含有率（%）" : "一次側電流（A）");
    p->legend->setVisible(true);
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
        writeReportFiles(
            utf8(folder), *m_data,
            {m_limits ? &*m_limits : nullptr, m_context, utf8(m_site->text().trimmed())});
    } catch (const OutputError& e) {
        m_status->setText(errorMessage(e));
        return false;
    }
    m_status->setText("保存しました：" + QDir(folder).filePath("report.html"));
    return true;
}

bool CampaignView::saveReportAsking(QString folder) {
    while (!folder.isEmpty()) {
        const std::vector<std::string> existing = existingReportFiles(utf8(folder));
        if (existing.empty()) break;
        QStringList names;
        for (const std::string& f : existing) names << QString::fromStdString(f);
        QMessageBox ask(
            QMessageBox::Question, "レポートの上書き",
            "保存先には既に次のファイルがあります。\n" + names.join("\n") + "\n\n上書きしますか。",
            QMessageBox::NoButton, this);
        ask.setObjectName("ReportOverwrite");
        QPushButton* overwrite = ask.addButton("上書き", QMessageBox::AcceptRole);
        overwrite->setObjectName("Overwrite");
        QPushButton* other = ask.addButton("別の保存先…", QMessageBox::ActionRole);
        ask.addButton("キャンセル", QMessageBox::RejectRole)->setObjectName("Cancel");
        ask.exec();
        if (ask.clickedButton() == overwrite) break;
        if (ask.clickedButton() != other) return false;
        folder = QFileDialog::getExistingDirectory(this, "HTMLレポートの保存先", folder);
    }
    return !folder.isEmpty() && saveReportTo(folder);
}

void CampaignView::saveReport() {
    saveReportAsking(QFileDialog::getExistingDirectory(this, "HTMLレポートの保存先"));
}

bool CampaignView::saveRecordsCsvTo(const QString& file) {
    if (!m_data) return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        writeRecordsCsv(utf8(file), *m_data);
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        m_status->setText(errorMessage(e));
        return false;
    }
    QApplication::restoreOverrideCursor();
    m_status->setText("保存しました：" + file);
    return true;
}

void CampaignView::saveRecordsCsv() {
    // The file dialog asks before replacing a file of the chosen name.
    const QString file =
        QFileDialog::getSaveFileName(this, "CSV出力", "records.csv", "CSV ファイル (*.csv)");
    if (!file.isEmpty()) saveRecordsCsvTo(file);
}

CampaignView* showCampaignView(const QStringList& resultFiles, QWidget* parent,
                               const MeasurementSetup* setup) {
    auto* view = new CampaignView(parent);
    view->setAttribute(Qt::WA_DeleteOnClose);
    if (setup) {
        view->setMeasurementSetup(*setup);
        view->setCampaignChoices(setup->campaign);
    }
    // On the screen at any resolution, smaller than designed where there is no room.
    placeOnScreen(*view, QSize(1100, 720));
    if (!resultFiles.isEmpty()) view->loadFiles(resultFiles);
    view->show();
    return view;
}

}  // namespace waveharm
