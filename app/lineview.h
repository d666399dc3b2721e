#pragma once

#include "core/linelistmodel.h"

#include <QListView>

namespace kestrel {

// A list on the window showing one LineListModel. A click or a key moves the model's selected row;
// a row the program selects is highlighted and scrolled into view.
class LineView : public QListView
{
    Q_OBJECT
public:
    explicit LineView(QWidget *parent = nullptr);

    void setLines(LineListModel *model);
    LineListModel *lines() const { return m_model; }

private:
    void showSelected(int row);

    LineListModel *m_model = nullptr;
};

} // namespace kestrel
