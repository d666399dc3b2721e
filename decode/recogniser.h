#pragma once

#include "decode/replystate.h"
#include "mdb/replytables.h"

#include <functional>

namespace kestrel::decode {

// Carries out the row of the reply tables that a reply code matches: counts the coin or bill,
// writes its name text, adds its value to the total and logs its message; or sets the status line
// and logs its message. Each of those is one step of the caller's trap, so a tally count that
// overflows costs only the count: the money and the message still follow.
class ReplyRecogniser
{
public:
    explicit ReplyRecogniser(ReplyState &state) : m_s(state) {}

    // `readMore` reads the text that follows a free-text notice ("CC") from the port. Returns
    // whether the code matched a row.
    bool recognise(const QString &code, core::Trap &trap, const std::function<QString()> &readMore);

private:
    void takeIn(const ReplyRow &row, core::Trap &trap);
    void notice(const QString &notice, const QString &message, core::Trap &trap);

    ReplyState &m_s;
};

} // namespace kestrel::decode
