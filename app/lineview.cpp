#include "app/lineview.h"

#include "core/trap.h"

namespace kestrel {

LineView::LineView(QWidget *parent)
    : QListView(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
}

void LineView::setLines(LineListModel *model)
{
    m_model = model;
    setModel(model);
    connect(model, &LineListModel::selectedRowChanged, this, &LineView::showSelected);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                // The operator's click or key: the row becomes the list's selected row.
                if (current.isValid() && current.row() != m_model->selectedRow())
                    Trap()([&] { m_model->select(current.row()); });
            });
    showSelected(model->selectedRow());
}

void LineView::showSelected(int row)
{
    if (row < 0) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex index = m_model->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

} // namespace kestrel
