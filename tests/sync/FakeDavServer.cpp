#include "tests/sync/FakeDavServer.h"

#include <QCryptographicHash>

namespace {
using Kind = EDavError::Kind;
const QString kBook = QStringLiteral("/book/");
} // namespace

QString FakeDavServer::Write(const QString& href, const QByteArray* vcard) {
    if (vcard && !cards_.count(href))
        made_[href] = log_.size();
    log_.push_back(href);
    if (!vcard) {
        cards_.erase(href);
        return {};
    }
    const QString etag = QStringLiteral("\"%1\"").arg(nextEtag_++);
    cards_[href] = {*vcard, etag};
    return etag;
}

QString FakeDavServer::Store(const QString& name, const QByteArray& vcard) {
    const QString href = kBook + name;
    Write(href, &vcard);
    return href;
}

void FakeDavServer::Remove(const QString& href) {
    Write(href, nullptr);
}

std::map<QString, QByteArray> FakeDavServer::Cards() const {
    std::map<QString, QByteArray> out;
    for (const auto& [href, card] : cards_)
        out[href] = card.vcard;
    return out;
}

void FakeDavServer::ThrowIfStopped() const {
    if (stopped_)
        throw EDavError(Kind::Stopped, QStringLiteral("The sync was stopped."));
}

TDavClient::Book FakeDavServer::Discover() {
    ThrowIfStopped();
    return {QUrl("http://fake.invalid" + kBook), QStringLiteral("Fake"), syncCollection_};
}

std::optional<DavChanges> FakeDavServer::SyncCollection(const QString& token) {
    ThrowIfStopped();
    if (!syncCollection_)
        return std::nullopt;
    std::size_t from = 0;
    if (!token.isEmpty()) {
        bool ok = false;
        from = token.mid(1).toULongLong(&ok);
        if (!token.startsWith('t') || !ok || from > log_.size())
            return std::nullopt;
    }
    DavChanges changes;
    std::map<QString, bool> touched;
    if (token.isEmpty())
        for (const auto& [href, card] : cards_)
            touched[href] = true;
    for (std::size_t i = from; i < log_.size(); ++i)
        touched[log_[i]] = true;
    for (const auto& [href, yes] : touched) {
        const auto card = cards_.find(href);
        if (card != cards_.end())
            changes.changed << qMakePair(href, card->second.etag);
        else if (!token.isEmpty() && made_[href] < from)
            changes.removed << href; // as xandikos: not a card made and deleted since
    }
    changes.token = QStringLiteral("t%1").arg(log_.size());
    return changes;
}

QMap<QString, QString> FakeDavServer::ListEtags() {
    ThrowIfStopped();
    QMap<QString, QString> etags;
    for (const auto& [href, card] : cards_)
        etags.insert(href, card.etag);
    return etags;
}

QList<DavCard> FakeDavServer::Multiget(const QStringList& hrefs, QList<DavSkippedCard>* skipped) {
    ThrowIfStopped();
    QList<DavCard> out;
    for (const QString& href : hrefs) {
        const auto card = cards_.find(href);
        if (card == cards_.end())
            continue;
        if (card->second.vcard.size() > maxCard) {
            if (skipped)
                *skipped << DavSkippedCard{href, QString(),
                                           QStringLiteral("The card at %1 is too big.").arg(href)};
            continue;
        }
        out << DavCard{href, card->second.etag, card->second.vcard};
    }
    return out;
}

QString FakeDavServer::NewHref(const QString& uid) const {
    return kBook +
           QString::fromLatin1(
               QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha1).toHex().left(20)) +
           QStringLiteral(".vcf");
}

bool FakeDavServer::Faulted(const QByteArray& verb, const QString& href, bool* lostAnswer) {
    ThrowIfStopped();
    ++writes;
    *lostAnswer = false;
    const Fault f = fault ? fault(verb, href) : Fault::None;
    if (f == Fault::Stop) {
        stopped_ = true;
        ThrowIfStopped();
    }
    if (f == Fault::Conflict && conflict)
        conflict(href);
    *lostAnswer = f == Fault::LostAnswer;
    return f != Fault::None;
}

QString FakeDavServer::PutNew(const QString& href, const QByteArray& vcard) {
    bool lost = false;
    Faulted("PUT", href, &lost);
    if (cards_.count(href))
        throw EDavError(Kind::PreconditionFailed, QStringLiteral("%1 exists.").arg(href));
    const QString etag = Write(href, &vcard);
    if (lost)
        throw EDavError(Kind::Unreachable, QStringLiteral("The answer to PUT was lost."));
    return etag;
}

QString FakeDavServer::PutChanged(const QString& href, const QByteArray& vcard,
                                  const QString& etag) {
    bool lost = false;
    Faulted("PUT", href, &lost);
    const auto card = cards_.find(href);
    if (card == cards_.end() || (!etag.isEmpty() && card->second.etag != etag))
        throw EDavError(Kind::PreconditionFailed, QStringLiteral("%1 changed.").arg(href));
    const QString now = Write(href, &vcard);
    if (lost)
        throw EDavError(Kind::Unreachable, QStringLiteral("The answer to PUT was lost."));
    return now;
}

void FakeDavServer::Delete(const QString& href, const QString& etag) {
    bool lost = false;
    Faulted("DELETE", href, &lost);
    const auto card = cards_.find(href);
    if (card == cards_.end())
        return;
    if (!etag.isEmpty() && card->second.etag != etag)
        throw EDavError(Kind::PreconditionFailed, QStringLiteral("%1 changed.").arg(href));
    Write(href, nullptr);
    if (lost)
        throw EDavError(Kind::Unreachable, QStringLiteral("The answer to DELETE was lost."));
}
