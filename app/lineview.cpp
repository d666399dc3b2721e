#include "app/lineview.h"

#include "app/listaccessible.h"
#include "core/trap.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QScrollBar>
#include <QStyleFactory>
#include <QToolTip>

namespace kestrel::app {

namespace {
// The classic scroll bar drawn in a few flat rectangles: the classic style's dotted groove and
// bevelled parts are the dearest thing on the console's screen while a board streams replies and
// the bar moves with every one.
class FlatBarStyle : public QProxyStyle
{
public:
    FlatBarStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (control != CC_ScrollBar || !bar) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QPalette &colours = bar->palette;
        painter->fillRect(bar->rect, colours.midlight());
        const struct { SubControl part; PrimitiveElement arrow; } parts[] = {
            {SC_ScrollBarSubLine, PE_IndicatorArrowUp},
            {SC_ScrollBarAddLine, PE_IndicatorArrowDown},
            {SC_ScrollBarSlider, PE_CustomBase},
        };
        for (const auto &p : parts) {
            const QRect r = subControlRect(control, bar, p.part, widget);
            if (!r.isValid())
                continue;
            const bool down = (bar->activeSubControls & p.part) && (bar->state & State_Sunken);
            painter->fillRect(r, colours.button());
            painter->setPen(colours.color(down ? QPalette::Dark : QPalette::Light));
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.topLeft(), r.bottomLeft());
            painter->setPen(colours.color(down ? QPalette::Light : QPalette::Dark));
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            painter->drawLine(r.topRight(), r.bottomRight());
            if (p.arrow != PE_CustomBase) {
                QStyleOption arrow(*bar);
                arrow.rect = r.adjusted(2, 2, -2, -2);
                proxy()->drawPrimitive(p.arrow, &arrow, painter, widget);
            }
        }
    }
};
} // namespace

LineView::LineView(QWidget *parent)
    : QFrame(parent)
    , m_bar(new QScrollBar(Qt::Vertical, this))
{
    m_rowHeight = fontMetrics().height() + 1;   // before the frame is set: it places the bar
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
}

void LineView::setLines(core::LineListModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    // The view follows its model lazily: a change only marks what must be brought up to date
    // (catchUp) and asks for a repaint, so that a stream of replies moves the scroll bar once a
    // frame rather than once a reply. Rows that do not reach the rows now shown repaint nothing
    // but the bar.
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int) {
                m_stale = true;
                if (!m_bar->isVisible() || first <= m_bar->value() + fullRowsInView())
                    repaintRows();
                else
                    m_bar->update();
            });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_stale = true;
        update();
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                if (to.row() >= m_bar->value() && from.row() <= m_bar->value() + fullRowsInView())
                    repaintRows();
            });
    connect(model, &core::LineListModel::selectedRowChanged, this, &LineView::onSelected);
    listaccessible::follow(this, model);
    m_stale = true;
    onSelected(model->selectedRow());
}

void LineView::catchUp() const
{
    if (!m_stale)
        return;
    auto *self = const_cast<LineView *>(this);
    self->m_stale = false;
    self->updateRange();
    self->showRow(m_shownSelection);
}

QRect LineView::rowsArea() const
{
    QRect area = m_contents;
    if (m_bar->isVisible())
        area.setRight(m_bar->x() - 1);
    return area;
}

void LineView::repaintRows()
{
    // A stream of replies asks for the same repaint hundreds of times a second; once asked, the
    // rows are repainted with the next frame whatever else changes before it.
    if (m_rowsRepaintAsked)
        return;
    m_rowsRepaintAsked = true;
    update(rowsArea());
}

int LineView::fullRowsInView() const
{
    return qMax(1, m_contents.height() / m_rowHeight);
}

bool LineView::isRowInView(int row) const
{
    return row >= topRow() && (row - topRow()) * m_rowHeight < m_contents.height();
}

int LineView::topRow() const
{
    catchUp();
    return m_bar->value();
}

int LineView::rowAt(const QPoint &point) const
{
    if (!rowsArea().contains(point))
        return -1;
    const int row = topRow() + (point.y() - m_contents.top()) / m_rowHeight;
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
    m_contents = contentsRect();
    const QRect area = m_contents;
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
    m_shownSelection = row;
    m_stale = true;   // the row is scrolled into view on catching up
    repaintRows();
}

void LineView::select(int row)
{
    // The operator's click or key makes the row the list's selected row; a row that is not there
    // (the list changed under the pointer) is ignored.
    if (m_model && row >= 0 && row < m_model->count())
        core::Trap()([&] { m_model->select(row); });
}

bool LineView::event(QEvent *event)
{
    // A row cut off at the right edge shows its whole text when hovered: an error line ends with
    // the failure's description and number, the part that matters.
    if (event->type() == QEvent::ToolTip && m_model) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int row = rowAt(help->pos());
        const QString text = row >= 0 ? core::LineListModel::shown(m_model->row(row)) : QString();
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
    m_rowsRepaintAsked = false;
    catchUp();
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
                         core::LineListModel::shown(m_model->row(row)));
    }
}

void LineView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        select(rowAt(event->position().toPoint()));
    QFrame::mousePressEvent(event);
}

void LineView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int row = event->button() == Qt::LeftButton ? rowAt(event->position().toPoint()) : -1;
    if (row >= 0)
        emit rowActivated(row);
    QFrame::mouseDoubleClickEvent(event);
}

void LineView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_model
        && m_model->selectedRow() >= 0) {
        emit rowActivated(m_model->selectedRow());
        return;
    }
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
    catchUp();
    QCoreApplication::sendEvent(m_bar, event);
}

void LineView::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    relayout();
}

void LineView::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        m_rowHeight = fontMetrics().height() + 1;
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ContentsRectChange)
        relayout();
}

void LineView::relayout()
{
    placeBar();
    m_stale = true;   // a list made shorter keeps its selected row in view
    catchUp();
}

} // namespace kestrel::app
