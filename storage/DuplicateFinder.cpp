#include "storage/DuplicateFinder.h"

#include "interchange/TextCodec.h"
#include "model/ContactColumns.h"
#include "storage/CustomerRows.h"
#include "storage/SQLiteStatement.h"
#include "storage/SQLiteTable3.h"
#include "storage/WriteTransaction.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>

namespace {

// The ten digits of a phone or fax, or "" for a number of any other length.
std::string TenDigits(const std::string& value) {
    std::string digits;
    for (char c : value)
        if (c >= '0' && c <= '9')
            digits += c;
    return digits.size() == kPhoneDigits ? digits : std::string();
}

// Hands each key of the contact to `use`, in the order reasons prefer them, with the words a
// reason says it in (built only when asked for).
using KeyUse = std::function<void(const std::string& key, const std::function<std::string()>& why)>;

void ForEachKey(const ContactValues& v, const KeyUse& use) {
    using namespace col;
    auto mail = [&](const std::string& value) {
        const std::string address = LowerAscii(TrimmedAscii(value));
        if (!address.empty())
            use("m\x1f" + address, [address] { return "same e-mail address " + address; });
    };
    mail(v[Email]);
    for (int n = 1; n <= kExtraContacts; ++n)
        mail(v[ExtraColumn(n, XEmail)]);
    const std::string last = FoldedForComparison(v[LastName]);
    const std::string company = FoldedForComparison(v[Company]);
    auto phone = [&](const std::string& value) {
        const std::string digits = TenDigits(value);
        if (digits.empty())
            return;
        if (!last.empty())
            use("pl\x1f" + digits + "\x1f" + last, [&] {
                return "same phone number " + value + " and last name " + TrimmedAscii(v[LastName]);
            });
        if (!company.empty())
            use("pc\x1f" + digits + "\x1f" + company, [&] {
                return "same phone number " + value + " and company " + TrimmedAscii(v[Company]);
            });
    };
    phone(v[Phone]);
    phone(v[Fax]);
    for (int n = 1; n <= kExtraContacts; ++n) {
        phone(v[ExtraColumn(n, XPhone)]);
        phone(v[ExtraColumn(n, XFax)]);
    }
    const std::string name = FoldedForComparison(v[FirstName] + " " + v[LastName]);
    if (name.empty())
        return;
    static const struct {
        int column;
        const char* what;
    } kPlaces[] = {{Company, "company"}, {Address, "street"}, {CtyStZp, "city line"}};
    for (const auto& place : kPlaces) {
        const std::string where = FoldedForComparison(v[place.column]);
        if (!where.empty())
            use(std::string("n") + place.what + "\x1f" + name + "\x1f" + where, [&] {
                return "same name " +
                       JoinedWith(TrimmedAscii(v[FirstName]), TrimmedAscii(v[LastName]), " ") +
                       " and " + place.what + " " + TrimmedAscii(v[place.column]);
            });
    }
}

// Contacts joined by what they share, each set by its smallest member.
class Sets {
public:
    std::size_t Root(std::size_t i) {
        while (parent_[i] != i)
            i = parent_[i] = parent_[parent_[i]];
        return i;
    }
    std::size_t Add() {
        parent_.push_back(parent_.size());
        return parent_.size() - 1;
    }
    void Join(std::size_t a, std::size_t b) {
        a = Root(a);
        b = Root(b);
        if (a != b)
            parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::size_t> parent_;
};

// A key as 128 bits: two contacts agree in them by chance far less often than a memory fault
// hits.
struct Digest {
    std::uint64_t a, b;
    std::size_t at;  // the contact
    std::uint32_t k; // which of the contact's keys, in ForEachKey's order
    bool operator<(const Digest& o) const {
        return a != o.a ? a < o.a : b != o.b ? b < o.b : at < o.at;
    }
    bool SameKey(const Digest& o) const { return a == o.a && b == o.b; }
};

Digest DigestOf(const std::string& key, std::size_t at, std::uint32_t k) {
    TDigest128 digest;
    digest.Add(key);
    const auto [a, b] = digest.Value();
    return {a, b, at, k};
}

} // namespace

void MarkNotDuplicates(TSQLiteDatabase& db, const std::vector<std::int64_t>& ids) {
    TWriteTransaction transaction(db);
    db.RunStatement("CREATE TABLE IF NOT EXISTS VellicardNotDuplicates(a INTEGER NOT NULL,"
                    "b INTEGER NOT NULL,PRIMARY KEY(a,b));");
    for (std::int64_t a : ids)
        for (std::int64_t b : ids)
            if (a < b)
                db.RunStatement("INSERT OR IGNORE INTO VellicardNotDuplicates(a,b)VALUES(" +
                                std::to_string(a) + "," + std::to_string(b) + ");");
    transaction.Commit();
}

std::vector<DuplicateGroup> FindDuplicates(TSQLiteDatabase& db, std::size_t* contacts) {
    // Pairs the user said are different people are never joined directly.
    std::set<std::pair<std::int64_t, std::int64_t>> different;
    if (HasTable(db, "VellicardNotDuplicates"))
        for (auto pairs = db.OpenResult("SELECT a,b FROM VellicardNotDuplicates;");
             !pairs->AtEnd(); pairs->Advance())
            different.emplace(pairs->IntegerAt(0), pairs->IntegerAt(1));
    Sets sets;
    std::vector<std::int64_t> ids;
    std::vector<std::size_t> firstKey; // where each contact's keys begin in `shared`
    std::vector<Digest> keys;
    ForEachSavedRow(db, "", kFromFirstRow, [&](std::int64_t id, const ContactValues& values) {
        const std::size_t at = sets.Add();
        ids.push_back(id);
        firstKey.push_back(keys.size());
        std::uint32_t k = 0;
        ForEachKey(values, [&](const std::string& key, const std::function<std::string()>&) {
            keys.push_back(DigestOf(key, at, k++));
        });
    });
    firstKey.push_back(keys.size());
    if (contacts)
        *contacts = ids.size();
    std::sort(keys.begin(), keys.end());
    // Each holder of a key is joined to the first holder it may be joined to.
    for (std::size_t from = 0; from < keys.size();) {
        std::size_t to = from + 1;
        while (to < keys.size() && keys[to].SameKey(keys[from]))
            ++to;
        for (std::size_t i = from + 1; i < to; ++i)
            for (std::size_t j = from; j < i; ++j) {
                const std::int64_t x = ids[keys[j].at], y = ids[keys[i].at];
                if (!different.count({std::min(x, y), std::max(x, y)})) {
                    sets.Join(keys[j].at, keys[i].at);
                    break;
                }
            }
        from = to;
    }
    // Which keys each contact shares with another of its group.
    std::vector<bool> shared(keys.size());
    for (std::size_t from = 0; from < keys.size();) {
        std::size_t to = from + 1;
        while (to < keys.size() && keys[to].SameKey(keys[from]))
            ++to;
        if (to - from == 2) {
            if (sets.Root(keys[from].at) == sets.Root(keys[from + 1].at))
                for (std::size_t i = from; i < to; ++i)
                    shared[firstKey[keys[i].at] + keys[i].k] = true;
        } else if (to - from > 2) {
            std::map<std::size_t, std::vector<std::size_t>> byGroup;
            for (std::size_t i = from; i < to; ++i)
                byGroup[sets.Root(keys[i].at)].push_back(i);
            for (const auto& [root, holders] : byGroup)
                if (holders.size() > 1)
                    for (std::size_t i : holders)
                        shared[firstKey[keys[i].at] + keys[i].k] = true;
        }
        from = to;
    }
    keys = std::vector<Digest>();
    // A group's reason is the first shared key of its first contact that shares one.
    std::vector<std::vector<std::int64_t>> byRoot(ids.size());
    std::unordered_map<std::size_t, std::pair<std::size_t, std::uint32_t>> reasonAt; // by root
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::size_t root = sets.Root(i);
        byRoot[root].push_back(ids[i]);
        if (reasonAt.count(root))
            continue;
        for (std::size_t k = firstKey[i]; k < firstKey[i + 1]; ++k)
            if (shared[k]) {
                reasonAt[root] = {i, static_cast<std::uint32_t>(k - firstKey[i])};
                break;
            }
    }
    // Only those contacts are read again, a few hundred at a time, for the reasons' words.
    std::vector<std::int64_t> speakers;
    for (const auto& [root, where] : reasonAt)
        if (byRoot[root].size() > 1)
            speakers.push_back(ids[where.first]);
    std::sort(speakers.begin(), speakers.end());
    std::unordered_map<std::int64_t, std::string> words;
    std::unordered_map<std::int64_t, std::uint32_t> wanted;
    for (const auto& [root, where] : reasonAt)
        wanted[ids[where.first]] = where.second;
    constexpr std::size_t kBatch = 500;
    for (std::size_t from = 0; from < speakers.size(); from += kBatch) {
        std::string list;
        for (std::size_t i = from; i < std::min(speakers.size(), from + kBatch); ++i)
            list += (list.empty() ? "" : ",") + std::to_string(speakers[i]);
        ForEachSavedRow(db, "rowid IN (" + list + ")", kFromFirstRow,
                        [&](std::int64_t id, const ContactValues& v) {
                            std::uint32_t k = 0;
                            ForEachKey(v, [&](const std::string&,
                                              const std::function<std::string()>& why) {
                                if (k++ == wanted[id])
                                    words[id] = why();
                            });
                        });
    }
    std::vector<DuplicateGroup> groups;
    for (std::size_t root = 0; root < byRoot.size(); ++root) {
        std::vector<std::int64_t>& group = byRoot[root];
        if (group.size() < 2 || !reasonAt.count(root))
            continue;
        // Rows come in the order of their ids, so the members are in ascending order already.
        bool allDifferent = true;
        for (std::size_t i = 0; i < group.size() && allDifferent; ++i)
            for (std::size_t j = i + 1; j < group.size() && allDifferent; ++j)
                allDifferent = different.count({group[i], group[j]}) > 0;
        const std::string& reason = words[ids[reasonAt[root].first]];
        if (!reason.empty() && !allDifferent)
            groups.push_back({std::move(group), reason});
    }
    return groups;
}
