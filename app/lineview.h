#pragma once

#include "core/linelistmodel.h"

#include <QFrame>
#include <QPointer>

class QScrollBar;

namespace kestrel::app {

// A list on the window showing one LineListModel: rows of equal height inside a sunken frame, the
// selected row highlighted, a scroll bar at the right when the rows do not all fit. It paints only
// the rows in view and does a fixed amount of work per row appended, so a log of a million lines
// costs no more than one of ten. A click or a key moves the model's selected row; a row the
// program selects is scrolled wholly into view. A row cut off at the right edge shows its whole
// text in a tooltip. Assistive tools see a list with one item per row (listaccessible.h).
class LineView : public QFrame
{
    Q_OBJECT
public:
    explicit LineView(QWidget *parent = nullptr);

    void setLines(core::LineListModel *model);
    core::LineListModel *lines() const { return m_model; }

    int rowHeight() const { return m_rowHeight; }
    // Brings the scroll bar up to the model: its range, and the selected row in view. The window
    // calls it before each frame; every question about rows on the screen calls it first.
    void catchUp() const;
    int topRow() const;
    int rowAt(const QPoint &point) const;   // -1 below the last row
    QRect rowRect(int row) const;           // in this widget's coordinates
    int fullRowsInView() const;             // rows wholly in view
    bool isRowInView(int row) const;        // wholly or partly

signals:
    // The operator double-clicked a row, or pressed Enter on the selected one.
    void rowActivated(int row);

protected:
    bool event(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    static constexpr int kTextIndent = 3;   // pixels between the frame and a row's text

    QRect rowsArea() const;
    void repaintRows();
    void updateRange();
    void placeBar();
    void relayout();   // after the rows' area or height changed
    void showRow(int row);
    void select(int row);
    void onSelected(int row);

    QPointer<core::LineListModel> m_model;
    QScrollBar *m_bar;
    int m_rowHeight = 0;
    int m_shownSelection = -1;
    bool m_stale = false;   // the bar trails the model until catchUp()
    bool m_rowsRepaintAsked = false;   // until the next paint
    QRect m_contents;       // contentsRect(), kept: the rows ask for it with every reply
};

} // namespace kestrel::app
