// Captures as Wireshark reads them. The expected bytes below are written from the pcapng format
// and the MDB link type's header (LINKTYPE_MDB, 300: a version byte 0; 0xFF for the VMC's blocks,
// or 0xFE and the peripheral's address for a peripheral's; then the block and its checksum, the
// low byte of the sum), not from the code's own constants.

#include "capture/pcapng.h"
#include "capture/recording.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel::capture;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// A pcapng of three packets, as a session writes them.
QByteArray session()
{
    return blocks::sectionHeader() + blocks::interfaceDescription()
           + blocks::enhancedPacket(1765000000000000, commandPacket(hex("0F 02 02")), {"console: Dispense Dime"})
           + blocks::enhancedPacket(1765000000041500, replyPacket(hex("08 91 08")),
                                    {"console: Dispensing Dime - Code (08 91 08)", "read as: 08 91 08\\r\\n"})
           + blocks::enhancedPacket(1765000000100000, QByteArray(), {"console: not recognised", "read as: CC"});
}

} // namespace

class CaptureTest : public QObject
{
    Q_OBJECT
private slots:
    void packets_data()
    {
        QTest::addColumn<bool>("command");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("packet");
        // Commands: 00 FF, the frame, the checksum of the frame.
        QTest::newRow("reset") << true << hex("08") << hex("00 FF 08 08");
        QTest::newRow("dispense dime") << true << hex("0F 02 02") << hex("00 FF 0F 02 02 13");
        QTest::newRow("coin type, enable all") << true << hex("0C FF FF FF FF") << hex("00 FF 0C FF FF FF FF 08");
        QTest::newRow("write to lcd") << true << hex("02 01 41 41 41 41 41 41 41 41 41 41")
                                      << hex("00 FF 02 01 41 41 41 41 41 41 41 41 41 41 8D");
        // Replies: 00 FE, the address, the data and the checksum of the data.
        QTest::newRow("dime paid out") << false << hex("08 91 08") << hex("00 FE 08 91 08 99");
        QTest::newRow("bill stacked") << false << hex("30 80 09") << hex("00 FE 30 80 09 89");
        QTest::newRow("vend approved") << false << hex("10 05 00 01") << hex("00 FE 10 05 00 01 06");
        QTest::newRow("address bits masked") << false << hex("0B 00") << hex("00 FE 08 00 00");
        QTest::newRow("address alone") << false << hex("08") << hex("00 FE 08 00");
    }
    void packets()
    {
        QFETCH(bool, command);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, packet);
        QCOMPARE(command ? commandPacket(bytes) : replyPacket(bytes), packet);
    }

    void blockLayout()
    {
        // Section header: type, length 32, byte-order magic, version 1.0, section length -1,
        // end of options, length again.
        QCOMPARE(blocks::sectionHeader(),
                 hex("0A0D0D0A 20000000 4D3C2B1A 0100 0000 FFFFFFFF FFFFFFFF 00000000 20000000"));
        // Interface: link type 300 (0x012C), snapshot length 0, if_tsresol = 6 (microseconds).
        QCOMPARE(blocks::interfaceDescription(),
                 hex("01000000 20000000 2C01 0000 00000000 0900 0100 06000000 00000000 20000000"));
        // Packet: interface 0, timestamp high and low in microseconds, lengths, data padded to 32
        // bits, a comment (code 1) padded, end of options.
        QCOMPARE(blocks::enhancedPacket(0x0006452A12345678, hex("00 FF 08 08"), {"console: Reset"}),
                 hex("06000000 3C000000 00000000 2A450600 78563412 04000000 04000000 00FF0808"
                     "0100 0E00 636F6E736F6C653A205265736574 0000 00000000 3C000000"));
        QCOMPARE(blocks::enhancedPacket(1, hex("00 FE 08 0B 0B"), {}),
                 hex("06000000 28000000 00000000 00000000 01000000 05000000 05000000 00FE080B 0B000000 28000000"));
    }

    void replyBytesOfReads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hexBytes");
        QTest::newRow("coin") << "08 50 06\r\n" << hex("08 50 06") << true;
        QTest::newRow("status code") << "08 0B" << hex("08 0B") << true;
        QTest::newRow("notice mark") << "CC" << QByteArray() << false;
        QTest::newRow("notice text") << "EXACT CHANGE" << QByteArray() << false;
        QTest::newRow("fragment") << "08 5" << QByteArray() << false;
        QTest::newRow("noise") << "\x01\x02" << QByteArray() << false;
        QTest::newRow("empty") << "" << QByteArray() << false;
    }
    void replyBytesOfReads()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hexBytes);
        const std::optional<QByteArray> read = replyBytes(text);
        QCOMPARE(bool(read), hexBytes);
        if (read)
            QCOMPARE(*read, bytes);
    }

    void escapes()
    {
        for (const QString &text : {QStringLiteral("08 50 06\r\n"), QStringLiteral("a\\b"), QStringLiteral("\x01\x7f\t"),
                                    QStringLiteral("\\r is not CR"), QString()}) {
            const QString kept = escaped(text);
            QVERIFY(!kept.contains(QLatin1Char('\r')) && !kept.contains(QLatin1Char('\n')));
            QCOMPARE(unescaped(kept), text);
        }
        QCOMPARE(escaped(QStringLiteral("08 50 06\r\n")), QStringLiteral("08 50 06\\r\\n"));
    }

    // The console's own capture read back: each read's text exactly, and the commands counted.
    void readBack()
    {
        QTemporaryDir dir;
        const Loaded loaded = readRecording(writeFile(dir, QStringLiteral("s.pcapng"), session()));
        QVERIFY2(loaded.recording, qPrintable(loaded.error));
        QCOMPARE(loaded.recording->commands, 1);
        QCOMPARE(loaded.recording->reads.size(), 2);
        QCOMPARE(loaded.recording->reads[0].text, QStringLiteral("08 91 08\r\n"));
        QCOMPARE(loaded.recording->reads[0].micros, 1765000000041500);
        QCOMPARE(loaded.recording->reads[1].text, QStringLiteral("CC"));
    }

    // Another tool's captures: a classic pcap and a big-endian pcapng with nanosecond times, of
    // link type 300, without the console's comments: the peripheral's bytes become the board's
    // text.
    void otherTools()
    {
        QTemporaryDir dir;
        QByteArray pcap = hex("A1B2C3D4 0002 0004 00000000 00000000 0000FFFF 0000012C");
        pcap += hex("693A2B00 0000A000 00000006 00000006") + hex("00 FE 08 91 08 99");
        pcap += hex("693A2B00 0000A100 00000005 00000005") + hex("00 FF 0F 02 02");
        const Loaded fromPcap = readRecording(writeFile(dir, QStringLiteral("t.pcap"), pcap));
        QVERIFY2(fromPcap.recording, qPrintable(fromPcap.error));
        QCOMPARE(fromPcap.recording->reads.size(), 1);
        QCOMPARE(fromPcap.recording->reads[0].text, QStringLiteral("08 91 08\r\n"));
        QCOMPARE(fromPcap.recording->reads[0].micros, 0x693A2B00LL * 1000000 + 0xA000);
        QCOMPARE(fromPcap.recording->commands, 1);

        QByteArray big = hex("0A0D0D0A 0000001C 1A2B3C4D 0001 0000 FFFFFFFF FFFFFFFF 0000001C");
        big += hex("00000001 00000020 012C 0000 00000000 0009 0001 09000000 0000 0000 00000020");   // nanoseconds
        big += hex("00000006 00000028 00000000 00000000 3B9ACA00 00000005 00000005 00FE3080 09000000 00000028");
        const Loaded fromPcapng = readRecording(writeFile(dir, QStringLiteral("t.pcapng"), big));
        QVERIFY2(fromPcapng.recording, qPrintable(fromPcapng.error));
        QCOMPARE(fromPcapng.recording->reads[0].text, QStringLiteral("30 80\r\n"));
        QCOMPARE(fromPcapng.recording->reads[0].micros, 1000000);
    }

    void logFile()
    {
        QTemporaryDir dir;
        const Loaded loaded = readRecording(writeFile(dir, QStringLiteral("log.txt"),
                                                      "12-09-202614:00:0008 50 06\r\n12-09-202614:00:0008 0B\r\n"
                                                      "12-09-202614:00:02CC\r\n12-09-202614:00:02EXACT CHANGE\r\n"));
        QVERIFY2(loaded.recording, qPrintable(loaded.error));
        QCOMPARE(loaded.recording->reads.size(), 4);
        QCOMPARE(loaded.recording->reads[0].text, QStringLiteral("08 50 06\r\n"));
        QCOMPARE(loaded.recording->reads[3].text, QStringLiteral("EXACT CHANGE"));
        QCOMPARE(loaded.recording->reads[2].micros - loaded.recording->reads[0].micros, 2000000);
    }

    // Every bad file gives one clear error naming the file and the byte or line, never a crash.
    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray good = session();
        QTest::newRow("empty") << QByteArray() << "f: an empty file, not a recording";
        // The blocks: section header at 0 (32 bytes), interface at 32 (32), packets at 64, 132
        // and 256 (80 bytes, the last).
        QTest::newRow("cut inside the last packet") << good.left(good.size() - 60)
                                                    << "f: byte 256: a block of 80 bytes, past the end of the file (truncated)";
        QTest::newRow("cut inside a block header") << good.left(70) << "f: byte 64: the file ends inside a block (truncated)";
        QTest::newRow("cut in the section header") << good.left(6) << "f: byte 0: the file ends inside a block (truncated)";
        QByteArray ethernet = good;
        ethernet[32 + 8] = 1;   // the interface's link type: 1, Ethernet
        ethernet[32 + 9] = 0;
        QTest::newRow("wrong link type") << ethernet << "f: byte 40: link type 1, not MDB (300)";
        QTest::newRow("pcap of Ethernet") << hex("D4C3B2A1 0200 0400 00000000 00000000 FFFF0000 01000000")
                                          << "f: byte 20: link type 1, not MDB (300)";
        QByteArray lengths = good;
        lengths[good.size() - 4] = 0x7F;   // the last block's trailing length
        QTest::newRow("lengths differ") << lengths << "f: byte 256: the block's two lengths differ";
        QTest::newRow("log line not a log line") << QByteArray("12-09-202614:00:0008 50 06\r\nhello\r\n")
                                                 << "f:2: not a line of log.txt (its date and time, then what was read)";
        QTest::newRow("log line with a control character") << QByteArray("12-09-202614:00:0008 50\x01 06\r\n")
                                                           << "f:1: not hex text: a control character in what was read";
        QTest::newRow("only commands") << QByteArray(blocks::sectionHeader() + blocks::interfaceDescription()
                                                     + blocks::enhancedPacket(1, commandPacket(hex("08")), {}))
                                       << "f: has nothing the board sent";
    }
    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const Loaded loaded = parseRecording(bytes, QStringLiteral("f"));
        QVERIFY(!loaded.recording);
        QCOMPARE(loaded.error, error);
    }

    // A recording past the limit is refused with its own size, to the byte: one byte over is
    // not rounded down to the limit it passes.
    void largeAndMissingFiles()
    {
        QTemporaryDir dir;
        for (const qint64 size : {kLargestRecording + 1, 100LL * 1024 * 1024}) {
            QFile big(dir.filePath(QStringLiteral("big.pcapng")));
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(size));   // sparse
            big.close();
            QCOMPARE(readRecording(big.fileName()).error,
                     big.fileName() + QStringLiteral(": %1 bytes is too large for a recording (at most 64 MB, "
                                                     "67108864 bytes)").arg(size));
        }
        QCOMPARE(readRecording(dir.filePath(QStringLiteral("none"))).error, dir.filePath(QStringLiteral("none")) + QStringLiteral(": no such file"));
    }

    // Wireshark's own tools read every file the console writes: tshark and capinfos (Debian's
    // Wireshark 4.0, which has no MDB dissector) with the packet count and the timestamps.
    void wiresharkReadsIt()
    {
#ifndef Q_OS_LINUX
        QSKIP("tshark runs on the Linux build's machine");
#else
        const QString tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
        const QString capinfos = QStandardPaths::findExecutable(QStringLiteral("capinfos"));
        QVERIFY2(!tshark.isEmpty() && !capinfos.isEmpty(), "tshark and capinfos are needed (Debian: tshark)");
        QTemporaryDir dir;
        PcapngWriter writer;
        const QString path = dir.filePath(QStringLiteral("w.pcapng"));
        QCOMPARE(writer.open(path), QString());
        QCOMPARE(writer.write(1765000000000000, commandPacket(hex("0A")), {"console: Tube Status"}), QString());
        QCOMPARE(writer.write(1765000000123456, replyPacket(hex("08 00 00 14 14 14")), {"console: not recognised", "read as: x"}), QString());
        QCOMPARE(writer.write(1765000000200001, QByteArray(), {"read as: CC"}), QString());
        writer.close();

        QProcess read;
        read.start(tshark, {"-r", path, "-T", "fields", "-e", "frame.time_epoch", "-e", "frame.len", "-e", "frame.comment"});
        QVERIFY(read.waitForFinished(60000));
        QCOMPARE(read.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(read.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("1765000000.000000000\t4\tconsole: Tube Status"));
        QCOMPARE(lines[1], QStringLiteral("1765000000.123456000\t9\tconsole: not recognised,read as: x"));
        QCOMPARE(lines[2], QStringLiteral("1765000000.200001000\t0\tread as: CC"));

        QProcess info;
        info.start(capinfos, {"-c", "-u", "-T", "-m", path});
        QVERIFY(info.waitForFinished(60000));
        QCOMPARE(info.exitCode(), 0);
        const QString summary = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(summary.contains(QStringLiteral(",3,0.200001")), qPrintable(summary));
#endif
    }
};

QTEST_GUILESS_MAIN(CaptureTest)
#include "tst_capture.moc"
