#include "app/lineview.h"

#include "core/trap.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace kestrel {

LineView::LineView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
}

void LineView::setLines(LineListModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        updateRange();
        if (inView(first, last))
            viewport()->update();
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        updateRange();
        viewport()->update();
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                if (inView(from.row(), to.row()))
                    viewport()->update();
            });
    connect(model, &LineListModel::selectedRowChanged, this, &LineView::onSelected);
    updateRange();
    onSelected(model->selectedRow());
}

int LineView::rowHeight() const
{
    return fontMetrics().height() + 1;
}

int LineView::visibleRows() const
{
    return qMax(1, viewport()->height() / rowHeight());
}

int LineView::topRow() const
{
    return verticalScrollBar()->value();
}

bool LineView::inView(int first, int last) const
{
    return last >= topRow() && first <= topRow() + visibleRows();
}

int LineView::rowAt(const QPoint &point) const
{
    const int row = topRow() + point.y() / rowHeight();
    return m_model && row < m_model->count() ? row : -1;
}

QRect LineView::rowRect(int row) const
{
    return QRect(0, (row - topRow()) * rowHeight(), viewport()->width(), rowHeight());
}

void LineView::updateRange()
{
    const int count = m_model ? m_model->count() : 0;
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(visibleRows());
    bar->setRange(0, qMax(0, count - visibleRows()));
}

void LineView::showRow(int row)
{
    if (row < 0)
        return;
    if (row < topRow())
        verticalScrollBar()->setValue(row);
    else if (row >= topRow() + visibleRows())
        verticalScrollBar()->setValue(row - visibleRows() + 1);
}

void LineView::onSelected(int row)
{
    if (inView(m_shownSelection, m_shownSelection))
        viewport()->update(rowRect(m_shownSelection));
    m_shownSelection = row;
    showRow(row);
    if (row >= 0 && inView(row, row))
        viewport()->update(rowRect(row));
}

void LineView::select(int row)
{
    // The operator's click or key makes the row the list's selected row; a row that is not there
    // (the list changed under the pointer) is ignored.
    if (m_model && row >= 0 && row < m_model->count())
        Trap()([&] { m_model->select(row); });
}

void LineView::paintEvent(QPaintEvent *event)
{
    if (!m_model)
        return;
    QPainter painter(viewport());
    const int height = rowHeight();
    const int first = topRow() + event->rect().top() / height;
    const int last = qMin(m_model->count() - 1, topRow() + event->rect().bottom() / height);
    const QPalette &colours = palette();
    for (int row = first; row <= last; ++row) {
        const QRect rect = rowRect(row);
        const bool selected = row == m_model->selectedRow();
        if (selected)
            painter.fillRect(rect, colours.brush(QPalette::Highlight));
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(rect.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         LineListModel::shown(m_model->row(row)));
    }
}

void LineView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        select(rowAt(event->position().toPoint()));
    QAbstractScrollArea::mousePressEvent(event);
}

void LineView::keyPressEvent(QKeyEvent *event)
{
    if (!m_model || m_model->count() == 0)
        return QAbstractScrollArea::keyPressEvent(event);
    const int current = m_model->selectedRow();
    const int last = m_model->count() - 1;
    switch (event->key()) {
    case Qt::Key_Up: select(qMax(0, current - 1)); break;
    case Qt::Key_Down: select(qMin(last, current + 1)); break;
    case Qt::Key_PageUp: select(qMax(0, current - visibleRows())); break;
    case Qt::Key_PageDown: select(qMin(last, current + visibleRows())); break;
    case Qt::Key_Home: select(0); break;
    case Qt::Key_End: select(last); break;
    default: return QAbstractScrollArea::keyPressEvent(event);
    }
}

void LineView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateRange();
}

void LineView::scrollContentsBy(int, int)
{
    viewport()->update();
}

} // namespace kestrel
