#pragma once

#include "commands/commandtables.h"
#include "mdb/compose.h"

#include <QList>
#include <QString>

#include <chrono>
#include <optional>
#include <variant>

namespace kestrel::plans {

// A written check of one peripheral: the buttons an operator would press, the replies to wait for,
// what to ask of the technician, and what the console must show at the end. One step per line of
// a plain text file (the grammar is in docs/plans.md).

using Milliseconds = std::chrono::milliseconds;

// The peripheral a button belongs to, as a plan names it.
enum class Device { Changer, Validator, Cashless };

// A command button: a row of the command tables, or the bill validator's escrow toggle (whose
// caption, and so its frame, changes with each press).
struct Button
{
    Device device;
    const commands::CommandRow *row;     // nullptr for the escrow toggle
    QString caption;
};

// One reply byte of a pattern: a byte, or `*` for any run of bytes (none included).
struct PatternToken
{
    bool any = false;
    quint8 byte = 0;
};
using ReplyPattern = QList<PatternToken>;
// Whether the reply text (hex bytes as the board sends them) matches the pattern byte by byte.
bool matches(const ReplyPattern &pattern, const QString &replyText);
QString patternText(const ReplyPattern &pattern);

struct Press { Button button; };
struct Expect { QList<ReplyPattern> patterns; Milliseconds within; };   // any one of them
struct Ask { QString prompt; };
struct Wait { Milliseconds time; };
struct CheckTally { QString name; int count; };
struct CheckTotal { qint64 cents; };
struct CheckStatus { QString text; };
struct CheckTube { QString coin; int change; };
struct CheckPayout {};
// A command of the bus by name and parameters (`send changer DISPENSE coin=2 count=3`), composed
// when the step runs, since money is in the peripheral's scaling that its SETUP reply gives; or a
// raw frame (`send "0F 05"`), which goes to the peripheral its first byte addresses.
struct Send
{
    const mdb::CommandSpec *command = nullptr;   // nullptr for a raw frame
    QList<mdb::Given> given;
    QByteArray raw;
};
// A field of the reply the last `expect` was met by, decoded: `check reply "model" = "CHNG-3000"`.
struct CheckReply { QString field; QString value; };

using Action = std::variant<Press, Expect, Ask, Wait, CheckTally, CheckTotal, CheckStatus, CheckTube,
                            CheckPayout, Send, CheckReply>;

struct Step
{
    int line;          // in the plan's file, from 1
    QString source;    // the line as written, without its comment
    Action action;
};

struct Plan
{
    QString name;      // the file's, or the built-in plan's
    QString title;     // from a `plan "..."` line; the name when there is none
    QList<Step> steps;
    // The first 16 hex digits of the SHA-256 of the plan's text: two runs of one name with different
    // steps are told apart in the bench records.
    QString digest;
};

// What reading a plan gives: the plan, or one error in the form "FILE:LINE: message".
struct Parsed
{
    std::optional<Plan> plan;
    QString error;
};

// Reads a plan's text; `fileName` names it in errors.
Parsed parse(const QString &text, const QString &fileName);

// A plan by the name of a built-in one ("changer", "validator", "cashless") or by the path of its
// file.
Parsed load(const QString &nameOrPath);

// The built-in plans: one per peripheral, and one that sends every command of the changer.
struct BuiltIn
{
    const char *name;
    const char *text;
};
const QList<BuiltIn> &builtIns();

// The default wait of an `expect` without `within`, and the longest any wait may be.
inline constexpr Milliseconds kDefaultWithin{2000};
inline constexpr Milliseconds kLongestWait{600000};

} // namespace kestrel::plans
