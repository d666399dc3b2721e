#include "core/caption.h"

namespace kestrel::core {

TextCaption::TextCaption(QString text, QObject *parent)
    : QObject(parent), m_text(std::move(text))
{
}

void TextCaption::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit changed(m_text);
}

} // namespace kestrel::core
