#pragma once

#include "app/doclinks.h"
#include "records/store.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace kestrel::app {

// A unit's history drawn small: each run a point on a time line, its result by colour (green
// passed, red failed, grey interrupted); for a changer, the coins its payout came up short per run;
// and the median round trip per run. A unit going bad shows as the red points and the rising lines.
class HistoryPlot : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPlot(QWidget *parent = nullptr);
    void setRuns(const QList<records::HistoryRow> &runs, bool changer);
    QSize sizeHint() const override { return {560, 180}; }

protected:
    void paintEvent(class QPaintEvent *event) override;

private:
    QList<records::HistoryRow> m_runs;
    bool m_changer = false;
};

// File > "Bench History...": the units the bench has seen, searchable by serial number, model or
// manufacturer; for the unit picked, its runs in date order with their results and a plot of them.
// Double-clicking a run opens its HTML report.
class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    HistoryWindow(records::Store &store, UrlOpener &opener, QWidget *parent = nullptr);

    // Reads the records again (a run may have ended since).
    void refresh();
    void setOpener(UrlOpener &opener) { m_opener = &opener; }

private:
    void showUnits();
    void showRuns();
    void openRun(int row);

    records::Store &m_store;
    UrlOpener *m_opener;
    QList<records::UnitRow> m_units;
    QList<records::HistoryRow> m_runs;

    QLineEdit *m_search;
    QTableWidget *m_unitTable, *m_runTable;
    HistoryPlot *m_plot;
    QLabel *m_message;
};

} // namespace kestrel::app
