#pragma once

#include <QMap>

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
        mdb::Peripheral peripheral = mdb::Peripheral::Unknown;
        QList<QPair<QString, QString>> fields;
        QMap<mdb::FieldId, QString> byKind;   // the same values by their kinds, for the bench records
    };

    void replyRead(const decode::details::Decoded &decoded);
    const QList<Identity> &identities() const { return m_identities; }

private:
    QList<Identity> m_identities;
};

} // namespace kestrel::plans
