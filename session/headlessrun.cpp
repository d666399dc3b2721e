#include "session/headlessrun.h"

#include "session/benchrecords.h"
#include "session/commandline.h"
#include "session/textoutput.h"
#include "console/console.h"
#include "console/portselection.h"
#include "console/sessioncapture.h"
#include "plans/planrunner.h"
#include "plans/report.h"
#include "records/runrecorder.h"
#include "records/sessionrecorder.h"
#include "sim/virtualboard.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>

namespace kestrel::session {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted = true;
}

} // namespace

int runPlanHeadless(const QCommandLineParser &parser)
{
    const plans::Parsed parsed = plans::load(parser.value(QStringLiteral("plan")));
    if (!parsed.plan) {
        printError(parsed.error + QLatin1Char('\n'));
        return 2;
    }
    link::PortMap ports(&session::makeDevice);
    session::applyOptions(parser, ports);
    console::Console console(ports);
    // Each line of the action log is shown as it is written, as the window's list would show it.
    QObject::connect(&console.state.lstActionLog, &QAbstractItemModel::rowsInserted, &console,
                     [&](const QModelIndex &, int first, int last) {
                         for (int i = first; i <= last; ++i)
                             printOut(QStringLiteral("      log: %1\n").arg(console.state.lstActionLog.row(i)));
                     });
    console::SessionCapture capture(console);
    bool captureStopped = false;
    if (parser.isSet(QStringLiteral("capture"))) {
        if (const QString error = capture.start(parser.value(QStringLiteral("capture"))); !error.isEmpty()) {
            printError(QStringLiteral("kestrel: %1\n").arg(error));
            return 2;
        }
        QObject::connect(&capture, &console::SessionCapture::failed, &capture, [&](const QString &error) {
            captureStopped = true;
            printError(QStringLiteral("kestrel: %1\n").arg(error));
        });
    }
    // The bench records: told on stderr when they cannot be kept, and the run goes on without them.
    BenchRecords bench(parser, [](const QString &message) { printError(QStringLiteral("kestrel: %1\n").arg(message)); });
    records::SessionRecorder sessionRecord(bench.store(), console);
    QObject::connect(&sessionRecord, &records::SessionRecorder::queued, &bench, &BenchRecords::nudge);
    core::Trap load = console.state.log.trap(QStringLiteral("Error in form load, "));
    console.startUp(load);
    const int kPort = 1;
    printOut(QStringLiteral("Plan %1 (%2), %3 steps, on %4\n")
                 .arg(parsed.plan->title, parsed.plan->name)
                 .arg(parsed.plan->steps.size())
                 .arg(ports.name(kPort)));
    console::selectPort(console.comInterface, kPort, console.state.log, [] {});
    if (!console.comInterface.PortOpen()) {
        printError(QStringLiteral("kestrel: %1 cannot be opened\n").arg(ports.name(kPort)));
        return 2;
    }

    sim::VirtualBoard *answerer = nullptr;
    if (parser.value(QStringLiteral("plan-answers")) == QLatin1String(session::kVirtual)) {
        answerer = session::virtualBoards(ports).value(0);
        if (!answerer) {
            printError(QStringLiteral("kestrel: --plan-answers virtual needs --com1 virtual\n"));
            console.comInterface.setPortOpen(false);
            return 2;
        }
    }

    plans::PlanRunner runner(console, *parsed.plan);
    records::RunRecorder runRecord(bench.store(), runner, {ports.name(kPort), QDateTime::currentDateTime(), {}});
    QObject::connect(&runRecord, &records::RunRecorder::queued, &bench, &BenchRecords::nudge);
    QObject::connect(&runner, &plans::PlanRunner::stepFinished, &runner,
                     [&](int index) { printOut(runner.summaryLine(index) + QLatin1Char('\n')); });
    QObject::connect(&runner, &plans::PlanRunner::asked, &runner, [&](const QString &prompt) {
        printOut(QStringLiteral("ASK     %1\n").arg(prompt));
        if (answerer && !answerer->answer(prompt))
            printOut(QStringLiteral("        (the virtual board finds no coin or bill named in it)\n"));
    });
    QObject::connect(&runner, &plans::PlanRunner::finished, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);

    g_interrupted = false;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer interrupt;
    QObject::connect(&interrupt, &QTimer::timeout, &runner, [&] {
        if (g_interrupted)
            runner.stop();
    });
    interrupt.start(20);

    runRecord.begin();
    runner.start();
    if (runner.isRunning())
        QCoreApplication::exec();
    interrupt.stop();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    console.comInterface.setPortOpen(false);
    capture.stop();

    const auto &results = runner.results();
    const auto count = [&](plans::PlanRunner::State state) {
        return std::count_if(results.begin(), results.end(), [&](const auto &r) { return r.state == state; });
    };
    using S = plans::PlanRunner::State;
    printOut(QStringLiteral("%1: %2 passed, %3 asked, %4 failed, %5 not run, in %6 s\n")
                 .arg(runner.wasStopped() ? QStringLiteral("STOPPED") : runner.passed() ? QStringLiteral("PASSED") : QStringLiteral("FAILED"))
                 .arg(count(S::Passed)).arg(count(S::Asked)).arg(count(S::Failed) + count(S::Stopped))
                 .arg(count(S::NotRun)).arg(runner.elapsedMs() / 1000.0, 0, 'f', 2));
    // A capture asked for and cut short is no run that did all it was asked.
    int status = runner.passed() && !captureStopped ? 0 : 1;
    // The reports list the unit's earlier runs from the bench records.
    const plans::ReportHeader header = runRecord.header();
    QStringList written;
    for (const QString &path : parser.values(QStringLiteral("report"))) {
        const QString error = plans::writeReport(runner, header, path);
        if (!error.isEmpty()) {
            printError(QStringLiteral("kestrel: %1\n").arg(error));
            status = std::max(status, 1);
        } else {
            printOut(QStringLiteral("Report: %1\n").arg(path));
            written << path;
        }
    }
    runRecord.finish(written);
    // What was queued for the shop's server goes now if it can; what cannot waits for the next run.
    bench.flush(2000);
    return status;
}

} // namespace kestrel::session
