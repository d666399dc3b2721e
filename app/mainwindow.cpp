#include "app/mainwindow.h"

#include "session/exitcommand.h"
#include "app/layout.h"
#include "app/lineview.h"
#include "app/wrapbutton.h"
#include "commands/commandtables.h"
#include "console/portselection.h"
#include "screens/about.h"
#include "screens/boardscreens.h"
#include "screens/look.h"
#include "screens/showonce.h"
#include "screens/splash.h"

#include <QFileDialog>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

namespace kestrel::app {

using namespace layout;

frmKestrel::frmKestrel(link::PortMap &ports, const QString &logPath, QWidget *parent)
    : frmKestrel(ports, console::Console::Settings{logPath}, parent)
{
}

frmKestrel::frmKestrel(link::PortMap &ports, console::Console::Settings settings, QWidget *parent)
    : QMainWindow(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                              | Qt::WindowCloseButtonHint)
    , m_console(ports, std::move(settings))
    , m_docLinks(m_console.state.log, m_desktop, QCoreApplication::applicationDirPath())
{
    setObjectName(QStringLiteral("frmKestrel"));
    // A tool window, yet it keeps the program running while it is open (app/programlife.h).
    setAttribute(Qt::WA_QuitOnClose, true);
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setFont(screens::look::arial(8.25));
    setWindowIcon(screens::look::appIcon());
    buildControls();
    buildMenus();
    // The client area below the menu bar stands at the window's place; the menu bar above it.
    screens::look::placeWindow(*this, kWindowPlace, menuBar()->sizeHint().height());
    m_endProgram = [] {
        for (QWidget *window : QApplication::topLevelWidgets())
            window->hide();
        QCoreApplication::exit(0);
    };
    wireHandlers();
    wireLinksAndScreens();
    m_nextFrame.setSingleShot(true);
    connect(&m_console.comInterface, &link::CommControl::OnComm, this, [this] { m_lastComm.start(); });
    connect(&m_nextFrame, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
    Form_Load();
}

bool frmKestrel::event(QEvent *event)
{
    // Repaints are coalesced: a board sending hundreds of replies a second would otherwise have
    // the window repaint its lists for each one. An update asked for sooner than one frame after
    // the last is held back; the changes gather and are painted together when the frame is due.
    if (event->type() == QEvent::UpdateRequest) {
        const bool streaming = m_lastComm.isValid() && m_lastComm.elapsed() < kStreamingMs;
        const qint64 frame = streaming ? kStreamingFrameMs : kFrameMs;
        if (m_lastFrame.isValid() && m_lastFrame.elapsed() < frame) {
            if (!m_nextFrame.isActive())
                m_nextFrame.start(int(frame - m_lastFrame.elapsed()));
            return true;
        }
        m_lastFrame.start();
        // The lists bring their scroll bars, and the labels their texts, up to date once, for
        // the frame about to be painted.
        for (LineView *view : std::as_const(m_lists))
            view->catchUp();
        showLabelTexts();
    }
    return QMainWindow::event(event);
}

void frmKestrel::closeEvent(QCloseEvent *event)
{
    // A port option's handler is still opening a network port: the window waits until that step
    // has ended before it unloads under it.
    if (m_console.comInterface.opening()) {
        event->ignore();
        return;
    }
    // The plan window closes with the console, stopping a plan still running.
    if (m_planWindow)
        m_planWindow->close();
    if (m_commandWindow)
        m_commandWindow->close();
    QMainWindow::closeEvent(event);
}

void frmKestrel::Form_Load()
{
    core::Trap trap = m_console.state.log.trap(QStringLiteral("Error in form load, "));
    m_console.startUp(trap);
    trap([&] { showSplashAgain(); });
    TabStrip *tabs = TabStrip1();
    for (int index = 0; index < int(kPanels.size()); ++index) {
        QWidget *panel = Pictab(index);
        // Each panel lies exactly over the tab strip's client area, hidden and disabled.
        trap([&] { panel->setGeometry(tabs->clientArea().translated(tabs->pos())); });
        trap([&] { panel->hide(); });
        trap([&] { panel->setEnabled(false); });
    }
    trap([&] { tabs->selectTab(1); });
    trap([&] {
        QWidget *shown = Pictab(tabs->selectedTab() - 1);
        shown->show();
        shown->setEnabled(true);
    });
    showLabelTexts();   // the window first shows what the load step wrote
}

void frmKestrel::showLabelTexts()
{
    for (const ShownCaption &shown : std::as_const(m_labels))
        if (shown.label->text() != shown.caption->text())
            shown.label->setText(shown.caption->text());
}

void frmKestrel::showSplashAgain()
{
    auto *splash = new screens::frmSplash;
    connect(splash, &screens::frmSplash::dismissed, this, [this] {
        show();
        raise();
        activateWindow();
    });
    splash->show();
}

void frmKestrel::TabStrip1_Click()
{
    const int k = TabStrip1()->selectedTab();
    if (k - 1 == m_currentFrame)
        return;
    Pictab(k - 1)->show();
    Pictab(k - 1)->setEnabled(true);
    Pictab(m_currentFrame)->hide();
    m_currentFrame = qint16(k - 1);
}

void frmKestrel::wireHandlers()
{
    console::Console &c = m_console;
    const auto onClick = [this](const char *name, auto handler) {
        connect(require<QPushButton>(name), &QPushButton::clicked, this,
                handler);
    };
    onClick("Command3", [&c] { c.state.List1.clear(); });
    onClick("cmdClearAll", [&c] { c.tallies.ClearAll(); });
    onClick("cmdClearCoinTotals", [&c] { c.tallies.ClearCoinTotals(); });
    onClick("cmdClearBillTotals", [&c] { c.tallies.ClearBillTotals(); });
    onClick("clearUSBResults", [&c] { c.lstUSBResults.clear(); });
    onClick("ConnectHID", [] {});

    // Every command button parks its own frame through the send routine.
    const auto wireCommands = [&](const auto &table) {
        for (const commands::CommandRow &row : table)
            onClick(row.control, [&c, &row] { press(c.send, row); });
    };
    wireCommands(commands::kCoinChanger);
    wireCommands(commands::kBillValidator);
    wireCommands(commands::kCashless);
    onClick(commands::kEscrowToggle, [&c] { c.escrow.press(); });

    connect(TabStrip1(), &TabStrip::clicked, this, &frmKestrel::TabStrip1_Click);

    for (int port = 1; port <= link::PortMap::kPorts; ++port) {
        auto *option = require<QRadioButton>(QStringLiteral("Option%1").arg(port).toLatin1());
        connect(option, &QRadioButton::toggled, this, [this, option, port](bool checked) {
            if (checked)
                console::selectPort(m_console.comInterface, port, m_console.state.log,
                           [option] { option->setEnabled(false); });
        });
    }
    // A port whose device went away is closed: its option no longer shows it picked, so that the
    // operator can pick it again once the device is back.
    connect(&c.comInterface, &link::CommControl::deviceLost, this, [this] {
        auto *option = control<QRadioButton>(
            QStringLiteral("Option%1").arg(m_console.comInterface.CommPort()));
        if (option && option->isChecked()) {
            option->setAutoExclusive(false);
            option->setChecked(false);
            option->setAutoExclusive(true);
        }
    });

    const auto exitWith = [this](session::OnExitFailure onFailure) {
        session::runExit(onFailure, m_console.comInterface, m_console.state.log, [this] { close(); },
                [this] { m_endProgram(); });
    };
    for (const ExitButton &exit : kExits)
        onClick(exit.control, [exitWith, onFailure = exit.onFailure] { exitWith(onFailure); });
    connect(requireAction("mnuFileExit"), &QAction::triggered, this,
            [exitWith] { exitWith(session::OnExitFailure::Ignore); });
}

frmKestrel::~frmKestrel() = default;

QString frmKestrel::startCapture(const QString &path)
{
    const QString error = m_capture.start(path);
    disconnect(&m_capture, &console::SessionCapture::failed, this, nullptr);
    connect(&m_capture, &console::SessionCapture::failed, this, [this](const QString &failure) {
        core::Trap()([&] { m_console.state.log.appendQuietly(failure); });
    });
    // The operator reads what became of the capture where every other outcome is told.
    core::Trap()([&] { m_console.state.log.appendQuietly(error.isEmpty() ? QStringLiteral("Capturing to %1").arg(path) : error); });
    return error;
}

CommandWindow *frmKestrel::commandWindow()
{
    if (!m_commandWindow)
        m_commandWindow = std::make_unique<CommandWindow>(m_console);
    return m_commandWindow.get();
}

PlanWindow *frmKestrel::planWindow()
{
    if (!m_planWindow) {
        m_planWindow = std::make_unique<PlanWindow>(m_console, [this](const QString &prompt) {
            if (m_planAnswerer)
                m_planAnswerer(prompt);
        });
        m_planWindow->setRecords(m_records, m_recordsQueued);
        // A run that ends shows in the history at once, if it is open.
        connect(m_planWindow.get(), &PlanWindow::runFinished, this, [this] {
            if (m_historyWindow)
                m_historyWindow->refresh();
        });
    }
    return m_planWindow.get();
}

void frmKestrel::setBenchRecords(records::Store *store, std::function<void()> queued)
{
    m_records = store;
    m_recordsQueued = std::move(queued);
    m_sessionRecord = std::make_unique<records::SessionRecorder>(store, m_console);
    connect(m_sessionRecord.get(), &records::SessionRecorder::queued, this, [this] {
        if (m_recordsQueued)
            m_recordsQueued();
    });
    if (m_planWindow)
        m_planWindow->setRecords(m_records, m_recordsQueued);
}

HistoryWindow *frmKestrel::historyWindow()
{
    if (!m_historyWindow && m_records)
        m_historyWindow = std::make_unique<HistoryWindow>(*m_records, m_desktop);
    return m_historyWindow.get();
}

QWidget *frmKestrel::requireWidget(const char *name, const QMetaObject &kind) const
{
    // The window is wired by control name: a name the layout does not have, or a control of
    // another kind, is a fault of the program itself, found at start-up rather than as a button
    // that quietly does nothing.
    QWidget *widget = m_controls.value(QString::fromLatin1(name));
    if (!widget || !kind.cast(widget))
        qFatal("The window has no %s named %s", kind.className(), name);
    return widget;
}

QAction *frmKestrel::requireAction(const char *name) const
{
    auto *action = findChild<QAction *>(QString::fromLatin1(name));
    if (!action)
        qFatal("The window has no menu item named %s", name);
    return action;
}

QWidget *frmKestrel::Pictab(int index) const
{
    return control(QStringLiteral("Pictab%1").arg(index));
}

void frmKestrel::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("frmKestrelClient"));
    setCentralWidget(client);
    m_controls.insert(QStringLiteral("frmKestrel"), client);

    // The six panels lie over the tab strip's client area; they are placed there when the window
    // loads, and only the selected tab's panel is shown.
    QList<QWidget *> panels;
    for (const Panel &panel : kPanels) {
        auto *widget = new QWidget(client);
        widget->setObjectName(QString::fromLatin1(panel.name));
        widget->setToolTip(QString::fromLatin1(panel.tooltip));
        widget->setAutoFillBackground(true);
        widget->hide();
        m_controls.insert(widget->objectName(), widget);
        panels.append(widget);
    }
    for (const Control &row : kControls) {
        QWidget *container = m_controls.value(QString::fromLatin1(row.container));
        if (!container)
            qFatal("The layout puts %s into %s, which is no control before it", row.name,
                   row.container);
        QWidget *widget = makeControl(row, container);
        m_controls.insert(widget->objectName(), widget);
    }
    // Buttons stand above the lists and frames they overlap; the panels above the tab strip.
    for (QWidget *widget : std::as_const(m_controls))
        if (qobject_cast<QPushButton *>(widget))
            widget->raise();
    for (QWidget *panel : panels)
        panel->raise();

    auto *tabs = TabStrip1();
    for (const Panel &panel : kPanels)
        tabs->addTab(QString::fromLatin1(panel.tab));

    showCaption(m_console.state.lblTotalReceived, QStringLiteral("lblTotalReceived"));
    showCaption(m_console.state.lblSpecialInstruction, QStringLiteral("lblSpecialInstruction"));
    showCaption(m_console.cmdDTRtoggle, QStringLiteral("cmdDTRtoggle"));
}

QWidget *frmKestrel::makeControl(const Control &c, QWidget *container)
{
    const QString caption = QString::fromLatin1(c.caption);
    QWidget *widget = nullptr;
    switch (c.kind) {
    case Kind::Button:
        widget = new WrapButton(caption, container);
        break;
    case Kind::Label:
    case Kind::Link: {
        auto *label = new QLabel(caption, container);
        label->setTextFormat(Qt::PlainText);   // a caption is never markup
        label->setWordWrap(true);
        // Its size is fixed, so a new text asks for no new layout. The labels whose text changes
        // also paint their own background (showCaption); the fixed headings stay transparent, so
        // that they never hide the frame they stand in.
        label->setFixedSize(screens::look::px(c.width), screens::look::px(c.height));
        label->setAlignment((c.flags & Centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        if (c.kind == Kind::Link) {
            label->setFont(screens::look::arial(9.75, screens::look::Italic | screens::look::Underline));
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, QColor(0, 0, 192));
            label->setPalette(palette);
            label->setCursor(Qt::PointingHandCursor);
        }
        widget = label;
        break;
    }
    case Kind::List: {
        auto *view = new LineView(container);
        view->setLines(m_console.list(QString::fromLatin1(c.name)));
        m_lists.append(view);
        for (const ListName &name : kListNames)
            if (qstrcmp(name.list, c.name) == 0)
                view->setAccessibleName(QString::fromLatin1(name.accessibleName));
        widget = view;
        break;
    }
    case Kind::Frame:
        widget = new QGroupBox(caption, container);
        break;
    case Kind::Option:
        widget = new QRadioButton(caption, container);
        break;
    case Kind::TextBox:
        widget = new QLineEdit(caption, container);
        break;
    case Kind::TabStrip:
        widget = new TabStrip(container);
        break;
    }
    widget->setObjectName(QString::fromLatin1(c.name));
    if (*c.tooltip)
        widget->setToolTip(QString::fromLatin1(c.tooltip));
    widget->setGeometry(screens::look::pixels(c.left, c.top, c.width, c.height));
    widget->setEnabled(!(c.flags & Disabled));
    return widget;
}

void frmKestrel::wireLinksAndScreens()
{
    for (const PdfButton &button : kPdfButtons)
        connect(require<QPushButton>(button.control), &QPushButton::clicked, this,
                [this, &button] { m_docLinks.openPdf(button); });
    connect(requireAction("mnuVLMOnline"), &QAction::triggered, this,
            [this] { m_docLinks.openHomePage(); });
    connect(requireAction("mnuOrder"), &QAction::triggered, this,
            [this] { m_docLinks.openOrderPage(); });
    require<QLabel>("VLMOnline")->installEventFilter(this);

    // Each reference screen exists at most once; a second click brings it to the front. The
    // screens are windows of their own: they stay open when this window closes.
    for (std::size_t i = 0; i < kScreenButtons.size(); ++i) {
        QPointer<QWidget> &slot = m_screens[i];
        const screens::BoardScreen::Which which = kScreenButtons[i].screen;
        connect(require<QPushButton>(kScreenButtons[i].control), &QPushButton::clicked, this,
                [&slot, which] {
                    screens::showOnce<QWidget>(slot, [which] { return new screens::BoardScreen(which); });
                });
    }
    // A double click or Enter on a raw reply shows it decoded, in one window that later rows reuse.
    connect(require<LineView>("List1"), &LineView::rowActivated, this, [this](int row) {
        if (!m_replyDetails)
            m_replyDetails = new ReplyDetailsWindow;
        m_replyDetails->show(row, m_console.history.decode(row));
    });

    QPointer<QWidget> &about = m_screens.back();
    connect(requireAction("mnuhelpabout"), &QAction::triggered, this,
            [&about] { screens::showOnce<QWidget>(about, [] { return new screens::HelpScreen; }); });
}

QWidget *frmKestrel::referenceScreen(const QString &name) const
{
    for (const QPointer<QWidget> &slot : m_screens)
        if (slot && slot->objectName() == name)
            return slot;
    return nullptr;
}

QList<QRect> frmKestrel::controlRects() const
{
    QList<QRect> rects;
    for (const Control &c : kControls) {
        if (c.kind == Kind::Frame)
            continue;
        QWidget *widget = control(QString::fromLatin1(c.name));
        if (c.kind == Kind::TabStrip)
            widget = TabStrip1()->tabBar();
        if (widget && widget->isVisibleTo(this))
            rects.append(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
    }
    return rects;
}

bool frmKestrel::eventFilter(QObject *watched, QEvent *event)
{
    // The link label on the Other tab opens the maker's home page when clicked.
    if (watched == control(QStringLiteral("VLMOnline")) && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        m_docLinks.openHomePage();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmKestrel::showCaption(core::TextCaption &caption, const QString &controlName)
{
    if (auto *label = control<QLabel>(controlName)) {
        // It repaints itself alone when its text changes, not the panel behind it.
        label->setAutoFillBackground(true);
        label->setText(caption.text());
        // Its new text is shown with the next frame, as the lists' rows are: the money label
        // changes with every reply, and each QLabel::setText() costs a round of notices.
        m_labels.append({&caption, label});
        connect(&caption, &core::TextCaption::changed, label, [label] { label->update(); });
    } else if (auto *button = control<QPushButton>(controlName)) {
        button->setText(caption.text());
        connect(&caption, &core::TextCaption::changed, button, &QPushButton::setText);
    }
}

void frmKestrel::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *plan = file->addAction(QStringLiteral("Run Test Plan..."));
    plan->setObjectName(QStringLiteral("mnuFileRunPlan"));
    connect(plan, &QAction::triggered, this, [this] {
        PlanWindow *window = planWindow();
        window->show();
        window->raise();
        window->activateWindow();
    });
    QAction *command = file->addAction(QStringLiteral("Send MDB Command..."));
    command->setObjectName(QStringLiteral("mnuFileSendCommand"));
    connect(command, &QAction::triggered, this, [this] {
        CommandWindow *window = commandWindow();
        window->show();
        window->raise();
        window->activateWindow();
    });
    QAction *history = file->addAction(QStringLiteral("Bench History..."));
    history->setObjectName(QStringLiteral("mnuFileHistory"));
    connect(history, &QAction::triggered, this, [this] {
        HistoryWindow *window = historyWindow();
        if (!window) {
            m_console.state.log.AppendLogLine(QStringLiteral("Bench History: the bench records cannot be read this session"));
            return;
        }
        window->refresh();
        window->show();
        window->raise();
        window->activateWindow();
    });
    QAction *capture = file->addAction(QStringLiteral("Save Capture..."));
    capture->setObjectName(QStringLiteral("mnuFileSaveCapture"));
    connect(capture, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Capture"), QStringLiteral("session.pcapng"),
                                                          QStringLiteral("Wireshark capture (*.pcapng)"));
        if (!path.isEmpty())
            startCapture(path);
    });
    QAction *exit = file->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("mnuFileExit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuhelp"));
    for (const MenuItem &entry : kHelpItems) {
        QAction *item = help->addAction(QString::fromLatin1(entry.caption));
        item->setObjectName(QString::fromLatin1(entry.name));
    }
}

} // namespace kestrel::app
