#include "app/lineview.h"

#include "app/listaccessible.h"
#include "core/trap.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QScrollBar>
#include <QStyleFactory>
#include <QToolTip>

namespace kestrel {

namespace {
// The classic scroll bar with its groove in one flat colour: the classic dotted groove is a pattern
// fill, the dearest thing on the console's screen while a board streams replies and the bar moves
// with every one.
class FlatBarStyle : public QProxyStyle
{
public:
    FlatBarStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_ScrollBarAddPage || element == CE_ScrollBarSubPage) {
            painter->fillRect(option->rect, option->palette.midlight());
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};
} // namespace

LineView::LineView(QWidget *parent)
    : QFrame(parent)
    , m_bar(new QScrollBar(Qt::Vertical, this))
{
    listaccessibility::install();
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    // The list and its scroll bar paint their own background, so that a row appended or the bar
    // moved repaints the list alone and not the frames and panels behind it.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    m_bar->setAutoFillBackground(true);
    // Flat classic scroll bars: they cost little to repaint while replies stream in.
    static QStyle *const plain = new FlatBarStyle;
    m_bar->setStyle(plain);
    m_bar->setSingleStep(1);
    m_bar->hide();
    connect(m_bar, &QScrollBar::valueChanged, this, [this] { update(rowsArea()); });
    m_rowHeight = fontMetrics().height() + 1;
}

void LineView::setLines(LineListModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                updateRange();
                if (inView(first, last))
                    update(rowsArea());
                listaccessibility::rowsAdded(this, first, last);
            });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { listaccessibility::rowsGoing(this); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        updateRange();
        update(rowsArea());
        listaccessibility::rowsGone(this);
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                if (inView(from.row(), to.row()))
                    update(rowsArea());
                listaccessibility::rowsChanged(this, from.row(), to.row());
            });
    connect(model, &LineListModel::selectedRowChanged, this, &LineView::onSelected);
    updateRange();
    onSelected(model->selectedRow());
}

QRect LineView::rowsArea() const
{
    QRect area = contentsRect();
    if (m_bar->isVisible())
        area.setRight(m_bar->x() - 1);
    return area;
}

int LineView::fullRowsInView() const
{
    return qMax(1, contentsRect().height() / m_rowHeight);
}

bool LineView::isRowInView(int row) const
{
    return row >= topRow() && (row - topRow()) * m_rowHeight < contentsRect().height();
}

int LineView::topRow() const
{
    return m_bar->value();
}

bool LineView::inView(int first, int last) const
{
    return last >= topRow() && first <= topRow() + fullRowsInView();
}

int LineView::rowAt(const QPoint &point) const
{
    if (!rowsArea().contains(point))
        return -1;
    const int row = topRow() + (point.y() - contentsRect().top()) / m_rowHeight;
    return m_model && row < m_model->count() ? row : -1;
}

QRect LineView::rowRect(int row) const
{
    const QRect area = rowsArea();
    return QRect(area.left(), area.top() + (row - topRow()) * m_rowHeight, area.width(), m_rowHeight);
}

void LineView::updateRange()
{
    const int count = m_model ? m_model->count() : 0;
    const int maximum = qMax(0, count - fullRowsInView());
    if (m_bar->maximum() != maximum)
        m_bar->setRange(0, maximum);
    // The bar shows only while some rows are out of view, as on the classic list box.
    if (m_bar->isVisible() != (maximum > 0)) {
        m_bar->setVisible(maximum > 0);
        update();
    }
}

void LineView::placeBar()
{
    const QRect area = contentsRect();
    const int width = m_bar->sizeHint().width();
    m_bar->setGeometry(area.right() - width + 1, area.top(), width, area.height());
    m_bar->setPageStep(fullRowsInView());
}

void LineView::showRow(int row)
{
    if (row < 0)
        return;
    if (row < topRow())
        m_bar->setValue(row);
    else if (row >= topRow() + fullRowsInView())
        m_bar->setValue(row - fullRowsInView() + 1);
}

void LineView::onSelected(int row)
{
    if (m_shownSelection >= 0 && inView(m_shownSelection, m_shownSelection))
        update(rowRect(m_shownSelection));
    listaccessibility::selectionMoved(this, m_shownSelection, row);
    m_shownSelection = row;
    showRow(row);
    if (row >= 0 && inView(row, row))
        update(rowRect(row));
}

void LineView::select(int row)
{
    // The operator's click or key makes the row the list's selected row; a row that is not there
    // (the list changed under the pointer) is ignored.
    if (m_model && row >= 0 && row < m_model->count())
        Trap()([&] { m_model->select(row); });
}

bool LineView::event(QEvent *event)
{
    // A row cut off at the right edge shows its whole text when hovered: an error line ends with
    // the failure's description and number, the part that matters.
    if (event->type() == QEvent::ToolTip && m_model) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int row = rowAt(help->pos());
        const QString text = row >= 0 ? LineListModel::shown(m_model->row(row)) : QString();
        if (!text.isEmpty()
            && fontMetrics().horizontalAdvance(text) + kTextIndent > rowsArea().width()) {
            // As rich text, so that a long row wraps instead of running off the screen.
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()), this,
                               rowRect(row));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QFrame::event(event);
}

void LineView::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (!m_model)
        return;
    QPainter painter(this);
    const QRect area = rowsArea();
    painter.setClipRect(area & event->rect());
    const int first = topRow() + qMax(0, event->rect().top() - area.top()) / m_rowHeight;
    const int last = qMin(m_model->count() - 1,
                          topRow() + (event->rect().bottom() - area.top()) / m_rowHeight);
    const QPalette &colours = palette();
    for (int row = first; row <= last; ++row) {
        const QRect rect = rowRect(row);
        const bool selected = row == m_model->selectedRow();
        if (selected)
            painter.fillRect(rect, colours.brush(QPalette::Highlight));
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(rect.adjusted(kTextIndent, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         LineListModel::shown(m_model->row(row)));
    }
}

void LineView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        select(rowAt(event->position().toPoint()));
    QFrame::mousePressEvent(event);
}

void LineView::keyPressEvent(QKeyEvent *event)
{
    if (!m_model || m_model->count() == 0)
        return QFrame::keyPressEvent(event);
    const int current = m_model->selectedRow();
    const int last = m_model->count() - 1;
    switch (event->key()) {
    case Qt::Key_Up: select(qMax(0, current - 1)); break;
    case Qt::Key_Down: select(qMin(last, current + 1)); break;
    case Qt::Key_PageUp: select(qMax(0, current - fullRowsInView())); break;
    case Qt::Key_PageDown: select(qMin(last, current + fullRowsInView())); break;
    case Qt::Key_Home: select(0); break;
    case Qt::Key_End: select(last); break;
    default: return QFrame::keyPressEvent(event);
    }
}

void LineView::wheelEvent(QWheelEvent *event)
{
    QCoreApplication::sendEvent(m_bar, event);
}

void LineView::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    placeBar();
    updateRange();
    showRow(m_shownSelection);   // a list made shorter keeps its selected row in view
}

void LineView::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_rowHeight = fontMetrics().height() + 1;
        placeBar();
        updateRange();
        showRow(m_shownSelection);
    }
}

} // namespace kestrel
