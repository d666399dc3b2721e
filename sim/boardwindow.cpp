#include "sim/boardwindow.h"

#include "mdb/denominations.h"
#include "mdb/replytables.h"
#include "link/commevents.h"
#include "sim/mdbnames.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kestrel::sim {

namespace {

QPushButton *button(const QString &caption, QWidget *parent, const char *name = nullptr)
{
    auto *b = new QPushButton(caption, parent);
    if (name)
        b->setObjectName(QString::fromLatin1(name));
    return b;
}

void statusButtons(QGridLayout *grid, int column, const core::Table<ReplyRow> &rows, VirtualBoard &board)
{
    int at = 0;
    for (const ReplyRow &row : rows) {
        const QString reply = QString::fromLatin1(row.reply);
        auto *b = button(QStringLiteral("%1  %2").arg(reply, QLatin1String(row.notice)),
                         grid->parentWidget());
        b->setObjectName(QStringLiteral("status ") + reply);
        QObject::connect(b, &QPushButton::clicked, &board, [&board, reply] { board.sendReply(reply); });
        grid->addWidget(b, at++, column);
    }
}

} // namespace

BoardWindow::BoardWindow(VirtualBoard &board, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_board(board)
    , m_frames(new QListWidget(this))
    , m_state(new QLabel(this))
    , m_reply(new QLineEdit(this))
    , m_notice(new QLineEdit(this))
    , m_refused(new QLabel(this))
{
    setObjectName(QStringLiteral("VirtualBoard"));
    setWindowTitle(QStringLiteral("Virtual board"));
    // The board goes with the console: it does not keep the program running on its own.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_frames->setObjectName(QStringLiteral("frames"));
    m_frames->setUniformItemSizes(true);
    m_state->setObjectName(QStringLiteral("state"));
    m_state->setTextFormat(Qt::PlainText);

    // The operator's actions on three pages; below them what the board received, and its state.
    auto *pages = new QTabWidget(this);
    pages->addTab(coinsAndBills(), QStringLiteral("Coins and bills"));
    pages->addTab(faults(), QStringLiteral("Faults"));
    pages->addTab(manual(), QStringLiteral("By hand"));

    auto *framesBox = new QGroupBox(QStringLiteral("Frames received"), this);
    auto *framesLayout = new QHBoxLayout(framesBox);
    framesLayout->addWidget(m_frames, 1);
    framesLayout->addWidget(m_state);
    m_frames->setMinimumHeight(140);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addWidget(framesBox, 1);

    connect(&board, &VirtualBoard::frameReceived, this,
            [this](const QByteArray &frame, const QTime &arrived) {
                m_frames->addItem(arrived.toString(QStringLiteral("HH:mm:ss.zzz  "))
                                  + describeFrame(frame));
                m_frames->scrollToBottom();
            });
    connect(&board, &VirtualBoard::stateChanged, this, &BoardWindow::showState);
    showState();
}

QWidget *BoardWindow::coinsAndBills()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    int i = 0;
    for (const denominations::Coin &kind : denominations::kCoins) {
        auto *coin = button(QString::fromLatin1(kind.name), box);
        coin->setObjectName(QStringLiteral("coin%1").arg(i));
        connect(coin, &QPushButton::clicked, this,
                [this, i] { m_board.insertCoin(CoinChanger::Coin(i)); });
        grid->addWidget(coin, i++, 0);
    }
    i = 0;
    for (const denominations::Bill &kind : denominations::kBills) {
        auto *bill = button(QStringLiteral("%1 bill").arg(QLatin1String(kind.name)), box);
        bill->setObjectName(QStringLiteral("bill%1").arg(i));
        connect(bill, &QPushButton::clicked, this,
                [this, i] { m_board.insertBill(BillValidator::Bill(i)); });
        grid->addWidget(bill, i++, 1);
    }
    return box;
}

QWidget *BoardWindow::faults()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    statusButtons(grid, 0, replies::kChangerStatus, m_board);
    statusButtons(grid, 1, replies::kValidatorStatus, m_board);
    static constexpr struct { int code; const char *caption; } kLineErrors[] = {
        {link::commevent::Break, "Break"},
        {link::commevent::CtsTimeout, "CTS timeout"},
        {link::commevent::DsrTimeout, "DSR timeout"},
        {link::commevent::Framing, "Framing error"},
        {link::commevent::Overrun, "Overrun"},
        {link::commevent::RxOverflow, "Receive buffer overflow"},
        {link::commevent::Parity, "Parity error"},
    };
    int row = 0;
    for (const auto &error : kLineErrors) {
        auto *b = button(QString::fromLatin1(error.caption), box);
        b->setObjectName(QStringLiteral("line %1").arg(error.code));
        const int code = error.code;
        connect(b, &QPushButton::clicked, this, [this, code] { m_board.raiseLineEvent(code); });
        grid->addWidget(b, row++, 2);
    }
    // Faults that last until switched off: what a test plan is there to catch.
    for (const Fault &fault : kFaults) {
        auto *b = button(QString::fromLatin1(fault.caption), box);
        b->setObjectName(QString::fromLatin1(fault.control));
        b->setCheckable(true);
        b->setChecked(fault.isOn(m_board));   // a fault the port's name switched on
        connect(b, &QPushButton::toggled, this, [this, set = fault.set](bool on) { set(m_board, on); });
        grid->addWidget(b, row++, 2);
    }
    return box;
}

QWidget *BoardWindow::manual()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    m_reply->setObjectName(QStringLiteral("reply"));
    m_reply->setPlaceholderText(QStringLiteral("reply text, e.g. 08 50 06"));
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->setPlaceholderText(QStringLiteral("notice for the status line"));
    auto *sendReply = button(QStringLiteral("Send reply"), box, "sendReply");
    auto *sendNotice = button(QStringLiteral("Send notice (CC)"), box, "sendNotice");
    m_refused->setObjectName(QStringLiteral("refused"));
    m_refused->setTextFormat(Qt::PlainText);
    m_refused->setWordWrap(true);
    connect(sendReply, &QPushButton::clicked, this, [this] {
        if (lineCanCarry(m_reply->text()))
            m_board.sendReply(m_reply->text());
    });
    connect(m_reply, &QLineEdit::returnPressed, sendReply, &QPushButton::click);
    connect(sendNotice, &QPushButton::clicked, this, [this] {
        if (lineCanCarry(m_notice->text()))
            m_board.sendNotice(m_notice->text());
    });
    connect(m_notice, &QLineEdit::returnPressed, sendNotice, &QPushButton::click);
    // A recording from the field (a capture, a log.txt) played into the line at its own pace,
    // mixed with what is done here meanwhile.
    auto *replay = button(QStringLiteral("Replay a recording..."), box, "replayRecording");
    connect(replay, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Replay a recording"), QString(),
                                                          QStringLiteral("Recordings (*.pcapng *.pcap log.txt *.txt);;All files (*)"));
        if (!path.isEmpty())
            replayFile(path);
    });
    grid->addWidget(replay, 3, 0, 1, 2);
    grid->addWidget(m_reply, 0, 0);
    grid->addWidget(sendReply, 0, 1);
    grid->addWidget(m_notice, 1, 0);
    grid->addWidget(sendNotice, 1, 1);
    grid->addWidget(m_refused, 2, 0, 1, 2);
    connect(&m_board, &VirtualBoard::playFailed, m_refused,
            [this](const QString &error) { m_refused->setText(QStringLiteral("Stopped: %1").arg(error)); });
    grid->setRowStretch(4, 1);
    return box;
}

bool BoardWindow::replayFile(const QString &path)
{
    auto reader = std::make_unique<capture::RecordingReader>();
    if (!reader->open(path)) {
        m_refused->setText(QStringLiteral("Not played: %1").arg(reader->error()));
        return false;
    }
    if (!m_board.isOpen()) {
        m_refused->setText(QStringLiteral("Not played: the console has not opened this board's port."));
        return false;
    }
    m_refused->setText(QStringLiteral("Playing %1").arg(path));
    m_board.play(std::move(reader));
    return true;
}

bool BoardWindow::lineCanCarry(const QString &text)
{
    // The line carries one byte a character: a character beyond Latin-1 has no byte, and the
    // text is not sent rather than sent changed.
    for (QChar c : text) {
        if (c.unicode() > 0xFF) {
            m_refused->setText(QStringLiteral("Not sent: \u201c%1\u201d is no character the line can "
                                              "carry (one byte each, Latin-1).")
                                   .arg(c.isSurrogate() ? QStringLiteral("\ufffd") : QString(c)));
            return false;
        }
    }
    m_refused->clear();
    return true;
}

void BoardWindow::showState()
{
    const CoinChanger &changer = m_board.changer();
    const BillValidator &validator = m_board.validator();
    static const char *const states[] = {"low", "normal", "full"};
    QStringList lines;
    lines << (m_board.isOpen() ? QStringLiteral("Port open") : QStringLiteral("Port closed"));
    for (int t = 0; t < CoinChanger::kTubes; ++t)
        lines << QStringLiteral("Tube %1: %2 coins (%3)")
                     .arg(QLatin1String(denominations::kCoins[std::size_t(t)].name))
                     .arg(changer.tubeCount(t))
                     .arg(QLatin1String(states[int(changer.tubeState(t))]));
    const auto mask = [](quint16 bits) {
        return QStringLiteral("%1").arg(bits, 4, 16, QLatin1Char('0')).toUpper();
    };
    lines << QStringLiteral("Coins accepted: %1").arg(mask(changer.acceptMask()));
    lines << QStringLiteral("Bills enabled: %1, escrow: %2")
                 .arg(mask(validator.enableMask()), mask(validator.escrowMask()));
    lines << (validator.inEscrow() >= 0
                  ? QStringLiteral("In escrow: %1 bill")
                        .arg(QLatin1String(denominations::kBills[std::size_t(validator.inEscrow())].name))
                  : QStringLiteral("Escrow empty"));
    lines << QStringLiteral("Bills stacked: %1").arg(validator.stacked());
    lines << QStringLiteral("Reader %1").arg(m_board.reader().enabled() ? "enabled" : "disabled");
    m_state->setText(lines.join(QLatin1Char('\n')));
}

} // namespace kestrel::sim
