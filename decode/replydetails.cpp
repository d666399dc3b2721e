#include "decode/replydetails.h"

#include "decode/replyreading.h"

namespace kestrel::decode::details {

namespace {

// The fields of each reply layout, read by the peripheral's own decoder.
const struct
{
    mdb::Layout layout;
    void (*fields)(Reading &);
} kLayouts[] = {
    {mdb::Layout::ChangerPoll, changerPoll},
    {mdb::Layout::ChangerSetup, changerSetup},
    {mdb::Layout::TubeStatus, changerTubeStatus},
    {mdb::Layout::ChangerIdentification, changerIdentification},
    {mdb::Layout::PayoutStatus, changerPayoutStatus},
    {mdb::Layout::PayoutValuePoll, changerPayoutValuePoll},
    {mdb::Layout::ValidatorPoll, validatorPoll},
    {mdb::Layout::ValidatorSetup, validatorSetup},
    {mdb::Layout::Stacker, validatorStacker},
    {mdb::Layout::ValidatorIdentification, validatorIdentification},
    {mdb::Layout::ValidatorIdentificationOptions, validatorIdentificationWithOptions},
    {mdb::Layout::ChangerDiagnostics, changerDiagnostics},
    {mdb::Layout::ManualFillReport, changerManualFillReport},
    {mdb::Layout::ManualPayoutReport, changerManualPayoutReport},
    {mdb::Layout::RecyclerSetup, recyclerSetup},
    {mdb::Layout::DispenseStatus, recyclerDispenseStatus},
    {mdb::Layout::RecyclerPayoutStatus, recyclerPayoutStatus},
    {mdb::Layout::RecyclerPayoutValuePoll, recyclerPayoutValuePoll},
    {mdb::Layout::ReaderResponse, readerResponse},
};

// Why a reply of a peripheral is taken for what it sends unasked.
const struct
{
    Device device;
    const char *why;
} kUnasked[] = {
    {Device::Changer, "Changer activity: coins in and out, and status codes."},
    {Device::Validator, "Validator activity: bills and status codes."},
};

void parse(Decoded &d)
{
    // Pairs of upper-case hex digits with single blanks between: read as far as the text keeps
    // to that form.
    const QString &t = d.text;
    const auto isHex = [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); };
    int i = 0;
    while (i < t.size()) {
        if (i + 1 < t.size() && isHex(t[i]) && isHex(t[i + 1])) {
            d.bytes.append(quint8(t.mid(i, 2).toUInt(nullptr, 16)));
            i += 2;
            if (i == t.size())
                return;
            if (t[i] == u' ' && i + 1 < t.size() && t[i + 1] != u' ') {
                ++i;
                continue;
            }
        }
        break;
    }
    d.stoppedAt = i;
    const QChar c = i < t.size() ? t[i] : QChar();
    if (c == u'\r' || c == u'\n')
        d.stopReason = QStringLiteral("a line end");
    else if (i + 1 < t.size() && isHex(t[i].toUpper()) && isHex(t[i + 1].toUpper()))
        d.stopReason = QStringLiteral("lower-case hex digits (the board sends upper case)");
    else if (c == u' ')
        d.stopReason = QStringLiteral("a blank where the next byte should be");
    else
        d.stopReason = QStringLiteral("a character that is no hex digit pair (code %1)").arg(c.unicode());
}


} // namespace

Decoded decode(const QString &text, const Context &context)
{
    Decoded d;
    d.text = text;
    parse(d);
    if (d.bytes.isEmpty()) {
        d.notes << QStringLiteral("No bytes to decode.");
        return d;
    }

    Reading r(d, context);
    const quint8 first = d.bytes.first();
    // A reply starts with its peripheral's address byte itself.
    d.device = (first & ~mdb::kAddressMask) ? Device::Unknown : mdb::peripheralOf(first);
    const bool addressed = d.device != Device::Unknown;
    const QByteArray &pendingFrame = context.pendingFrame;
    if (addressed) {
        d.why << QStringLiteral("The address byte %1.").arg(mdb::hex(first));
    } else if (!pendingFrame.isEmpty()) {
        // A reply without its address: the frame just sent says whose it is.
        d.device = mdb::peripheralOf(quint8(pendingFrame[0]));
        if (d.device != Device::Unknown)
            d.why << QStringLiteral("No address byte; the pending frame %1 went to that device.").arg(mdb::hex(pendingFrame));
    }
    d.deviceName = d.device == Device::Unknown
                       ? QStringLiteral("unknown device")
                       : QStringLiteral("%1 (%2)").arg(mdb::nameOf(d.device), mdb::hex(mdb::addressOf(d.device)));
    if (addressed)
        r.field(1, QStringLiteral("address"), d.deviceName);

    // The frame that asked: the one sent to this peripheral and not yet answered; or, where that is
    // not known, the frame last sent, when it went to this peripheral.
    QByteArray sent = context.asked;
    if (sent.isEmpty() && !pendingFrame.isEmpty()
        && (!addressed || mdb::peripheralOf(quint8(pendingFrame[0])) == d.device))
        sent = pendingFrame;
    const mdb::ReplyKind reply = mdb::replyTo(d.device, sent, r.left());
    d.reply = QString::fromLatin1(reply.name);
    d.command = reply.command;
    d.layout = reply.layout;
    const QString asking = mdb::hex(sent);
    if (reply.command && reply.layout != mdb::Layout::ChangerPoll && reply.layout != mdb::Layout::ValidatorPoll)
        d.why << QStringLiteral("The pending frame %1 asked for %2.").arg(asking, d.reply);
    else if (reply.command)
        d.why << QStringLiteral("The pending frame %1 (%2) is answered by an ACK or the device's activity.")
                     .arg(asking, QLatin1String(reply.command->name));
    else if (reply.dataBytes >= 0)
        d.why << QStringLiteral("%1 data bytes: the length of a %2 reply.").arg(reply.dataBytes).arg(d.reply);
    for (const auto &unasked : kUnasked)
        if (!reply.command && reply.dataBytes < 0 && unasked.device == d.device)
            d.why << QString::fromLatin1(unasked.why);
    if (d.device != Device::Unknown)
        for (const auto &layout : kLayouts)
            if (layout.layout == reply.layout)
                layout.fields(r);
    if (d.device == Device::Reader)
        d.why << QStringLiteral("The reader's response code %1.")
                     .arg(d.bytes.size() > 1 ? mdb::hex(d.bytes.at(1)) : QStringLiteral("(none)"));
    if (d.device == Device::Unknown)
        d.why << QStringLiteral("The first byte %1 is no peripheral's address, and no frame was "
                                "sent that would tell.").arg(mdb::hex(first));
    // A reply longer than its command's layout: the bytes past it are shown, never read as fields.
    const int came = int(d.bytes.size()) - 1;
    if (reply.dataBytes >= 0 && came > reply.dataBytes && d.device != Device::Reader)
        d.notes << QStringLiteral("Too long: a %1 reply has %2 data bytes after the address, %3 came.")
                       .arg(d.reply).arg(reply.dataBytes).arg(came);
    r.rest();

    if (r.unitsOnly())
        d.notes << QStringLiteral("Money in units: no SETUP reply of the %1 was seen in this run.")
                       .arg(mdb::nameOf(d.device));
    if (d.stoppedAt >= 0)
        d.notes << QStringLiteral("Reading stopped at character %1: %2.").arg(d.stoppedAt + 1).arg(d.stopReason);
    return d;
}

const Field *fieldOf(const Decoded &decoded, mdb::FieldId id, int type)
{
    for (const Field &f : decoded.fields)
        if (f.id == id && (type < 0 || f.type == type))
            return &f;
    return nullptr;
}

QStringList describe(const Decoded &d)
{
    QStringList lines;
    QString raw = d.text;
    for (QChar &c : raw)
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
    lines << QStringLiteral("Text: %1").arg(raw);
    QStringList bytes;
    for (int i = 0; i < d.bytes.size(); ++i)
        bytes << QStringLiteral("%1:%2").arg(i).arg(mdb::hex(d.bytes.at(i)));
    lines << QStringLiteral("Bytes: %1").arg(bytes.isEmpty() ? QStringLiteral("none") : bytes.join(QLatin1Char(' ')));
    lines << QStringLiteral("Device: %1").arg(d.deviceName);
    lines << QStringLiteral("Reply: %1").arg(d.reply);
    for (const QString &why : d.why)
        lines << QStringLiteral("  because: %1").arg(why);
    for (const Field &f : d.fields) {
        const QString where = f.length > 1 ? QStringLiteral("%1-%2").arg(f.offset).arg(f.offset + f.length - 1)
                                           : QString::number(f.offset);
        lines << QStringLiteral("[%1] %2: %3").arg(where, f.name, f.value);
    }
    for (const QString &note : d.notes)
        lines << QStringLiteral("Note: %1").arg(note);
    return lines;
}


} // namespace kestrel::decode::details
