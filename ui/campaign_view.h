#pragma once
// The campaign view: the result files of one site read together, with the distortion
// trends over time (zoom and pan, a cursor reading time and values), the per-order
// CP95 and maximum against the chosen limits, the statistics table, and the HTML
// report saved from the same data.

#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

#include "campaign/campaign_data.h"
#include "campaign/limits.h"

class QComboBox;
class QCustomPlot;
class QCPAbstractLegendItem;
class QCPLegend;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTabWidget;
class QThread;
class QMouseEvent;

namespace waveharm {

class CampaignTableModel;

class CampaignView : public QWidget {
    Q_OBJECT
  public:
    explicit CampaignView(QWidget* parent = nullptr);
    ~CampaignView() override;

    /// Reads `files` (UTF-8 paths of one site's result files) and shows them. On a
    /// file that cannot be read the view keeps what it showed and the status line
    /// names the file and the fault; returns false then.
    bool openFiles(const QStringList& files);
    /// The same in a worker thread, so that a year of records does not hold the
    /// window; the view shows the files when they are read (see `loading`).
    void loadFiles(const QStringList& files);
    /// Whether a `loadFiles` is still reading.
    bool loading() const { return m_loader != nullptr; }
    /// Chooses the limit table by built-in name or file path ("" for none) with the
    /// contract power (kW) and nominal voltage (kV) it may need; 0 leaves them out.
    /// Returns false, with the reason in the status line, when the table cannot be used.
    bool setLimits(const QString& nameOrPath, double contractKw, double nominalKv);
    /// The site's limit table and contract power, as a profile keeps them (none: no change).
    void setCampaignChoices(const CampaignChoices& choices);
    /// Writes the HTML report (and statistics.csv beside it) into `folder`, replacing
    /// earlier report files there (the screen asks before, see saveReport).
    bool saveReportTo(const QString& folder);
    /// The same, asking first when `folder` holds report files (上書き, 別の保存先 — which
    /// asks for another folder —, キャンセル). Returns whether a report was written.
    bool saveReportAsking(QString folder);
    /// Writes every record in time order as dump prints them into `file` (for Excel:
    /// BOM-less ASCII, CR LF).
    bool saveRecordsCsvTo(const QString& file);
    /// The run's setup, shown in its own tab and carried into the report.
    void setMeasurementSetup(const MeasurementSetup& setup);
    /// Shows or hides a distortion trend (0: V_thd, k: feeder k), as a click on its
    /// legend entry does.
    void setTrendShown(int feeder, bool shown);
    bool trendShown(int feeder) const;
    /// Moves the trend's cursor to the widget position `x` of the trend plot.
    void moveTrendCursor(double x);
    QString readoutText() const;

    const CampaignData* data() const { return m_data ? &*m_data : nullptr; }
    QString statusText() const;
    QCustomPlot* trendPlot() const { return m_trend; }
    QCustomPlot* orderPlot() const { return m_orders; }

  public Q_SLOTS:
    void chooseFiles();
    void saveReport();
    void saveRecordsCsv();

  private:
    void buildTrend();
    void fillTrend();
    void drawTrendLimits();
    void buildOrders();
    void applyLimitInputs();
    void refreshVerdicts();
    void showData(CampaignData data, int fileCount);
    void showSetup();
    void setBusy(bool busy);
    void legendClicked(QCPLegend* legend, QCPAbstractLegendItem* item);

    std::optional<CampaignData> m_data;
    std::optional<AppliedLimits> m_limits;
    LimitContext m_context;
    QLabel* m_summary = nullptr;
    QLabel* m_status = nullptr;
    QComboBox* m_limitChoice = nullptr;
    QLineEdit* m_contractKw = nullptr;
    QLineEdit* m_nominalKv = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_csv = nullptr;
    QPushButton* m_open = nullptr;
    QLineEdit* m_site = nullptr;
    QLabel* m_readout = nullptr;
    QWidget* m_cursor = nullptr;  ///< the cursor line drawn over the trend, no replot
    QTableView* m_setupTable = nullptr;
    QTabWidget* m_tabs = nullptr;
    std::optional<MeasurementSetup> m_setup;
    std::vector<bool> m_shown;  ///< per trend: drawn or hidden
    QCustomPlot* m_trend = nullptr;
    QCustomPlot* m_orders = nullptr;
    QComboBox* m_orderSeries = nullptr;
    QTableView* m_table = nullptr;
    CampaignTableModel* m_model = nullptr;
    QString m_customLimitFile;
    QThread* m_loader = nullptr;  ///< owned; the reading of `loadFiles`
};

/// Opens a campaign view window over `resultFiles` (an empty list opens it empty,
/// for the user to choose files). The window belongs to `parent` (if any) and is
/// deleted when closed.
CampaignView* showCampaignView(const QStringList& resultFiles, QWidget* parent = nullptr,
                               const MeasurementSetup* setup = nullptr);

}  // namespace waveharm
