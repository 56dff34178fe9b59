#pragma once
// An ordered collection of entries under text keys, as the program-wide collections
// and the contact details use: entries keep the order they were added in, a key
// finds its entry. Adding a key that is already there throws ProgramError 457.

#include <QHash>
#include <QString>
#include <utility>
#include <vector>

namespace pellwick {

void ThrowDuplicateKey(const QString& key); // ProgramError 457 "This key is already associated..."
void ThrowMissingKey(const QString& key);   // ProgramError 5 "Invalid procedure call or argument"

template <class T> class KeyedCollection {
public:
    void Add(const QString& key, T item) {
        if (m_index.contains(key))
            ThrowDuplicateKey(key);
        m_index.insert(key, m_items.size());
        m_items.emplace_back(key, std::move(item));
    }
    bool Contains(const QString& key) const { return m_index.contains(key); }
    // The entry under key; throws ProgramError 5 when there is none.
    const T& Item(const QString& key) const {
        auto it = m_index.constFind(key);
        if (it == m_index.cend())
            ThrowMissingKey(key);
        return m_items[*it].second;
    }
    // The entry under key, or fallback when there is none.
    T Value(const QString& key, const T& fallback = T()) const {
        auto it = m_index.constFind(key);
        return it == m_index.cend() ? fallback : m_items[*it].second;
    }
    std::size_t Count() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }

private:
    std::vector<std::pair<QString, T>> m_items;
    QHash<QString, std::size_t> m_index;
};

} // namespace pellwick
