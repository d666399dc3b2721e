// The Telnet codec both ends of an RFC 2217 link speak through: line bytes, commands and
// subnegotiations taken apart however the stream is cut into reads.

#include "link/telnet.h"

#include <QTest>

using namespace kestrel::link::telnet;

namespace {
struct Seen
{
    QByteArray line;
    QList<QPair<int, int>> verbs;
    QList<QByteArray> subs;
};
Seen readInPieces(const QByteArray &stream, int piece)
{
    Seen seen;
    Reader reader;
    const Reader::Handlers handlers{[&](char c) { seen.line.append(c); },
                                    [&](quint8 v, quint8 o) { seen.verbs.append({v, o}); },
                                    [&](const QByteArray &sb) { seen.subs.append(sb); }};
    for (int i = 0; i < stream.size(); i += piece)
        reader.read(stream.mid(i, piece), handlers);
    return seen;
}
} // namespace

class TelnetTest : public QObject
{
    Q_OBJECT
private slots:
    void streamsAreTakenApartWhereverTheyAreCut_data()
    {
        QTest::addColumn<int>("piece");
        for (int piece : {1, 2, 3, 7, 1000})
            QTest::newRow(qPrintable(QStringLiteral("%1 bytes a read").arg(piece))) << piece;
    }
    void streamsAreTakenApartWhereverTheyAreCut()
    {
        QFETCH(int, piece);
        // A reply with a 0xFF in it, a WILL, a CTS notice with a 0xFF in its value, a broken
        // subnegotiation, then more of the line.
        const QByteArray stream = escaped(QByteArray("08 \xff", 4)) + command(kWill, kComPort)
                                  + comPort(comport::kNotifyModemState, bytes({0xFF}))
                                  + bytes({kIac, kSb, kComPort, 1, kIac, 'x'}) + QByteArray("50 06");
        const Seen seen = readInPieces(stream, piece);
        QCOMPARE(seen.line, QByteArray("08 \xff" "50 06", 9));
        QCOMPARE(seen.verbs, (QList<QPair<int, int>>{{kWill, kComPort}}));
        QCOMPARE(seen.subs, (QList<QByteArray>{bytes({kComPort, comport::kNotifyModemState, 0xFF})}));
    }
};

QTEST_GUILESS_MAIN(TelnetTest)
#include "tst_telnet.moc"
