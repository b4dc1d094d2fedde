#pragma once

#include <unordered_map>
#include <unordered_set>

#include <QHash>
#include <QString>
#include <QStringList>

// One copy of every vendor name of the loaded goods. Goods and filters point
// at these copies, so the test whether a good has a vendor is a pointer
// comparison. A name keeps its copy for the life of the registry even after
// Clear(): a filter made before a clear still points at valid strings, and
// they match the goods loaded afterwards.
class VendorRegistry
{
public:
    VendorRegistry() = default;
    VendorRegistry(const VendorRegistry &) = delete;
    VendorRegistry &operator=(const VendorRegistry &) = delete;

    // The registry's copy of a non-empty name, registering it when new.
    const QString *Insert(const QString &name);
    // The registry's copy, or null when the name is not registered.
    const QString *Find(const QString &name) const;
    bool Contains(const QString &name) const { return Find(name) != nullptr; }
    int Count() const { return int(m_registered.size()); }
    bool IsEmpty() const { return m_registered.empty(); }
    QStringList Names() const;
    // Empties the registry; copies already handed out stay valid.
    void Clear() { m_registered.clear(); }

private:
    struct Hash
    {
        size_t operator()(const QString &s) const { return qHash(s); }
    };
    std::unordered_set<QString, Hash> m_pool;
    std::unordered_set<const QString *> m_registered;
};
