#include "core/shown.h"

namespace kestrel::core {

QString escapedText(const QString &text, int longest)
{
    QString out;
    for (const QChar c : text) {
        if (longest >= 0 && out.size() >= longest)
            return out + QStringLiteral("... (%1 characters)").arg(text.size());
        const char16_t u = c.unicode();
        if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace kestrel::core
