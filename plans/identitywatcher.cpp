#include "plans/identitywatcher.h"

#include <algorithm>

namespace kestrel::plans {

namespace {
const mdb::FieldId kIdentity[] = {mdb::FieldId::ManufacturerCode, mdb::FieldId::SerialNumber, mdb::FieldId::Model,
                                  mdb::FieldId::SoftwareVersion, mdb::FieldId::FeatureLevel};
} // namespace

void IdentityWatcher::replyRead(const decode::details::Decoded &decoded)
{
    for (const decode::details::Field &field : decoded.fields) {
        if (std::find(std::begin(kIdentity), std::end(kIdentity), field.id) == std::end(kIdentity))
            continue;
        auto identity = std::find_if(m_identities.begin(), m_identities.end(),
                                     [&](const Identity &i) { return i.device == decoded.deviceName; });
        if (identity == m_identities.end())
            identity = m_identities.insert(m_identities.end(), Identity{decoded.deviceName, decoded.device, {}, {}});
        // Text fields come quoted from the decoder ("VLM"); the report shows the text itself.
        QString value = field.value.trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2).trimmed();
        auto existing = std::find_if(identity->fields.begin(), identity->fields.end(),
                                     [&](const auto &f) { return f.first == field.name; });
        identity->byKind[field.id] = value;
        if (existing != identity->fields.end())
            existing->second = value;
        else
            identity->fields.append({field.name, value});
    }
}

} // namespace kestrel::plans
