#pragma once

#include "core/linelistmodel.h"

#include <QAbstractScrollArea>
#include <QPointer>

namespace kestrel {

// A list on the window showing one LineListModel: rows of equal height, the selected row
// highlighted. It paints only the rows in view and does a fixed amount of work per row appended,
// so a log of a million lines costs no more than one of ten. A click or a key moves the model's
// selected row; a row the program selects is scrolled into view.
class LineView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit LineView(QWidget *parent = nullptr);

    void setLines(LineListModel *model);
    LineListModel *lines() const { return m_model; }

    int rowHeight() const;
    int topRow() const;
    int rowAt(const QPoint &viewportPoint) const;   // -1 below the last row
    QRect rowRect(int row) const;                   // in viewport coordinates

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int visibleRows() const;
    bool inView(int first, int last) const;
    void updateRange();
    void showRow(int row);
    void select(int row);
    void onSelected(int row);

    QPointer<LineListModel> m_model;
    int m_shownSelection = -1;
};

} // namespace kestrel
