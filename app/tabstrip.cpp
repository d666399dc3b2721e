#include "app/tabstrip.h"

#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace kestrel::app {

namespace {
// Tabs as narrow as the classic tab strip's, so that all six captions fit in one row.
class NarrowTabs : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 12;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};
} // namespace

TabStrip::TabStrip(QWidget *parent)
    : QWidget(parent), m_tabs(new QTabBar(this))
{
    m_tabs->setObjectName(QStringLiteral("TabStrip1Tabs"));
    auto *narrow = new NarrowTabs;
    narrow->setParent(m_tabs);
    m_tabs->setStyle(narrow);
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(true);
    m_tabs->setElideMode(Qt::ElideNone);
    m_tabs->setFocusPolicy(Qt::TabFocus);
    connect(m_tabs, &QTabBar::currentChanged, this, &TabStrip::clicked);
    connect(m_tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == m_tabs->currentIndex())
            emit clicked();   // a click on the tab already shown
    });
}

QRect TabStrip::clientArea() const
{
    const int top = m_tabs->sizeHint().height();
    return QRect(2, top + 2, width() - 4, height() - top - 4);
}

void TabStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_tabs->setGeometry(0, 0, width(), m_tabs->sizeHint().height());
    m_frame = QPixmap();
}

void TabStrip::paintEvent(QPaintEvent *event)
{
    // Widgets beside the strip overlap its edge, so small parts of it repaint often: the frame is
    // drawn once into a pixmap and copied from there.
    const qreal ratio = devicePixelRatioF();
    if (m_frame.isNull() || m_frame.size() != size() * ratio) {
        m_frame = QPixmap(size() * ratio);
        m_frame.setDevicePixelRatio(ratio);
        m_frame.fill(Qt::transparent);
        QStylePainter frame(&m_frame, this);
        QStyleOptionTabWidgetFrame option;
        option.initFrom(this);
        option.rect = QRect(0, m_tabs->sizeHint().height(), width(),
                            height() - m_tabs->sizeHint().height());
        option.shape = QTabBar::RoundedNorth;
        option.tabBarSize = m_tabs->sizeHint();
        frame.drawPrimitive(QStyle::PE_FrameTabWidget, option);
    }
    QPainter painter(this);
    painter.drawPixmap(event->rect(), m_frame, QRectF(QPointF(event->rect().topLeft()) * ratio,
                                                     QSizeF(event->rect().size()) * ratio));
}

} // namespace kestrel::app
