#include "app/commandwindow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QButtonGroup>
#include <QVBoxLayout>

namespace kestrel::app {

namespace {
const mdb::Peripheral kPeripherals[] = {mdb::Peripheral::Changer, mdb::Peripheral::Validator, mdb::Peripheral::Reader};
} // namespace

CommandWindow::CommandWindow(console::Console &console, QWidget *parent)
    : QWidget(parent, Qt::Window), m_console(console), m_sender(console)
{
    setObjectName(QStringLiteral("frmSendCommand"));
    setWindowTitle(QStringLiteral("Send MDB Command"));
    // The peripheral as three choices, the command by name: picked from the list, or typed.
    m_peripheral = new QButtonGroup(this);
    auto *pick = new QHBoxLayout;
    for (int i = 0; i < int(std::size(kPeripherals)); ++i) {
        const mdb::Peripheral p = kPeripherals[i];
        QString name = mdb::nameOf(p);
        name[0] = name[0].toUpper();
        auto *button = new QRadioButton(QStringLiteral("%1 (%2)").arg(name, mdb::hex(mdb::addressOf(p))), this);
        button->setObjectName(QStringLiteral("optPeripheral%1").arg(i));
        button->setChecked(i == 0);
        m_peripheral->addButton(button, i);
        pick->addWidget(button);
    }
    pick->addStretch(1);
    m_command = new QComboBox(this);
    m_command->setObjectName(QStringLiteral("cboCommand"));
    m_command->setAccessibleName(QStringLiteral("Command"));
    m_command->setEditable(true);
    m_command->setInsertPolicy(QComboBox::NoInsert);
    m_about = new QLabel(this);
    m_about->setObjectName(QStringLiteral("lblCommandAbout"));
    m_about->setWordWrap(true);
    m_paramBox = new QWidget(this);
    m_params = new QFormLayout(m_paramBox);
    m_params->setContentsMargins(0, 0, 0, 0);
    m_frame = new QLabel(this);
    m_frame->setObjectName(QStringLiteral("lblFrame"));
    m_frame->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_send = new QPushButton(QStringLiteral("Send"), this);
    m_send->setObjectName(QStringLiteral("cmdSendCommand"));
    m_raw = new QLineEdit(this);
    m_raw->setObjectName(QStringLiteral("txtRawFrame"));
    m_raw->setPlaceholderText(QStringLiteral("hex bytes, 1 to 36: 0F 05"));
    m_sendRaw = new QPushButton(QStringLiteral("Send Raw"), this);
    m_sendRaw->setObjectName(QStringLiteral("cmdSendRaw"));
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblSendMessage"));
    m_message->setWordWrap(true);
    m_reply = new QPlainTextEdit(this);
    m_reply->setObjectName(QStringLiteral("txtReplyDecoded"));
    m_reply->setReadOnly(true);
    m_reply->setPlaceholderText(QStringLiteral("The reply to the command sent, decoded"));
    m_reply->setAccessibleName(QStringLiteral("Reply decoded"));
    m_frame->setAccessibleName(QStringLiteral("Frame"));
    m_raw->setAccessibleName(QStringLiteral("Raw frame"));

    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(new QLabel(QStringLiteral("Command:"), this));
    commandRow->addWidget(m_command, 1);
    auto *sendRow = new QHBoxLayout;
    sendRow->addWidget(m_frame, 1);
    sendRow->addWidget(m_send);
    auto *raw = new QGroupBox(QStringLiteral("Raw frame (the board adds the checksum and the mode bit)"), this);
    auto *rawRow = new QHBoxLayout(raw);
    rawRow->addWidget(m_raw, 1);
    rawRow->addWidget(m_sendRaw);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(pick);
    layout->addLayout(commandRow);
    layout->addWidget(m_about);
    layout->addWidget(m_paramBox);
    layout->addLayout(sendRow);
    layout->addWidget(raw);
    layout->addWidget(m_message);
    layout->addWidget(m_reply, 1);
    resize(560, 480);

    connect(m_peripheral, &QButtonGroup::idClicked, this, &CommandWindow::showCommands);
    // Picked or typed: the fields change once the text names a command ("DISPENSE").
    connect(m_command, &QComboBox::currentTextChanged, this, [this] {
        if (current() != m_shown)
            showParams();
    });
    connect(m_send, &QPushButton::clicked, this, &CommandWindow::send);
    connect(m_sendRaw, &QPushButton::clicked, this, &CommandWindow::sendRaw);
    connect(m_raw, &QLineEdit::returnPressed, this, &CommandWindow::sendRaw);
    connect(&m_sender, &console::CommandSender::replyDecoded, this,
            [this](const QStringList &lines) { m_reply->setPlainText(lines.join(QLatin1Char('\n'))); });
    // A SETUP read changes how money and coin types are written.
    connect(&m_console.history, &console::ReplyHistory::knownChanged, this, &CommandWindow::showParams);
    showCommands();
}

void CommandWindow::choose(mdb::Peripheral peripheral, const QString &command)
{
    for (int i = 0; i < int(std::size(kPeripherals)); ++i)
        if (kPeripherals[i] == peripheral && !m_peripheral->button(i)->isChecked()) {
            m_peripheral->button(i)->setChecked(true);
            showCommands();
        }
    const int at = m_command->findText(command, Qt::MatchFixedString);
    if (at >= 0)
        m_command->setCurrentIndex(at);
}

QLineEdit *CommandWindow::field(const QString &param) const
{
    for (const auto &f : m_fields)
        if (f.first == param)
            return f.second;
    return nullptr;
}

QString CommandWindow::message() const { return m_message->text(); }
QString CommandWindow::frameText() const { return m_frame->text(); }
QString CommandWindow::replyText() const { return m_reply->toPlainText(); }

mdb::Peripheral CommandWindow::peripheral() const
{
    return kPeripherals[std::max(0, m_peripheral->checkedId())];
}

const mdb::CommandSpec *CommandWindow::current() const
{
    return mdb::commandNamed(peripheral(), m_command->currentText());
}

void CommandWindow::showCommands()
{
    const QSignalBlocker quiet(m_command);
    m_command->clear();
    for (const mdb::CommandSpec &c : mdb::kCommandSet)
        if (c.peripheral == peripheral() && c.vmcCommand)
            m_command->addItem(QString::fromLatin1(c.name));
    showParams();
}

void CommandWindow::showParams()
{
    // The values typed so far are kept when the fields are made again for the same command.
    const QList<mdb::Given> kept = current() == m_shown ? given() : QList<mdb::Given>();
    while (m_params->rowCount() > 0)
        m_params->removeRow(0);
    m_fields.clear();
    const mdb::CommandSpec *spec = current();
    m_shown = spec;
    if (!spec) {
        m_about->setText(QStringLiteral("No command of the %1 is named %2.").arg(mdb::nameOf(peripheral()), m_command->currentText()));
        m_frame->clear();
        return;
    }
    m_about->setText(QStringLiteral("%1 %2: frame %3..., feature level %4 and up%5.")
                         .arg(mdb::nameOf(spec->peripheral), QLatin1String(spec->name), mdb::hex(mdb::headOf(*spec)))
                         .arg(spec->level)
                         .arg(spec->movesMoney ? QStringLiteral("; it moves money") : QString()));
    for (const mdb::Param &p : spec->params) {
        auto *edit = new QLineEdit(m_paramBox);
        const QString name = QLatin1String(p.name);
        edit->setObjectName(QStringLiteral("txtParam_") + name);
        edit->setAccessibleName(name);
        edit->setPlaceholderText(p.fallback ? QString::fromLatin1(p.fallback) : QStringLiteral("(needed)"));
        edit->setToolTip(QLatin1String(p.meaning));
        for (const mdb::Given &g : kept)
            if (g.name == name)
                edit->setText(g.value);
        auto *label = new QLabel(QStringLiteral("%1 (%2)").arg(name, console::CommandSender::hint(p, spec->peripheral, m_console.history.known())),
                                 m_paramBox);
        label->setWordWrap(true);
        m_params->addRow(label, edit);
        m_fields.append({name, edit});
        connect(edit, &QLineEdit::textChanged, this, &CommandWindow::preview);
    }
    preview();
}

QList<mdb::Given> CommandWindow::given() const
{
    QList<mdb::Given> given;
    for (const auto &f : m_fields)
        if (!f.second->text().trimmed().isEmpty())
            given.append({f.first, f.second->text().trimmed()});
    return given;
}

void CommandWindow::preview()
{
    const mdb::CommandSpec *spec = current();
    if (!spec)
        return;
    const mdb::Composed composed = m_sender.preview(*spec, given());
    m_frame->setText(composed.frame.isEmpty() ? QStringLiteral("Frame: (%1)").arg(composed.error)
                                              : QStringLiteral("Frame: %1").arg(mdb::hex(composed.frame)));
}

void CommandWindow::send()
{
    if (const mdb::CommandSpec *spec = current()) {
        const console::CommandSender::Outcome outcome = m_sender.send(*spec, given());
        m_message->setText(outcome.message);
        m_send->setText(outcome.needsConfirming ? QStringLiteral("Send Anyway") : QStringLiteral("Send"));
        if (outcome.sent)
            m_reply->clear();
    }
}

void CommandWindow::sendRaw()
{
    const console::CommandSender::Outcome outcome = m_sender.sendRaw(m_raw->text());
    m_message->setText(outcome.message);
    if (outcome.sent)
        m_reply->clear();
}

} // namespace kestrel::app
