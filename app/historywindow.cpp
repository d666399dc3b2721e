#include "app/historywindow.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrel::app {

namespace {

QTableWidget *table(const QString &name, const QStringList &headings, QWidget *parent)
{
    auto *t = new QTableWidget(0, int(headings.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headings);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget *t, int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString when(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QColor resultColour(const QString &result)
{
    if (result == QLatin1String(records::kPassed))
        return QColor(0x2e, 0x8b, 0x2e);
    if (result == QLatin1String(records::kFailed))
        return QColor(0xc0, 0x10, 0x10);
    return QColor(0x90, 0x90, 0x90);
}

} // namespace

HistoryPlot::HistoryPlot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picHistory"));
    setMinimumHeight(150);
    setAccessibleName(QStringLiteral("History plot"));
}

void HistoryPlot::setRuns(const QList<records::HistoryRow> &runs, bool changer)
{
    m_runs = runs;
    m_changer = changer;
    setAccessibleDescription(QStringLiteral("%1 runs, %2 failed").arg(runs.size())
                                 .arg(std::count_if(runs.begin(), runs.end(), [](const auto &r) {
                                     return r.result == QLatin1String(records::kFailed);
                                 })));
    update();
}

void HistoryPlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font());
    const int left = fm.horizontalAdvance(QStringLiteral("000 ms")) + 8, right = width() - 8;
    const int resultY = 14, top = 34, bottom = height() - fm.height() - 6;
    p.setPen(palette().text().color());
    if (m_runs.isEmpty()) {
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No runs recorded for this unit."));
        return;
    }
    // Runs are spaced evenly by their order: a unit tested twice in a day and again a month later
    // reads as three runs, not two dots and a gap.
    const int n = int(m_runs.size());
    const auto xOf = [&](int i) { return n == 1 ? (left + right) / 2.0 : left + (right - left) * double(i) / (n - 1); };
    double most = 1;
    int mostShort = 1;
    for (const auto &r : m_runs) {
        most = std::max(most, r.medianMs.value_or(0));
        mostShort = std::max(mostShort, r.shortfall.value_or(0));
    }
    p.drawLine(left, bottom, right, bottom);
    p.drawLine(left, top, left, bottom);
    p.drawText(QRect(0, top - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight, QStringLiteral("%1 ms").arg(int(most)));
    p.drawText(QRect(0, bottom - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight, QStringLiteral("0"));
    p.drawText(QRect(left, bottom + 2, right - left, fm.height()), Qt::AlignLeft, when(m_runs.first().started));
    if (n > 1)
        p.drawText(QRect(left, bottom + 2, right - left, fm.height()), Qt::AlignRight, when(m_runs.last().started));
    const auto yOf = [&](double v, double top_) { return bottom - (bottom - top) * v / top_; };
    // The median round trip per run, a line.
    QPolygonF trip;
    for (int i = 0; i < n; ++i)
        if (m_runs[i].medianMs)
            trip << QPointF(xOf(i), yOf(*m_runs[i].medianMs, most));
    p.setPen(QPen(QColor(0x20, 0x50, 0xa0), 1.5));
    p.drawPolyline(trip);
    // The payout shortfall per run, bars on their own scale.
    if (m_changer) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xe0, 0x80, 0x20, 0xc0));
        for (int i = 0; i < n; ++i)
            if (m_runs[i].shortfall && *m_runs[i].shortfall > 0) {
                const double y = yOf(*m_runs[i].shortfall, mostShort);
                p.drawRect(QRectF(xOf(i) - 4, y, 8, bottom - y));
            }
    }
    // Each run's result, a dot along the top.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < n; ++i) {
        p.setBrush(resultColour(m_runs[i].result));
        p.drawEllipse(QPointF(xOf(i), resultY), 5, 5);
    }
    p.setPen(palette().text().color());
    p.drawText(QRect(left, top - fm.height() - 2, right - left, fm.height()), Qt::AlignRight,
               m_changer ? QStringLiteral("result (dots), median round trip (line), payout shortfall (bars)")
                         : QStringLiteral("result (dots), median round trip (line)"));
}

HistoryWindow::HistoryWindow(records::Store &store, UrlOpener &opener, QWidget *parent)
    : QWidget(parent, Qt::Window), m_store(store), m_opener(&opener)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Bench History"));
    auto *layout = new QVBoxLayout(this);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_search->setPlaceholderText(QStringLiteral("Serial number, model or manufacturer"));
    m_search->setAccessibleName(QStringLiteral("Search units"));
    m_search->setClearButtonEnabled(true);
    layout->addWidget(m_search);
    m_unitTable = table(QStringLiteral("tblUnits"),
                        {QStringLiteral("Serial"), QStringLiteral("Kind"), QStringLiteral("Model"), QStringLiteral("Manufacturer"),
                         QStringLiteral("Runs"), QStringLiteral("Last result"), QStringLiteral("Last seen")},
                        this);
    m_unitTable->setAccessibleName(QStringLiteral("Units"));
    layout->addWidget(m_unitTable, 2);
    m_runTable = table(QStringLiteral("tblRuns"),
                       {QStringLiteral("Started"), QStringLiteral("Plan"), QStringLiteral("Result"), QStringLiteral("Shortfall"),
                        QStringLiteral("Median ms"), QStringLiteral("Port")},
                       this);
    m_runTable->setAccessibleName(QStringLiteral("Runs"));
    layout->addWidget(m_runTable, 2);
    m_plot = new HistoryPlot(this);
    layout->addWidget(m_plot, 1);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblHistoryMessage"));
    layout->addWidget(m_message);
    resize(720, 620);

    connect(m_search, &QLineEdit::textChanged, this, &HistoryWindow::showUnits);
    connect(m_unitTable, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::showRuns);
    // A double-click or Enter on a run: activated once either way.
    connect(m_runTable, &QTableWidget::cellActivated, this, [this](int row) { openRun(row); });
    showUnits();
}

void HistoryWindow::refresh()
{
    showUnits();
}

void HistoryWindow::showUnits()
{
    const qint64 picked = m_unitTable->currentRow() >= 0 && m_unitTable->currentRow() < m_units.size()
                              ? m_units[m_unitTable->currentRow()].id : -1;
    m_units = m_store.units(m_search->text());
    const QSignalBlocker quiet(m_unitTable);
    m_unitTable->setRowCount(int(m_units.size()));
    int again = m_units.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_units.size(); ++i) {
        const records::UnitRow &u = m_units[i];
        setRow(m_unitTable, i, {u.unit.serialText(), u.unit.kind(), u.unit.model, u.unit.manufacturer, QString::number(u.runs),
                                u.lastResult.isEmpty() ? QStringLiteral("-") : u.lastResult, when(u.lastSeen)});
        if (u.id == picked)
            again = i;
    }
    m_unitTable->resizeColumnsToContents();
    if (again >= 0)
        m_unitTable->selectRow(again);
    else
        m_unitTable->clearSelection();
    m_message->setText(m_units.isEmpty() ? (m_search->text().isEmpty() ? QStringLiteral("No units recorded yet.")
                                                                       : QStringLiteral("No unit matches."))
                                         : QStringLiteral("%1 units.").arg(m_units.size()));
    showRuns();
}

void HistoryWindow::showRuns()
{
    const int row = m_unitTable->currentRow();
    const bool picked = row >= 0 && row < m_units.size() && !m_unitTable->selectedItems().isEmpty();
    m_runs = picked ? m_store.runsOf(m_units[row].id) : QList<records::HistoryRow>{};
    m_runTable->setRowCount(int(m_runs.size()));
    for (int i = 0; i < m_runs.size(); ++i) {
        const records::HistoryRow &r = m_runs[i];
        setRow(m_runTable, i, {when(r.started), r.plan, r.result, r.shortfall ? QString::number(*r.shortfall) : QStringLiteral("-"),
                               r.medianMs ? QString::number(*r.medianMs, 'f', 1) : QStringLiteral("-"), r.port});
        m_runTable->item(i, 2)->setForeground(resultColour(r.result));
    }
    m_runTable->resizeColumnsToContents();
    if (!m_runs.isEmpty())
        m_runTable->scrollToBottom();
    m_plot->setRuns(m_runs, picked && m_units[row].unit.peripheral == mdb::Peripheral::Changer);
}

void HistoryWindow::openRun(int row)
{
    if (row < 0 || row >= m_runs.size())
        return;
    const QString report = m_runs[row].report;
    if (report.isEmpty()) {
        m_message->setText(QStringLiteral("This run has no HTML report (it was interrupted before it ended)."));
        return;
    }
    if (!QFileInfo::exists(report)) {
        m_message->setText(QStringLiteral("The report %1 is no longer there.").arg(report));
        return;
    }
    if (!m_opener->open(QUrl::fromLocalFile(report)))
        m_message->setText(QStringLiteral("The report %1 could not be opened.").arg(report));
    else
        m_message->setText(QStringLiteral("Opened %1").arg(report));
}

} // namespace kestrel::app
