#pragma once

#include "decode/replydetails.h"

#include <QList>
#include <QPair>
#include <QString>

namespace kestrel::plans {

// What the devices' identification and set-up replies said over a test plan, per device: the
// manufacturer, serial number, model, software version and feature level, for the reports. The
// fields are picked by their kinds (mdb::FieldId) and shown by their names.
class IdentityWatcher
{
public:
    struct Identity
    {
        QString device;
        QList<QPair<QString, QString>> fields;
    };

    void replyRead(const decode::details::Decoded &decoded);
    const QList<Identity> &identities() const { return m_identities; }

private:
    QList<Identity> m_identities;
};

} // namespace kestrel::plans
