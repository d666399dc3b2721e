#include "app/tabstrip.h"

#include <QProxyStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace kestrel {

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
}

void TabStrip::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, m_tabs->sizeHint().height(), width(), height() - m_tabs->sizeHint().height());
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = m_tabs->sizeHint();
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}

} // namespace kestrel
