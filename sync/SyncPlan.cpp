#include "SyncPlan.h"

#include <QHash>
#include <QSet>
#include <functional>
#include <unordered_map>

namespace {

struct RecordHash {
    std::size_t operator()(const PhoneRecord& r) const noexcept {
        const std::hash<std::string> h;
        return h(r.m_strRomaji) ^ (h(r.m_strKanji) << 1) ^ (h(r.m_strPhone) << 2) ^ (h(r.m_strMemo) << 3);
    }
};

// The book's entries that no link claims, findable by one field for the pairing of changes.
class Unclaimed {
public:
    explicit Unclaimed(std::span<const PhoneRecord> book) : m_book(book), m_claimed(book.size(), false) {
        for (std::size_t i = 0; i < book.size(); ++i)
            m_exact.emplace(book[i], i);
    }
    /// Claims an entry equal to `record`; false when there is none left.
    bool ClaimEqual(const PhoneRecord& record) {
        auto [first, last] = m_exact.equal_range(record);
        for (auto it = first; it != last; ++it)
            if (!m_claimed[it->second]) {
                m_claimed[it->second] = true;
                return true;
            }
        return false;
    }
    /// After the exact claims: claims the entry that looks like a change of `record`.
    std::optional<PhoneRecord> ClaimChangeOf(const PhoneRecord& record) {
        if (!m_bIndexed)
            Index();
        for (int field = 0; field < 3; ++field) {
            const std::string& key = Field(record, field);
            if (key.empty())
                continue;
            std::vector<std::size_t>& candidates = m_byField[field][key];
            while (!candidates.empty()) {
                const std::size_t i = candidates.back();
                candidates.pop_back();
                if (!m_claimed[i]) {
                    m_claimed[i] = true;
                    return m_book[i];
                }
            }
        }
        return std::nullopt;
    }
    /// The entries no one claimed, in book order.
    std::vector<PhoneRecord> Rest() const {
        std::vector<PhoneRecord> rest;
        for (std::size_t i = 0; i < m_book.size(); ++i)
            if (!m_claimed[i])
                rest.push_back(m_book[i]);
        return rest;
    }

private:
    static const std::string& Field(const PhoneRecord& r, int field) {
        return field == 0 ? r.m_strRomaji : field == 1 ? r.m_strPhone : r.m_strKanji;
    }
    void Index() {
        // Last in book order first: candidates are taken from the back.
        for (std::size_t i = m_book.size(); i-- > 0;)
            if (!m_claimed[i])
                for (int field = 0; field < 3; ++field)
                    m_byField[field][Field(m_book[i], field)].push_back(i);
        m_bIndexed = true;
    }

    std::span<const PhoneRecord> m_book;
    std::vector<bool> m_claimed;
    std::unordered_multimap<PhoneRecord, std::size_t, RecordHash> m_exact;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byField[3];
    bool m_bIndexed = false;
};

} // namespace

SyncPlan PlanSync(std::span<const PhoneRecord> book, std::span<const SyncLink> links,
                  std::span<const ServerChange> changes, const std::function<QString()>& newHref) {
    SyncPlan plan;
    QHash<QString, const ServerChange*> changed;
    for (const ServerChange& change : changes)
        changed.insert(change.href, &change);

    // Each link's entry: still in the book, changed there, or gone from it.
    Unclaimed unclaimed(book);
    std::vector<bool> unchanged(links.size());
    for (std::size_t i = 0; i < links.size(); ++i)
        unchanged[i] = unclaimed.ClaimEqual(links[i].record);
    std::vector<std::optional<PhoneRecord>> local(links.size());
    for (std::size_t i = 0; i < links.size(); ++i)
        if (unchanged[i])
            local[i] = links[i].record;
    // The server's version already in the book (filed by a sync that stopped before it
    // could say so, or made the same on both sides) is the link's entry; so is an entry
    // equal to a card new on the server. Nothing is filed or sent twice.
    for (std::size_t i = 0; i < links.size(); ++i) {
        const ServerChange* server = changed.value(links[i].href);
        if (!unchanged[i] && server && server->record && unclaimed.ClaimEqual(*server->record))
            local[i] = *server->record;
    }
    QSet<QString> known;
    for (const SyncLink& link : links)
        known.insert(link.href);
    std::vector<bool> alreadyFiled(changes.size());
    for (std::size_t i = 0; i < changes.size(); ++i)
        alreadyFiled[i] = !known.contains(changes[i].href) && changes[i].record && unclaimed.ClaimEqual(*changes[i].record);
    for (std::size_t i = 0; i < links.size(); ++i)
        if (!local[i])
            local[i] = unclaimed.ClaimChangeOf(links[i].record);

    const auto newCard = [&](const PhoneRecord& record) {
        plan.uploads.push_back({SyncLink{newHref(), {}, {}, record}, record});
    };
    for (std::size_t i = 0; i < links.size(); ++i) {
        const SyncLink& link = links[i];
        const ServerChange* server = changed.take(link.href);
        // A card sent but never confirmed that the server does not have did not arrive:
        // it is sent again, not taken for one removed there.
        if (server && !server->record && link.etag.isEmpty())
            server = nullptr;
        const bool bLocalChanged = !unchanged[i];
        if (server && !server->record) { // removed on the server
            if (local[i] && bLocalChanged)
                newCard(*local[i]); // the book's change lives on as a card of its own
            else if (local[i])
                plan.removeLocal.push_back(*local[i]);
            continue;
        }
        // The card as the server has it now; a change of what the book does not show
        // (a photo) is no change of the entry.
        const SyncLink current = server ? SyncLink{link.href, server->etag, server->card, *server->record} : link;
        if (!server || *server->record == link.record) {
            if (!local[i]) {
                if (!current.etag.isEmpty()) // a card never confirmed is not known to be there
                    plan.deletes.push_back(current);
            } else if (bLocalChanged || current.etag.isEmpty()) {
                plan.uploads.push_back({current, *local[i]});
            } else {
                plan.links.push_back(current);
            }
            continue;
        }
        plan.links.push_back(current);
        if (!bLocalChanged) { // only the server changed: the book follows
            plan.removeLocal.push_back(link.record);
            plan.addLocal.push_back(current.record);
            continue;
        }
        // Both changed it (or the book dropped what the server changed): the server's
        // version is kept and filed; the book's own change stays beside it.
        if (local[i] && *local[i] == current.record)
            continue; // the same change on both sides
        plan.addLocal.push_back(current.record);
        if (local[i]) {
            plan.conflicts.emplace_back(current.record, *local[i]);
            newCard(*local[i]);
        }
    }
    // Cards new on the server, then entries new in the book.
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const ServerChange& change = changes[i];
        if (changed.contains(change.href) && change.record) {
            if (!alreadyFiled[i])
                plan.addLocal.push_back(*change.record);
            plan.links.push_back({change.href, change.etag, change.card, *change.record});
        }
    }
    for (const PhoneRecord& record : unclaimed.Rest())
        newCard(record);
    return plan;
}
