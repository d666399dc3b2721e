#pragma once

#include "core/listrows.h"

#include <QAbstractListModel>
#include <QStringList>

namespace kestrel::core {

// The rows of one list of the window (action log, raw replies, tallies, debugging values), kept as
// data with its selected row. A list view shows it; the logic reads and writes it through ListRows.
// Appending a row and selecting the last one cost the same at a million rows as at ten.
class LineListModel : public QAbstractListModel, public ListRows
{
    Q_OBJECT
public:
    explicit LineListModel(QObject *parent = nullptr);

    // ListRows
    int count() const override { return int(m_rows.size()); }
    QString row(int index) const override;
    void setRow(int index, const QString &text) override;
    void append(const QString &text) override;
    void clear() override;
    int selectedRow() const override { return m_selected; }
    void select(int index) override;

    QStringList rows() const { return m_rows; }

    // QAbstractListModel
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // A row longer than this shows cut short with an ellipsis; the row itself keeps every character.
    static constexpr int kShownCharacters = 512;
    // How a row shows on the screen.
    static QString shown(const QString &row);

signals:
    void selectedRowChanged(int index);

private:
    void checkIndex(int index) const;

    QStringList m_rows;
    int m_selected = -1;
};

} // namespace kestrel::core
