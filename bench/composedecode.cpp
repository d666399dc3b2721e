#include "bench/benches.h"

#include "decode/replydetails.h"
#include "mdb/compose.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kestrel::bench {

namespace {

// What the work gives is kept here, so that the compiler cannot leave the work out.
volatile std::size_t g_sink = 0;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Microseconds per call of `work`, the median of rounds of `count` calls.
template <class Work>
double perCall(int count, Work work)
{
    std::vector<double> rounds;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i)
            work();
        rounds.push_back(clock.nsecsElapsed() / 1000.0 / count);
    }
    return median(rounds);
}

} // namespace

void composeAndDecode()
{
    mdb::Known known;
    known.changer = mdb::MoneySetup{0x0001, 5, 2, 3, {1, 2, 5, 0, 20, 40}};
    known.reader = mdb::MoneySetup{0x0001, 5, 2, 2, {}};
    const struct
    {
        const char *what;
        mdb::Cmd command;
        QList<mdb::Given> given;
    } frames[] = {
        {"DISPENSE coin=Quarter count=3", mdb::Cmd::Dispense, {{"coin", "Quarter"}, {"count", "3"}}},
        {"PAYOUT value=0.40", mdb::Cmd::Payout, {{"value", "0.40"}}},
        {"VEND REQUEST price=1.25 item=7", mdb::Cmd::VendRequest, {{"price", "1.25"}, {"item", "7"}}},
        {"REQUEST ID (31 bytes, defaults)", mdb::Cmd::RequestId, {}},
    };
    const QString id = QStringLiteral("08 56 4C 4D 30 30 30 30 30 30 30 30 30 30 30 31 43 48 4E 47 2D 33 30 30 30 20 20 20 01 02 00 00 00 07\r\n");
    decode::details::Context asked;
    asked.known = known;
    const struct
    {
        const char *what;
        QString text;
        QByteArray frame;
    } replies[] = {
        {"IDENTIFICATION (34 bytes)", id, QByteArray::fromHex("0F00")},
        {"SETUP of the changer (24 bytes)", QStringLiteral("08 03 00 01 05 02 00 07 01 02 05 00 14 28 00 00 00 00 00 00 00 00 00 00\r\n"), QByteArray::fromHex("09")},
        {"SEND DIAGNOSTIC STATUS, 8 codes (17 bytes)", QStringLiteral("08 03 00 11 30 12 31 13 10 14 00 15 02 15 03 15 04\r\n"), QByteArray::fromHex("0F05")},
        {"a coin (POLL, 3 bytes)", QStringLiteral("08 52 06\r\n"), QByteArray()},
    };
    std::printf("\n### Composing a frame and decoding a reply (median of 7 rounds)\n\n"
                "| what | microseconds each |\n|---|---|\n");
    for (const auto &f : frames) {
        const mdb::CommandSpec &spec = mdb::command(f.command);
        const double us = perCall(20000, [&] { g_sink = g_sink + std::size_t(mdb::compose(spec, f.given, known).frame.size()); });
        std::printf("| compose %s | %.2f |\n", f.what, us);
    }
    for (const auto &r : replies) {
        decode::details::Context context = asked;
        context.asked = r.frame;
        const double us = perCall(5000, [&] { g_sink = g_sink + std::size_t(decode::details::describe(decode::details::decode(r.text, context)).size()); });
        std::printf("| decode and describe %s | %.2f |\n", r.what, us);
    }
}

} // namespace kestrel::bench
