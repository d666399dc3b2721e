#include "plans/report.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace kestrel::plans {

namespace {

using State = PlanRunner::State;

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString secondsText(double ms)
{
    return QString::number(ms / 1000.0, 'f', 3);
}

int countOf(const PlanRunner &run, std::initializer_list<State> states)
{
    return int(std::count_if(run.results().begin(), run.results().end(), [&](const auto &r) {
        return std::find(states.begin(), states.end(), r.state) != states.end();
    }));
}

QString verdict(const PlanRunner &run)
{
    if (run.wasStopped())
        return QStringLiteral("STOPPED");
    return run.passed() ? QStringLiteral("PASSED") : QStringLiteral("FAILED");
}

// The run on a time axis, as inline SVG: each step as a bar (failed ones red), each frame the
// console wrote and each reply it read as a tick in its own lane (a reply cut short hollow), and
// each round trip as a bracket from its frame to the reply its step expected.
QString timelineSvg(const PlanRunner &run)
{
    const double total = std::max(1.0, run.elapsedMs());
    constexpr int kWidth = 900, kLeft = 70, kRight = 10;
    const double scale = (kWidth - kLeft - kRight) / total;
    const auto x = [&](double ms) { return QString::number(kLeft + ms * scale, 'f', 1); };
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"150\" "
                                 "viewBox=\"0 0 %1 150\" font-family=\"sans-serif\" font-size=\"11\">\n"
                                 "<text x=\"4\" y=\"24\">steps</text><text x=\"4\" y=\"54\">frames</text>"
                                 "<text x=\"4\" y=\"84\">replies</text><text x=\"4\" y=\"112\">round trips</text>\n")
                      .arg(kWidth);
    for (int i = 0; i < run.results().size(); ++i) {
        const auto &r = run.results()[i];
        if (r.state == State::Waiting || r.state == State::NotRun)
            continue;
        const bool failed = r.state == State::Failed || r.state == State::Stopped;
        svg += QStringLiteral("<rect x=\"%1\" y=\"12\" width=\"%2\" height=\"16\" fill=\"%3\" stroke=\"#fff\">"
                              "<title>%4: %5</title></rect>\n")
                   .arg(x(r.startMs), QString::number(std::max(1.0, r.ms * scale), 'f', 1),
                        failed ? QStringLiteral("#c00") : QStringLiteral("#8a8"),
                        esc(run.plan().steps[i].source), PlanRunner::stateName(r.state));
    }
    for (const PlanRunner::LineEvent &e : run.lineEvents()) {
        const int y = e.frame ? 42 : 72;
        svg += QStringLiteral("<line x1=\"%1\" x2=\"%1\" y1=\"%2\" y2=\"%3\" stroke=\"%4\"%5><title>%6 ms: %7</title></line>\n")
                   .arg(x(e.atMs)).arg(y).arg(y + 16)
                   .arg(e.frame ? QStringLiteral("#036") : QStringLiteral("#630"),
                        e.whole ? QString() : QStringLiteral(" stroke-dasharray=\"2,2\""))
                   .arg(e.atMs, 0, 'f', 1).arg(esc(e.text));
    }
    for (const PlanRunner::RoundTrip &t : run.roundTrips())
        svg += QStringLiteral("<path d=\"M%1 100 V108 H%2 V100\" fill=\"none\" stroke=\"#060\"><title>%3: %4 ms</title></path>\n")
                   .arg(x(t.writtenAtMs), x(t.writtenAtMs + t.ms), esc(t.command)).arg(t.ms, 0, 'f', 1);
    svg += QStringLiteral("<line x1=\"%1\" x2=\"%2\" y1=\"126\" y2=\"126\" stroke=\"#000\"/>\n").arg(kLeft).arg(kWidth - kRight);
    for (int tick = 0; tick <= 4; ++tick) {
        const double ms = total * tick / 4;
        svg += QStringLiteral("<line x1=\"%1\" x2=\"%1\" y1=\"126\" y2=\"131\" stroke=\"#000\"/>"
                              "<text x=\"%1\" y=\"144\" text-anchor=\"middle\">%2 s</text>\n")
                   .arg(x(ms), secondsText(ms));
    }
    return svg + QStringLiteral("</svg>\n");
}

// The changer's tubes before and after the payout, as bars: where the plan read TUBE STATUS twice.
QString tubesSvg(const PlanRunner &run)
{
    const auto &before = run.payoutWatcher().tubesBefore();
    const auto &after = run.payoutWatcher().tubesAfter();
    if (!before)
        return {};
    const QList<PlanRunner::Payout> payouts = run.payouts();
    int most = 1;
    for (int t = 0; t < PayoutWatcher::kTubeCoins; ++t)
        most = std::max({most, (*before)[t], after ? (*after)[t] : 0});
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"420\" height=\"170\" "
                                 "font-family=\"sans-serif\" font-size=\"11\">\n"
                                 "<rect x=\"300\" y=\"10\" width=\"10\" height=\"10\" fill=\"#89b\"/><text x=\"314\" y=\"19\">before</text>"
                                 "<rect x=\"300\" y=\"26\" width=\"10\" height=\"10\" fill=\"#246\"/><text x=\"314\" y=\"35\">after</text>\n");
    for (int t = 0; t < PayoutWatcher::kTubeCoins; ++t) {
        const int left = 20 + t * 90;
        const auto bar = [&](int count, int dx, const char *fill) {
            const double h = 120.0 * count / most;
            svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"30\" height=\"%3\" fill=\"%4\"/>"
                                  "<text x=\"%5\" y=\"%6\" text-anchor=\"middle\">%7</text>\n")
                       .arg(left + dx).arg(140 - h, 0, 'f', 1).arg(h, 0, 'f', 1).arg(QLatin1String(fill))
                       .arg(left + dx + 15).arg(136 - h, 0, 'f', 1).arg(count);
        };
        bar((*before)[t], 0, "#89b");
        if (after)
            bar((*after)[t], 32, "#246");
        svg += QStringLiteral("<text x=\"%1\" y=\"158\" text-anchor=\"middle\">%2</text>\n")
                   .arg(left + 31).arg(esc(t < payouts.size() ? payouts[t].coin : QString::number(t)));
    }
    return svg + QStringLiteral("</svg>\n");
}

} // namespace

QList<RoundTripSummary> summarize(const QList<PlanRunner::RoundTrip> &trips)
{
    QList<RoundTripSummary> rows;
    QStringList commands;
    for (const auto &t : trips)
        if (!commands.contains(t.command))
            commands << t.command;
    for (const QString &command : commands) {
        std::vector<double> ms;
        for (const auto &t : trips)
            if (t.command == command)
                ms.push_back(t.ms);
        std::sort(ms.begin(), ms.end());
        const std::size_t n = ms.size();
        const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
        rows.append({command, int(n), ms.front(), median, ms.back()});
    }
    return rows;
}

QString junitReport(const PlanRunner &run, const ReportHeader &header)
{
    const Plan &plan = run.plan();
    const int failures = countOf(run, {State::Failed, State::Stopped});
    const int skipped = countOf(run, {State::NotRun, State::Waiting});
    QString xml;
    xml += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xml += QStringLiteral("<testsuites name=\"kestrel\" tests=\"%1\" failures=\"%2\" time=\"%3\">\n")
               .arg(plan.steps.size()).arg(failures).arg(secondsText(run.elapsedMs()));
    xml += QStringLiteral("  <testsuite name=\"%1\" tests=\"%2\" failures=\"%3\" errors=\"0\" skipped=\"%4\" "
                          "time=\"%5\" timestamp=\"%6\">\n")
               .arg(esc(plan.title)).arg(plan.steps.size()).arg(failures).arg(skipped)
               .arg(secondsText(run.elapsedMs()), header.started.toString(Qt::ISODate));
    xml += QStringLiteral("    <properties>\n");
    xml += QStringLiteral("      <property name=\"plan\" value=\"%1\"/>\n").arg(esc(plan.name));
    xml += QStringLiteral("      <property name=\"port\" value=\"%1\"/>\n").arg(esc(header.port));
    for (const auto &identity : run.identities())
        for (const auto &field : identity.fields)
            xml += QStringLiteral("      <property name=\"%1: %2\" value=\"%3\"/>\n")
                       .arg(esc(identity.device), esc(field.first), esc(field.second));
    xml += QStringLiteral("    </properties>\n");
    for (int i = 0; i < plan.steps.size(); ++i) {
        const Step &step = plan.steps[i];
        const auto &r = run.results()[i];
        xml += QStringLiteral("    <testcase classname=\"%1\" name=\"line %2: %3\" time=\"%4\"")
                   .arg(esc(plan.name)).arg(step.line).arg(esc(step.source), secondsText(r.ms));
        switch (r.state) {
        case State::Failed:
        case State::Stopped:
            xml += QStringLiteral(">\n      <failure message=\"%1\" type=\"%2\">%1</failure>\n    </testcase>\n")
                       .arg(esc(r.detail), r.state == State::Failed ? QStringLiteral("failed") : QStringLiteral("stopped"));
            break;
        case State::NotRun:
        case State::Waiting:
            xml += QStringLiteral(">\n      <skipped message=\"not run\"/>\n    </testcase>\n");
            break;
        default:
            if (r.detail.isEmpty())
                xml += QStringLiteral("/>\n");
            else
                xml += QStringLiteral(">\n      <system-out>%1</system-out>\n    </testcase>\n").arg(esc(r.detail));
            break;
        }
    }
    xml += QStringLiteral("  </testsuite>\n</testsuites>\n");
    return xml;
}

QString htmlReport(const PlanRunner &run, const ReportHeader &header)
{
    const Plan &plan = run.plan();
    QString h;
    h += QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>\n"
                        "<style>body{font-family:sans-serif;margin:2em}table{border-collapse:collapse;margin-bottom:1.5em}"
                        "td,th{border:1px solid #999;padding:3px 8px;text-align:left;vertical-align:top}"
                        ".PASS{color:#060}.FAIL,.STOPPED{color:#b00;font-weight:bold}.ASK{color:#036}</style>"
                        "</head><body>\n").arg(esc(plan.title));
    h += QStringLiteral("<h1>%1: %2</h1>\n").arg(esc(plan.title), verdict(run));
    h += QStringLiteral("<p>Plan <code>%1</code> on <code>%2</code>, started %3, %4 s. %5 of %6 steps passed.</p>\n")
             .arg(esc(plan.name), esc(header.port), header.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                  secondsText(run.elapsedMs()))
             .arg(countOf(run, {State::Passed, State::Asked})).arg(plan.steps.size());

    h += QStringLiteral("<h2>Timeline</h2>\n") + timelineSvg(run);

    h += QStringLiteral("<h2>Device identity</h2>\n");
    if (run.identities().isEmpty()) {
        h += QStringLiteral("<p>No identification reply was read.</p>\n");
    } else {
        h += QStringLiteral("<table><tr><th>device</th><th>field</th><th>value</th></tr>\n");
        for (const auto &identity : run.identities())
            for (const auto &field : identity.fields)
                h += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>\n")
                         .arg(esc(identity.device), esc(field.first), esc(field.second));
        h += QStringLiteral("</table>\n");
    }

    h += QStringLiteral("<h2>Steps</h2>\n<table><tr><th>line</th><th>step</th><th>result</th><th>ms</th><th>detail</th></tr>\n");
    for (int i = 0; i < plan.steps.size(); ++i) {
        const auto &r = run.results()[i];
        const QString state = PlanRunner::stateName(r.state);
        h += QStringLiteral("<tr><td>%1</td><td><code>%2</code></td><td class=\"%3\">%3</td><td>%4</td><td>%5</td></tr>\n")
                 .arg(plan.steps[i].line).arg(esc(plan.steps[i].source), state)
                 .arg(r.ms, 0, 'f', 1).arg(esc(r.detail));
    }
    h += QStringLiteral("</table>\n");

    const QList<PlanRunner::Payout> payouts = run.payouts();
    if (std::any_of(payouts.begin(), payouts.end(), [](const auto &p) { return p.requested || p.reported || p.tubeChange; })) {
        h += QStringLiteral("<h2>Payout reconciliation</h2>\n<table><tr><th>coin</th><th>requested</th>"
                            "<th>reported (\"Dispensing ...\")</th><th>tube change (TUBE STATUS after less before)</th></tr>\n");
        for (const auto &p : payouts)
            h += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>\n")
                     .arg(esc(p.coin)).arg(p.requested).arg(p.reported)
                     .arg(p.tubeChange ? QString::number(*p.tubeChange) : QStringLiteral("not read"));
        h += QStringLiteral("</table>\n");
    }

    if (const QString tubes = tubesSvg(run); !tubes.isEmpty())
        h += QStringLiteral("<h2>Tubes before and after</h2>\n") + tubes;

    h += QStringLiteral("<h2>Reply times</h2>\n<p>Round trips: from the command's frame leaving the console to "
                        "the reply its step expected being read, in milliseconds.</p>\n");
    const QList<RoundTripSummary> trips = summarize(run.roundTrips());
    if (trips.isEmpty()) {
        h += QStringLiteral("<p>None measured.</p>\n");
    } else {
        h += QStringLiteral("<table><tr><th>command</th><th>replies</th><th>min</th><th>median</th><th>max</th></tr>\n");
        for (const auto &t : trips)
            h += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>\n")
                     .arg(esc(t.command)).arg(t.count).arg(t.min, 0, 'f', 1).arg(t.median, 0, 'f', 1).arg(t.max, 0, 'f', 1);
        h += QStringLiteral("</table>\n");
    }

    h += QStringLiteral("<h2>Earlier runs of this unit</h2>\n");
    if (header.earlier.isEmpty()) {
        h += QStringLiteral("<p>None in the bench records.</p>\n");
    } else {
        h += QStringLiteral("<table><tr><th>started</th><th>plan</th><th>result</th><th>payout shortfall</th>"
                            "<th>median round trip (ms)</th></tr>\n");
        for (const EarlierRun &e : header.earlier)
            h += QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"%3\">%4</td><td>%5</td><td>%6</td></tr>\n")
                     .arg(e.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), esc(e.plan),
                          e.result == QLatin1String("passed") ? QStringLiteral("PASS") : QStringLiteral("FAIL"), esc(e.result),
                          e.shortfall ? QString::number(*e.shortfall) : QStringLiteral("-"),
                          e.medianMs ? QString::number(*e.medianMs, 'f', 1) : QStringLiteral("-"));
        h += QStringLiteral("</table>\n");
    }
    h += QStringLiteral("</body></html>\n");
    return h;
}

QString writeReport(const PlanRunner &run, const ReportHeader &header, const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool html = suffix == QLatin1String("html") || suffix == QLatin1String("htm");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the report %1: %2").arg(path, file.errorString());
    file.write((html ? htmlReport(run, header) : junitReport(run, header)).toUtf8());
    if (!file.commit())
        return QStringLiteral("cannot write the report %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace kestrel::plans
