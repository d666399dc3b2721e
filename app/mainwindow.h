#pragma once

#include "console/console.h"
#include "console/sessioncapture.h"
#include "app/doclinks.h"
#include "app/layout.h"
#include "app/commandwindow.h"
#include "app/historywindow.h"
#include "app/planwindow.h"
#include "app/replydetailswindow.h"
#include "app/tabstrip.h"
#include "records/sessionrecorder.h"

#include <QHash>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <QPointer>

#include <array>
#include <functional>

class QLabel;

namespace kestrel::app {

class LineView;

// The main window, frmKestrel: a left column with the raw replies, the action log, the debugging
// lists, the money total and the status line; on the right a row of six tabs, each showing one
// panel of buttons and lists. Every control carries its name as objectName. The window only shows
// the Console's state and hands the operator's clicks to it.
class frmKestrel : public QMainWindow
{
    Q_OBJECT
public:
    // The console is built with the settings given: the log file is log.txt beside the program
    // unless another path is given (tests).
    explicit frmKestrel(link::PortMap &ports, console::Console::Settings settings = {}, QWidget *parent = nullptr);
    frmKestrel(link::PortMap &ports, const QString &logPath, QWidget *parent = nullptr);
    ~frmKestrel() override;

    console::Console &console() { return m_console; }

    template <class T = QWidget>
    T *control(const QString &name) const { return qobject_cast<T *>(m_controls.value(name)); }
    QWidget *Pictab(int index) const;
    TabStrip *TabStrip1() const { return control<TabStrip>(QStringLiteral("TabStrip1")); }

    // The index of the panel now shown.
    qint16 CurrentFrame() const { return m_currentFrame; }

    // What ends the program when an Exit command's failure calls for it; tests replace it.
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    DocLinks &docLinks() { return m_docLinks; }

    // The reference screens opened from this window, while they are open.
    QWidget *referenceScreen(const QString &name) const;

    // The "Reply details" window, while it is open.
    ReplyDetailsWindow *replyDetails() const { return m_replyDetails; }

    // File > "Save Capture..." (or --capture): the session from now on into a pcapng file. An
    // error text, or empty.
    QString startCapture(const QString &path);
    console::SessionCapture &capture() { return m_capture; }

    // File > "Run Test Plan...": the plan window, made on first use and kept.
    PlanWindow *planWindow();
    // File > "Send MDB Command...": made when first asked for.
    CommandWindow *commandWindow();
    // Who answers a plan's requests for a coin or a bill (the virtual board, given
    // --plan-answers virtual); none by default, so the technician acts.
    void setPlanAnswerer(std::function<void(const QString &)> answer) { m_planAnswerer = std::move(answer); }

    // The bench records this console keeps: its sessions, the plan window's runs, File > "Bench
    // History...". `store` may be nullptr (the records cannot be kept; the history says so);
    // `queued` is told when records wait for the shop's server.
    void setBenchRecords(records::Store *store, std::function<void()> queued);
    // File > "Bench History...": made when first asked for; nullptr when there are no records.
    HistoryWindow *historyWindow();

    // Where the operator's controls now shown stand on the screen (buttons, lists, labels, options
    // and the tabs; not the frames and panels that hold them).
    QList<QRect> controlRects() const;

    // The window repaints at most once a frame: what its lists and labels hold is always current,
    // what the screen shows trails by at most one frame. While the board's events stream in (one
    // came within the last kStreamingMs) a frame is longer, so that painting does not cost more
    // than the replies themselves.
    static constexpr int kFrameMs = 40;
    static constexpr int kStreamingFrameMs = 250;
    static constexpr int kStreamingMs = 250;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void TabStrip1_Click();
    void showSplashAgain();
    void wireHandlers();
    void buildControls();
    void buildMenus();
    QWidget *makeControl(const layout::Control &row, QWidget *container);
    // The control of that name and kind; the program stops at once when there is none.
    template <class T>
    T *require(const char *name) const
    {
        return static_cast<T *>(requireWidget(name, T::staticMetaObject));
    }
    QWidget *requireWidget(const char *name, const QMetaObject &kind) const;
    QAction *requireAction(const char *name) const;
    void showCaption(core::TextCaption &caption, const QString &controlName);
    void showLabelTexts();
    void wireLinksAndScreens();
    bool eventFilter(QObject *watched, QEvent *event) override;

    console::Console m_console;
    QHash<QString, QWidget *> m_controls;
    QList<LineView *> m_lists;
    struct ShownCaption
    {
        core::TextCaption *caption;
        QLabel *label;
    };
    QList<ShownCaption> m_labels;
    qint16 m_currentFrame = 0;
    std::function<void()> m_endProgram;
    DesktopOpener m_desktop;
    DocLinks m_docLinks;
    // The board screens in the order of the Other tab's buttons, then About.
    std::array<QPointer<QWidget>, 5> m_screens;
    QPointer<ReplyDetailsWindow> m_replyDetails;
    std::unique_ptr<PlanWindow> m_planWindow;
    std::unique_ptr<CommandWindow> m_commandWindow;
    records::Store *m_records = nullptr;
    std::function<void()> m_recordsQueued;
    std::unique_ptr<records::SessionRecorder> m_sessionRecord;
    std::unique_ptr<HistoryWindow> m_historyWindow;
    console::SessionCapture m_capture{m_console};
    std::function<void(const QString &)> m_planAnswerer;
    QElapsedTimer m_lastFrame;
    QElapsedTimer m_lastComm;
    QTimer m_nextFrame;
};

} // namespace kestrel::app
