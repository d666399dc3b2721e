#pragma once

#include "console/console.h"
#include "plans/planrunner.h"
#include "plans/report.h"
#include "records/runrecorder.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kestrel::app {

// "Run Test Plan...": a small window beside the console that runs a plan (a built-in one or a
// file) against the port already open. It lists the steps with each one's state as it runs, shows
// what the plan asks of the technician, can stop the plan, and saves its report. The console's
// action log, tallies and total change exactly as if the operator had pressed the buttons.
class PlanWindow : public QWidget
{
    Q_OBJECT
public:
    // `answer` (may be empty) is given each of the plan's requests: the virtual board answers
    // them when the console was started with --plan-answers virtual.
    PlanWindow(console::Console &console, std::function<void(const QString &)> answer, QWidget *parent = nullptr);
    ~PlanWindow() override;

    // Loads a built-in plan by name or a plan file; false (and the error shown) when it is wrong.
    bool load(const QString &nameOrPath);
    void run();
    void stop();
    // Writes the report of the last run: HTML for .html, JUnit XML otherwise. An error text, or
    // empty.
    QString saveReport(const QString &path);

    const plans::PlanRunner *runner() const { return m_runner.get(); }
    // Each run is kept in these bench records (none: not kept); `queued` is told when a state of it
    // waits for the shop's server.
    void setRecords(records::Store *store, std::function<void()> queued);
    const records::RunRecorder *recorder() const { return m_recorder.get(); }
    QString message() const;   // the line under the plan's name: its error, its ask, its verdict

signals:
    void runFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showPlan();
    void showStep(int index);
    void runEnded();

    console::Console &m_console;
    std::function<void(const QString &)> m_answer;
    std::optional<plans::Plan> m_plan;
    std::unique_ptr<plans::PlanRunner> m_runner;
    records::Store *m_records = nullptr;
    std::function<void()> m_recordsQueued;
    std::unique_ptr<records::RunRecorder> m_recorder;
    plans::ReportHeader m_header;

    QComboBox *m_choice;
    QPushButton *m_open, *m_run, *m_stop, *m_save;
    QLabel *m_title, *m_message;
    QTableWidget *m_steps;
};

} // namespace kestrel::app
