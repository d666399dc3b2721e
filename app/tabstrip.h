#pragma once

#include <QPixmap>
#include <QTabBar>
#include <QWidget>

namespace kestrel::app {

// A row of tabs over a client area, as the main window's TabStrip1: the tabs only select; the
// panels they show are the window's own, laid over clientArea() by the window.
class TabStrip : public QWidget
{
    Q_OBJECT
public:
    explicit TabStrip(QWidget *parent = nullptr);

    QTabBar *tabBar() const { return m_tabs; }
    void addTab(const QString &caption) { m_tabs->addTab(caption); }

    // Tabs are counted from 1.
    int selectedTab() const { return m_tabs->currentIndex() + 1; }
    void selectTab(int tab) { m_tabs->setCurrentIndex(tab - 1); }

    // The area below the row of tabs, in this widget's coordinates.
    QRect clientArea() const;

signals:
    // The operator picked a tab.
    void clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QTabBar *m_tabs;
    QPixmap m_frame;   // the frame below the tabs, drawn once per size
};

} // namespace kestrel::app
