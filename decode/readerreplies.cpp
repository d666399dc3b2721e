#include "decode/replyreading.h"

namespace kestrel::decode::details {

// The cashless reader's responses, told by their first byte.

void readerResponse(Reading &r)
{
    using mdb::ReaderData;
    Decoded &d = r.decoded();
    if (r.left() == 0)
        return;
    // A command answered by an ACK alone: "10 00" is that ACK, not the response JUST RESET.
    if (d.command && d.command->reply == mdb::Layout::Ack && r.byte(r.at()) == 0x00 && r.left() == 1) {
        d.reply = QStringLiteral("ACK");
        r.field(1, QStringLiteral("response"), QStringLiteral("ACK to %1").arg(QLatin1String(d.command->name)));
        return;
    }
    const mdb::ReaderResponse *found = mdb::readerResponse(r.byte(r.at()));
    if (!found) {
        d.reply = QStringLiteral("unknown response");
        return;
    }
    d.reply = QString::fromLatin1(found->name);
    r.field(1, QStringLiteral("response"), d.reply);
    switch (found->data) {
    case ReaderData::None:
        break;
    case ReaderData::Amount:
        r.expect(3);
        if (r.left() >= 2)
            r.field(2, QString::fromLatin1(found->amount), r.money(r.word(r.at())));
        break;
    case ReaderData::Configuration:
        r.expect(8);
        if (r.left() < 5)
            break;
        d.setup = setupHead(r, 1, QStringLiteral("scale factor"));
        if (r.left() >= 1)
            r.field(1, QStringLiteral("maximum response time"), QStringLiteral("%1 s").arg(r.byte(r.at())));
        if (r.left() >= 1)
            r.field(1, QStringLiteral("options"), QStringLiteral("bits %1").arg(mdb::hex(r.byte(r.at()))));
        break;
    case ReaderData::Display:
        if (r.left() >= 1)
            r.field(1, QStringLiteral("display time"), QStringLiteral("%1 s").arg(r.byte(r.at()) / 10.0));
        if (r.left() > 0)
            r.field(r.left(), QStringLiteral("text"), r.text(r.left()));
        break;
    case ReaderData::Identification:
        identification(r, 30, r.left() >= 33);
        break;
    case ReaderData::ErrorCode:
        if (r.left() >= 1)
            r.field(1, QStringLiteral("error code"), mdb::hex(r.byte(r.at())));
        break;
    }
}

} // namespace kestrel::decode::details
