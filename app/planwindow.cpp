#include "app/planwindow.h"

#include "plans/report.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kestrel::app {

namespace {
enum Column { LineColumn, StepColumn, ResultColumn, TimeColumn, DetailColumn, Columns };
const QString kChoose = QStringLiteral("(a plan file)");
} // namespace

PlanWindow::PlanWindow(console::Console &console, std::function<void(const QString &)> answer, QWidget *parent)
    : QWidget(parent, Qt::Window), m_console(console), m_answer(std::move(answer))
{
    setObjectName(QStringLiteral("frmTestPlan"));
    setWindowTitle(QStringLiteral("Test Plan"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("cboPlan"));
    for (const plans::BuiltIn &builtIn : plans::builtIns())
        m_choice->addItem(QString::fromLatin1(builtIn.name));
    m_open = new QPushButton(QStringLiteral("Open..."), this);
    m_open->setObjectName(QStringLiteral("cmdOpenPlan"));
    m_run = new QPushButton(QStringLiteral("Run"), this);
    m_run->setObjectName(QStringLiteral("cmdRunPlan"));
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setObjectName(QStringLiteral("cmdStopPlan"));
    m_save = new QPushButton(QStringLiteral("Save Report..."), this);
    m_save->setObjectName(QStringLiteral("cmdSaveReport"));
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblPlanTitle"));
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblPlanMessage"));
    m_message->setWordWrap(true);
    QFont big = m_message->font();
    big.setBold(true);
    m_message->setFont(big);
    m_steps = new QTableWidget(0, Columns, this);
    m_steps->setObjectName(QStringLiteral("lstPlanSteps"));
    m_steps->setHorizontalHeaderLabels({QStringLiteral("Line"), QStringLiteral("Step"), QStringLiteral("Result"),
                                        QStringLiteral("ms"), QStringLiteral("Detail")});
    m_steps->verticalHeader()->hide();
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_steps->horizontalHeader()->setStretchLastSection(true);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Plan:"), this));
    top->addWidget(m_choice, 1);
    top->addWidget(m_open);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_run);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_title);
    layout->addWidget(m_message);
    layout->addWidget(m_steps, 1);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(m_choice, &QComboBox::textActivated, this, [this](const QString &name) {
        if (name != kChoose)
            load(name);
    });
    connect(m_open, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Test Plan"), QString(),
                                                          QStringLiteral("Test plans (*.plan *.txt);;All files (*)"));
        if (!path.isEmpty())
            load(path);
    });
    connect(m_run, &QPushButton::clicked, this, &PlanWindow::run);
    connect(m_stop, &QPushButton::clicked, this, &PlanWindow::stop);
    connect(m_save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Test Report"), QStringLiteral("report.html"),
                                                          QStringLiteral("HTML report (*.html);;JUnit XML (*.xml)"));
        if (path.isEmpty())
            return;
        if (const QString error = saveReport(path); !error.isEmpty())
            m_message->setText(error);
    });
    load(m_choice->currentText());
}

PlanWindow::~PlanWindow()
{
    // A plan still running when the window goes stops with it: no step outlives its window.
    if (m_runner && m_runner->isRunning())
        m_runner->stop();
}

bool PlanWindow::load(const QString &nameOrPath)
{
    if (m_runner && m_runner->isRunning())
        return false;
    const plans::Parsed parsed = plans::load(nameOrPath);
    m_plan = parsed.plan;
    m_runner.reset();
    if (m_choice->findText(nameOrPath) < 0) {
        if (m_choice->findText(kChoose) < 0)
            m_choice->addItem(kChoose);
        m_choice->setCurrentText(kChoose);
    } else {
        m_choice->setCurrentText(nameOrPath);
    }
    m_message->setText(parsed.error);
    showPlan();
    return bool(m_plan);
}

void PlanWindow::showPlan()
{
    m_title->setText(m_plan ? QStringLiteral("%1 (%2 steps)").arg(m_plan->title).arg(m_plan->steps.size()) : QString());
    m_steps->setRowCount(m_plan ? int(m_plan->steps.size()) : 0);
    for (int i = 0; m_plan && i < m_plan->steps.size(); ++i) {
        const plans::Step &step = m_plan->steps[i];
        const QString texts[Columns] = {QString::number(step.line), step.source, QString(), QString(), QString()};
        for (int c = 0; c < Columns; ++c)
            m_steps->setItem(i, c, new QTableWidgetItem(texts[c]));
    }
    m_steps->resizeColumnToContents(StepColumn);
    const bool idle = !m_runner || !m_runner->isRunning();
    m_run->setEnabled(idle && m_plan);
    m_stop->setEnabled(!idle);
    m_save->setEnabled(idle && m_runner);
    m_choice->setEnabled(idle);
    m_open->setEnabled(idle);
}

void PlanWindow::run()
{
    if (!m_plan || (m_runner && m_runner->isRunning()))
        return;
    if (!m_console.comInterface.PortOpen()) {
        m_message->setText(QStringLiteral("No port is open: pick one on the Setup tab first."));
        return;
    }
    m_recorder.reset();
    m_runner = std::make_unique<plans::PlanRunner>(m_console, *m_plan);
    m_header = {m_console.comInterface.portName(), QDateTime::currentDateTime(), {}};
    m_recorder = std::make_unique<records::RunRecorder>(m_records, *m_runner, m_header);
    connect(m_recorder.get(), &records::RunRecorder::queued, this, [this] {
        if (m_recordsQueued)
            m_recordsQueued();
    });
    connect(m_runner.get(), &plans::PlanRunner::stepStarted, this, &PlanWindow::showStep);
    connect(m_runner.get(), &plans::PlanRunner::stepFinished, this, &PlanWindow::showStep);
    connect(m_runner.get(), &plans::PlanRunner::asked, this, [this](const QString &prompt) {
        m_message->setText(prompt);
        if (m_answer)
            m_answer(prompt);
    });
    connect(m_runner.get(), &plans::PlanRunner::finished, this, &PlanWindow::runEnded);
    m_message->clear();
    showPlan();
    m_recorder->begin();
    m_runner->start();
    showPlan();
}

void PlanWindow::stop()
{
    if (m_runner && m_runner->isRunning())
        m_runner->stop();
}

void PlanWindow::showStep(int index)
{
    const auto &r = m_runner->results()[index];
    m_steps->item(index, ResultColumn)->setText(plans::PlanRunner::stateName(r.state));
    if (r.state != plans::PlanRunner::State::Running) {
        m_steps->item(index, TimeColumn)->setText(QString::number(r.ms, 'f', 1));
        m_steps->item(index, DetailColumn)->setText(r.detail);
    }
    const QColor colour = r.state == plans::PlanRunner::State::Failed || r.state == plans::PlanRunner::State::Stopped
                              ? QColor(0xb0, 0, 0)
                              : r.state == plans::PlanRunner::State::Passed ? QColor(0, 0x60, 0) : palette().color(QPalette::Text);
    m_steps->item(index, ResultColumn)->setForeground(colour);
    m_steps->scrollToItem(m_steps->item(index, LineColumn));
}

void PlanWindow::setRecords(records::Store *store, std::function<void()> queued)
{
    m_records = store;
    m_recordsQueued = std::move(queued);
}

void PlanWindow::runEnded()
{
    m_recorder->finish();
    for (int i = 0; i < m_runner->results().size(); ++i)
        showStep(i);
    m_message->setText(m_runner->wasStopped() ? QStringLiteral("Stopped.")
                       : m_runner->passed()   ? QStringLiteral("Passed: every step.")
                                              : QStringLiteral("Failed: see the steps in red."));
    showPlan();
    emit runFinished();
}

QString PlanWindow::saveReport(const QString &path)
{
    if (!m_runner)
        return QStringLiteral("No plan has run yet.");
    const QString error = plans::writeReport(*m_runner, m_recorder ? m_recorder->header() : m_header, path);
    if (error.isEmpty() && m_recorder)
        m_recorder->addReport(path);
    return error;
}

QString PlanWindow::message() const
{
    return m_message->text();
}

void PlanWindow::closeEvent(QCloseEvent *event)
{
    stop();
    QWidget::closeEvent(event);
}

} // namespace kestrel::app
