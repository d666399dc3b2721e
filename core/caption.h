#pragma once

#include <QObject>
#include <QString>

namespace kestrel::core {

// What the console's logic sees of a label or a button caption.
class Caption
{
public:
    virtual ~Caption() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
};

// A caption held as data; the window shows it and redraws when it changes.
class TextCaption : public QObject, public Caption
{
    Q_OBJECT
public:
    explicit TextCaption(QString text = {}, QObject *parent = nullptr);

    QString text() const override { return m_text; }
    void setText(const QString &text) override;

signals:
    void changed(const QString &text);

private:
    QString m_text;
};

} // namespace kestrel::core
