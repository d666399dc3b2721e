#include "session/benchrecords.h"

#include "records/historytext.h"
#include "session/textoutput.h"

#include <QCoreApplication>
#include <QSettings>
#include <QSysInfo>

namespace kestrel::session {

namespace {
QSettings settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                     QCoreApplication::applicationName());
}
} // namespace

QString recordsServer(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("records")))
        return parser.value(QStringLiteral("records"));
    return settings().value(QStringLiteral("records/server")).toString();
}

BenchRecords::BenchRecords(const QCommandLineParser &parser, std::function<void(const QString &)> tell, QObject *parent)
    : QObject(parent), m_tell(std::move(tell))
{
    const QString server = recordsServer(parser);
    std::optional<records::ServerAddress> address;
    if (!server.isEmpty()) {
        QString why;
        address = records::parseServer(server, &why);
        if (!address)
            // Not echoed: the settings file's URL may hold a password.
            told(QStringLiteral("Bench records: the settings file's [records] server is no records server (%1); records "
                                "are kept on this bench only").arg(why));
    }
    records::Store::Options options;
    options.outbox = address.has_value();
    options.problem = [this](const QString &problem) { told(problem); };
    m_store = std::make_unique<records::Store>(options);
    if (!m_store->open())
        return;
    if (address) {
        QString bench = settings().value(QStringLiteral("records/bench")).toString();
        if (bench.isEmpty())
            bench = QSysInfo::machineHostName();
        m_pusher = std::make_unique<records::Pusher>(m_store->path(), *address, bench);
        connect(m_pusher.get(), &records::Pusher::waiting, this, [this](const QString &why) {
            told(QStringLiteral("Bench records are waiting to be sent: %1; they are kept on this bench and sent when "
                                  "the server takes them").arg(why));
        });
        connect(m_pusher.get(), &records::Pusher::caughtUp, this, [this] {
            told(QStringLiteral("Bench records: the waiting records were sent to %1").arg(m_pusher->server().shown()));
        });
    }
}

BenchRecords::~BenchRecords() = default;

void BenchRecords::told(const QString &message)
{
    if (m_tell)
        m_tell(message);
    else
        m_held << message;
}

void BenchRecords::tellTo(std::function<void(const QString &)> tell)
{
    m_tell = std::move(tell);
    for (const QString &message : std::exchange(m_held, {}))
        m_tell(message);
}

records::Store *BenchRecords::store()
{
    return m_store && m_store->isOpen() ? m_store.get() : nullptr;
}

void BenchRecords::nudge()
{
    if (m_pusher)
        m_pusher->nudge();
}

void BenchRecords::flush(int ms)
{
    if (m_pusher && m_store && m_store->isOpen() && m_store->outboxCount() > 0)
        m_pusher->flush(ms);
}

int printHistory(const QCommandLineParser &parser)
{
    records::Store::Options options;
    QString problem;
    options.problem = [&](const QString &p) { problem = p; };
    records::Store store(options);
    if (!store.open()) {
        printError(QStringLiteral("kestrel: %1\n").arg(problem));
        return 2;
    }
    const records::TextForm form = parser.isSet(QStringLiteral("csv")) ? records::TextForm::Csv : records::TextForm::Table;
    const int last = parser.value(QStringLiteral("last")).toInt();
    const QStringList serial = parser.positionalArguments();
    if (serial.isEmpty()) {
        printOut(records::unitsText(store.units(), form));
        return 0;
    }
    const QList<records::UnitRow> units = store.unitsWithSerial(serial.first());
    if (units.isEmpty())
        return 1;
    QString out;
    for (const records::UnitRow &unit : units)
        out += records::runsText(unit, store.runsOf(unit.id, last), form);
    printOut(out);
    return 0;
}

} // namespace kestrel::session
