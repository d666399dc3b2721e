#include "app/listaccessible.h"

#include "app/lineview.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

#include <memory>

namespace kestrel::app::listaccessible {

namespace {

// One row of a list. It is made only when a client asks for it, and lives until the list is
// emptied or goes.
class RowAccessible : public QAccessibleInterface
{
public:
    RowAccessible(LineView *view, int row) : m_view(view), m_row(row) {}

    int row() const { return m_row; }

    bool isValid() const override
    {
        return m_view && m_view->lines() && m_row < m_view->lines()->count();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_view ? m_view->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        return core::LineListModel::shown(m_view->lines()->row(m_row));
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid() || !m_view->isVisible() || !m_view->isRowInView(m_row))
            return {};
        const QRect local = m_view->rowRect(m_row);
        return QRect(m_view->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = true;
        s.selected = m_view->lines()->selectedRow() == m_row;
        s.focused = s.selected && m_view->hasFocus();
        if (!m_view->isVisible() || !m_view->isRowInView(m_row)) {
            s.invisible = true;
            s.offscreen = true;
        }
        return s;
    }

private:
    QPointer<LineView> m_view;
    int m_row;
};

// The list itself: its rows are its children.
class ListAccessible : public QAccessibleWidget
{
public:
    explicit ListAccessible(LineView *view) : QAccessibleWidget(view, QAccessible::List) {}
    ~ListAccessible() override { forgetRows(); }

    LineView *view() const { return static_cast<LineView *>(widget()); }

    int childCount() const override { return view()->lines() ? view()->lines()->count() : 0; }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        const auto found = m_rows.constFind(index);
        if (found != m_rows.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto *row = new RowAccessible(view(), index);
        m_rows.insert(index, QAccessible::registerAccessibleInterface(row));
        return row;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || child->role() != QAccessible::ListItem || child->parent() != this)
            return -1;
        return static_cast<const RowAccessible *>(child)->row();
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        return child(view()->rowAt(view()->mapFromGlobal(QPoint(x, y))));
    }
    QAccessibleInterface *focusChild() const override
    {
        return view()->hasFocus() && view()->lines() ? child(view()->lines()->selectedRow())
                                                     : nullptr;
    }

    // The rows a client was given, so that their removal can be told.
    QList<QAccessible::Id> rowIds() const { return m_rows.values(); }
    void forgetRows()
    {
        for (QAccessible::Id id : std::as_const(m_rows))
            QAccessible::deleteAccessibleInterface(id);
        m_rows.clear();
    }

private:
    mutable QHash<int, QAccessible::Id> m_rows;
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<LineView *>(object))
        return new ListAccessible(view);
    return nullptr;
}

ListAccessible *listOf(LineView *view)
{
    return static_cast<ListAccessible *>(QAccessible::queryAccessibleInterface(view));
}

void tell(LineView *view, QAccessible::Event what, int row = -1)
{
    QAccessibleEvent event(view, what);
    if (row >= 0)
        event.setChild(row);
    QAccessible::updateAccessibility(&event);
}

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void rowsAdded(LineView *view, int first, int last)
{
    if (!QAccessible::isActive())
        return;
    for (int row = first; row <= last; ++row)
        tell(view, QAccessible::ObjectCreated, row);
}

void rowsGoing(LineView *view)
{
    if (!QAccessible::isActive())
        return;
    for (QAccessible::Id id : listOf(view)->rowIds()) {
        QAccessibleEvent event(QAccessible::accessibleInterface(id), QAccessible::ObjectDestroyed);
        QAccessible::updateAccessibility(&event);
    }
}

void rowsGone(LineView *view)
{
    if (!QAccessible::isActive())
        return;
    listOf(view)->forgetRows();
    tell(view, QAccessible::ObjectReorder);
}

void rowsChanged(LineView *view, int first, int last)
{
    if (!QAccessible::isActive())
        return;
    for (int row = first; row <= last; ++row)
        tell(view, QAccessible::NameChanged, row);
}

void selectionMoved(LineView *view, int from, int to)
{
    if (!QAccessible::isActive())
        return;
    if (from >= 0 && view->lines() && from < view->lines()->count())
        tell(view, QAccessible::SelectionRemove, from);
    if (to >= 0) {
        tell(view, QAccessible::Selection, to);
        if (view->hasFocus())
            tell(view, QAccessible::Focus, to);
    }
}

} // namespace

void follow(LineView *view, core::LineListModel *model)
{
    install();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view,
                     [view](const QModelIndex &, int first, int last) { rowsAdded(view, first, last); });
    QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, view, [view] { rowsGoing(view); });
    QObject::connect(model, &QAbstractItemModel::modelReset, view, [view] { rowsGone(view); });
    QObject::connect(model, &QAbstractItemModel::dataChanged, view,
                     [view](const QModelIndex &from, const QModelIndex &to) {
                         rowsChanged(view, from.row(), to.row());
                     });
    auto shown = std::make_shared<int>(model->selectedRow());
    QObject::connect(model, &core::LineListModel::selectedRowChanged, view, [view, shown](int row) {
        selectionMoved(view, *shown, row);
        *shown = row;
    });
}

} // namespace kestrel::app::listaccessible
