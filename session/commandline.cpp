#include "session/commandline.h"

#include "records/push.h"

#include "link/netserialdevice.h"
#include "link/realserialdevice.h"
#include "capture/recording.h"
#include "core/shown.h"
#include "sim/virtualboard.h"

#include <QHostInfo>
#include <QRegularExpression>

namespace kestrel::session {

namespace {
QString optionName(int port) { return QStringLiteral("com%1").arg(port); }

// Longer than any file name the system takes (the port's lock file is named after it too).
constexpr int kLongestName = 255;

// A value as the refusal shows it, on one line: control characters escaped (\n, \t, \xHH), and
// in quotes when it is empty or holds blanks, so that what was typed can be seen.
QString shown(const QString &value)
{
    const bool quote = value.trimmed().size() != value.size() || value.isEmpty() || value.contains(QLatin1Char(' '));
    const QString out = core::escapedText(value);
    return quote ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}
} // namespace

std::optional<Device> parseDevice(const QString &name, QString *why)
{
    const auto fail = [why](const QString &reason) -> std::optional<Device> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (name.trimmed().isEmpty())
        return fail(QStringLiteral("no device named"));
    if (name.size() > kLongestName)
        return fail(QStringLiteral("a device name of %1 characters is too long (at most %2)")
                        .arg(name.size()).arg(kLongestName));
    Device device;
    if (name == QLatin1String(kVirtual)) {
        device.kind = Device::Virtual;
        return device;
    }
    // virtual?fault=short-payout, virtual?fault=coin-jam,validator-disabled
    if (name.startsWith(QLatin1String(kVirtual) + QLatin1Char('?'))) {
        device.kind = Device::Virtual;
        const QString query = name.mid(int(qstrlen(kVirtual)) + 1);
        static const QLatin1String fault("fault=");
        if (!query.startsWith(fault))
            return fail(QStringLiteral("the virtual board takes virtual?fault=NAME[,NAME...] (its faults: %1), not %2")
                            .arg(sim::faultNames(), shown(query)));
        for (const QString &each : query.mid(fault.size()).split(QLatin1Char(','))) {
            if (!sim::faultNamed(each))
                return fail(QStringLiteral("the virtual board has no fault %1 (its faults: %2)")
                                .arg(shown(each), sim::faultNames()));
            if (!device.faults.contains(each))
                device.faults << each;
        }
        return device;
    }
    if (name.startsWith(QLatin1String(kReplay))) {
        // replay:FILE, replay:FILE?speed=10, replay:FILE?speed=max
        device.kind = Device::Replay;
        device.file = name.mid(int(qstrlen(kReplay)));
        if (const qsizetype query = device.file.lastIndexOf(QLatin1String("?speed=")); query >= 0) {
            const QString speed = device.file.mid(query + 7);
            device.file.truncate(query);
            bool ok = false;
            device.speed = speed == QLatin1String("max") ? 0 : speed.toDouble(&ok);
            if (speed != QLatin1String("max") && (!ok || device.speed < 0.01 || device.speed > 10000))
                return fail(QStringLiteral("a replay's speed is a factor from 0.01 to 10000, or max, not %1").arg(shown(speed)));
        }
        if (device.file.isEmpty())
            return fail(QStringLiteral("a replay is replay:FILE (a capture or a log.txt)"));
        return device;
    }
    const qsizetype scheme = name.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return device;   // a path or port name, checked when the port is opened
    const QString kind = name.left(scheme);
    if (kind == QLatin1String("rfc2217"))
        device.kind = Device::Rfc2217;
    else if (kind == QLatin1String("socket"))
        device.kind = Device::Raw;
    else
        return fail(QStringLiteral("%1:// is no kind of port the console knows "
                                   "(rfc2217:// and socket:// are)").arg(kind));
    static const QRegularExpression hostPort(QStringLiteral("^(\\[[^\\]]+\\]|[^:/\\[\\]]+):(\\d{1,5})$"));
    const QRegularExpressionMatch m = hostPort.match(name.mid(scheme + 3));
    if (!m.hasMatch())
        return fail(QStringLiteral("a network port is %1://HOST:PORT").arg(kind));
    const int port = m.captured(2).toInt();
    if (port < 1 || port > 65535)
        return fail(QStringLiteral("port %1 is out of range (1 to 65535)").arg(m.captured(2)));
    device.host = m.captured(1);
    if (device.host.startsWith(QLatin1Char('[')))
        device.host = device.host.mid(1, device.host.size() - 2);
    device.port = quint16(port);
    return device;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Test console for MDB vending peripherals behind a serial interface board."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (int port = 1; port <= link::PortMap::kPorts; ++port)
        parser.addOption(QCommandLineOption(
            optionName(port),
            QStringLiteral("Use DEVICE for \"Comm%1\" instead of %2: a serial port's path or "
                           "name, \"%3\" for the virtual board (\"%3?fault=NAME,...\" with faults switched on: %4), "
                           "rfc2217://HOST:PORT for a port on "
                           "a serial device server speaking RFC 2217 (its modem lines included), "
                           "socket://HOST:PORT for a raw TCP port (no modem lines), or "
                           "replay:FILE[?speed=N|max] to play a capture or a log.txt back as a board.")
                .arg(port)
                .arg(link::PortMap::defaultName(port), QLatin1String(kVirtual), sim::faultNames()),
            QStringLiteral("DEVICE")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("plan"),
        QStringLiteral("Run a test plan with no window against the device of \"Comm1\": a plan file, "
                       "or a built-in plan (changer, validator, cashless). Exits 0 when every step "
                       "passes, 1 when one fails, 2 when the plan is wrong or the port cannot be opened."),
        QStringLiteral("FILE|NAME")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("capture"),
        QStringLiteral("Save the session as a capture Wireshark opens (pcapng, link type MDB): every "
                       "command frame sent and every reply read, each packet flushed as it is written."),
        QStringLiteral("FILE")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("report"),
        QStringLiteral("With --plan: write the plan's report to FILE, as HTML when FILE ends in .html, "
                       "else as JUnit XML. May be given twice."),
        QStringLiteral("FILE")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("plan-answers"),
        QStringLiteral("\"virtual\": the virtual board inserts the coin or bill each of a test plan's "
                       "requests names, so that a plan runs unattended (with --plan or in the window)."),
        QStringLiteral("virtual")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("records"),
        QStringLiteral("Also send every bench record (units, plan runs, sessions) to the shop's PostgreSQL "
                       "server at postgresql://USER@HOST:PORT/DATABASE. Records are kept on the bench first and "
                       "sent from there, so a server that is down loses nothing. Without it, the server of "
                       "the settings file's [records] server=, if any."),
        QStringLiteral("URL")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("history"),
        QStringLiteral("Print the bench's units, or with a SERIAL number that unit's plan runs, and exit "
                       "(1 when the serial number is not known).")));
    parser.addOption(QCommandLineOption(QStringLiteral("last"),
                                        QStringLiteral("With --history SERIAL: only the last N runs."),
                                        QStringLiteral("N")));
    parser.addOption(QCommandLineOption(QStringLiteral("csv"), QStringLiteral("With --history: print CSV.")));
    parser.addPositionalArgument(QStringLiteral("SERIAL"), QStringLiteral("With --history: the unit's serial number."),
                                 QStringLiteral("[SERIAL]"));
}

QString check(const QCommandLineParser &parser, bool resolve)
{
    const bool history = parser.isSet(QStringLiteral("history"));
    if (!history && parser.isSet(QStringLiteral("last")))
        return QStringLiteral("--last goes with --history");
    if (!history && parser.isSet(QStringLiteral("csv")))
        return QStringLiteral("--csv goes with --history");
    if (parser.isSet(QStringLiteral("last"))) {
        bool ok = false;
        const int last = parser.value(QStringLiteral("last")).toInt(&ok);
        if (!ok || last < 1)
            return QStringLiteral("--last %1: give a number of runs, 1 or more").arg(shown(parser.value(QStringLiteral("last"))));
    }
    if (parser.isSet(QStringLiteral("records"))) {
        QString why;
        if (!records::parseServer(parser.value(QStringLiteral("records")), &why))
            return QStringLiteral("--records %1: %2").arg(shown(parser.value(QStringLiteral("records"))), why);
    }
    for (const QString &stray : parser.positionalArguments().mid(history ? 1 : 0))
        return QStringLiteral("%1: an argument no option takes (the ports are --com1 to --com%2)")
            .arg(shown(stray)).arg(link::PortMap::kPorts);
    const bool plan = parser.isSet(QStringLiteral("plan"));
    if (parser.values(QStringLiteral("plan")).size() > 1)
        return QStringLiteral("--plan is given %1 times: give it once").arg(parser.values(QStringLiteral("plan")).size());
    if (!plan && parser.isSet(QStringLiteral("report")))
        return QStringLiteral("--report goes with --plan (in the window, the plan window saves its report)");
    if (parser.isSet(QStringLiteral("plan-answers"))
        && parser.values(QStringLiteral("plan-answers")) != QStringList{QString::fromLatin1(kVirtual)})
        return QStringLiteral("--plan-answers %1: the only answerer is \"virtual\"")
            .arg(shown(parser.values(QStringLiteral("plan-answers")).join(QLatin1Char(' '))));
    if (parser.values(QStringLiteral("capture")).size() > 1)
        return QStringLiteral("--capture is given %1 times: give it once").arg(parser.values(QStringLiteral("capture")).size());
    if (parser.isSet(QStringLiteral("capture")) && parser.value(QStringLiteral("capture")).trimmed().isEmpty())
        return QStringLiteral("--capture %1: no file named").arg(shown(parser.value(QStringLiteral("capture"))));
    for (const QString &report : parser.values(QStringLiteral("report")))
        if (report.trimmed().isEmpty())
            return QStringLiteral("--report %1: no file named").arg(shown(report));
    for (int port = 1; port <= link::PortMap::kPorts; ++port) {
        const QStringList values = parser.values(optionName(port));
        if (values.size() > 1) {
            QStringList each;
            for (const QString &value : values)
                each << shown(value);
            return QStringLiteral("--%1 is given %2 times (%3): give it once")
                .arg(optionName(port)).arg(values.size()).arg(each.join(QStringLiteral(", ")));
        }
        if (values.isEmpty())
            continue;
        const QString option = QStringLiteral("--%1 %2").arg(optionName(port), shown(values.first()));
        QString why;
        const std::optional<Device> device = parseDevice(values.first(), &why);
        if (!device)
            return QStringLiteral("%1: %2").arg(option, why);
        // A recording's start is read at start-up, so that a file that is none is told before
        // any window opens; a fault further in is met when the replay reaches it.
        if (device->kind == Device::Replay) {
            capture::RecordingReader reader;
            if (!reader.open(device->file))
                return QStringLiteral("%1: %2").arg(option, reader.error());
        }
        if (resolve && (device->kind == Device::Rfc2217 || device->kind == Device::Raw)) {
            const QHostInfo host = QHostInfo::fromName(device->host);
            if (host.error() != QHostInfo::NoError || host.addresses().isEmpty())
                return QStringLiteral("%1: the host %2 is not found (%3)")
                    .arg(option, device->host, host.errorString());
        }
    }
    return {};
}

void applyOptions(const QCommandLineParser &parser, link::PortMap &ports)
{
    for (int port = 1; port <= link::PortMap::kPorts; ++port)
        if (parser.isSet(optionName(port)))
            ports.setName(port, parser.value(optionName(port)));
}

std::unique_ptr<link::SerialDevice> makeDevice(const QString &deviceName)
{
    const Device device = parseDevice(deviceName).value_or(Device());
    switch (device.kind) {
    case Device::Virtual: {
        auto board = std::make_unique<sim::VirtualBoard>();
        for (const QString &fault : device.faults)
            sim::faultNamed(fault)->set(*board, true);
        return board;
    }
    case Device::Replay: {
        auto board = std::make_unique<sim::VirtualBoard>();
        // Read as it plays; a recording that cannot be read now (gone since start-up) ends the
        // replay with the port lost, saying why.
        board->setReplayFile(device.file, device.speed);
        return board;
    }
    case Device::Rfc2217:
        return std::make_unique<link::NetSerialDevice>(link::NetSerialDevice::Protocol::Rfc2217, device.host, device.port);
    case Device::Raw:
        return std::make_unique<link::NetSerialDevice>(link::NetSerialDevice::Protocol::Raw, device.host, device.port);
    case Device::Path:
        break;
    }
    return std::make_unique<link::RealSerialDevice>(deviceName);
}

QList<sim::VirtualBoard *> virtualBoards(link::PortMap &ports)
{
    QList<sim::VirtualBoard *> boards;
    for (int port = 1; port <= link::PortMap::kPorts; ++port)
        if (const std::optional<Device> device = parseDevice(ports.name(port)); device && device->kind == Device::Virtual)
            if (auto *board = qobject_cast<sim::VirtualBoard *>(ports.device(port)))
                boards.append(board);
    return boards;
}

} // namespace kestrel::session
