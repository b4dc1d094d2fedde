#include "vendorregistry.h"

const QString *VendorRegistry::Insert(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    const QString *copy = &*m_pool.insert(name).first;
    m_registered.insert(copy);
    return copy;
}

const QString *VendorRegistry::Find(const QString &name) const
{
    const auto it = m_pool.find(name);
    if (it == m_pool.end())
        return nullptr;
    const QString *copy = &*it;
    return m_registered.count(copy) ? copy : nullptr;
}

QStringList VendorRegistry::Names() const
{
    QStringList names;
    names.reserve(int(m_registered.size()));
    for (const QString *name : m_registered)
        names.append(*name);
    return names;
}
