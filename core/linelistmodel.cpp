#include "core/linelistmodel.h"

#include "core/failure.h"

namespace kestrel::core {

LineListModel::LineListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void LineListModel::checkIndex(int index) const
{
    if (index < 0 || index >= count())
        throw failures::invalidIndex();
}

QString LineListModel::row(int index) const
{
    checkIndex(index);
    return m_rows.at(index);
}

void LineListModel::setRow(int index, const QString &text)
{
    checkIndex(index);
    if (m_rows.at(index) == text)
        return;   // the debugging values mostly stay as they were: nothing to repaint
    m_rows[index] = text;
    const QModelIndex changed = createIndex(index, 0);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void LineListModel::append(const QString &text)
{
    const int at = count();
    beginInsertRows({}, at, at);
    m_rows.append(text);
    endInsertRows();
}

void LineListModel::clear()
{
    if (!m_rows.isEmpty()) {
        beginResetModel();
        m_rows.clear();
        m_rows.squeeze();
        endResetModel();
    }
    if (m_selected != -1) {
        m_selected = -1;
        emit selectedRowChanged(m_selected);
    }
}

void LineListModel::select(int index)
{
    if (index < -1 || index >= count())
        throw failures::invalidValue();
    if (index == m_selected)
        return;
    m_selected = index;
    emit selectedRowChanged(m_selected);
}

QString LineListModel::shown(const QString &row)
{
    QString text = row.left(kShownCharacters);
    // Control characters (a reply's CR LF, a NUL) show as their visible symbols, so that a
    // technician sees what followed a reply on the line.
    for (QChar &c : text) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
    }
    if (row.size() > kShownCharacters)
        text += QChar(0x2026);
    return text;
}

int LineListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant LineListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return shown(m_rows.at(index.row()));
}

} // namespace kestrel::core
