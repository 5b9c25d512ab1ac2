// Any bytes given to the multistatus reader either fail with a message and no responses, or give
// responses within the reader's bounds. And what it read comes back the same from a plain
// multistatus written of it, so that no arrangement of the server's elements (prefixes,
// propstats split or doubled, unknown elements between) changes what the client sees.

#include "fuzz/FuzzCheck.h"
#include "sync/Multistatus.h"

#include <cstdint>

namespace {

// Small bounds, so that the fuzzer reaches them.
const MultistatusLimits kLimits{8, 64, 256, 12};

std::string Std(const QString& text) {
    return text.toStdString();
}

QByteArray Escaped(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray Element(const QByteArray& name, const QString& text) {
    return "<" + name + ">" + Escaped(text) + "</" + name + ">";
}

QByteArray Written(const Multistatus& answer) {
    QByteArray xml = "<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">";
    for (const DavResponse& r : answer.responses) {
        xml += "<d:response>" + Element("d:href", r.href);
        if (r.status)
            xml += "<d:status>HTTP/1.1 " + QByteArray::number(r.status) + " X</d:status>";
        xml += "<d:propstat><d:prop>";
        if (r.hasEtag)
            xml += Element("d:getetag", r.etag);
        xml += "<d:resourcetype>";
        xml += r.isCollection ? "<d:collection/>" : "";
        xml += r.isPrincipal ? "<d:principal/>" : "";
        xml += r.isAddressBook ? "<c:addressbook/>" : "";
        xml += "</d:resourcetype>" + Element("d:displayname", r.displayName);
        if (!r.currentUserPrincipal.isEmpty())
            xml += "<d:current-user-principal>" + Element("d:href", r.currentUserPrincipal) +
                   "</d:current-user-principal>";
        xml += "<c:addressbook-home-set>";
        for (const QString& home : r.addressBookHomeSet)
            xml += Element("d:href", home);
        xml += "</c:addressbook-home-set>";
        if (r.hasAddressData)
            xml += Element("c:address-data", QString::fromUtf8(r.addressData));
        if (r.offersSyncCollection)
            xml += "<d:supported-report-set><d:supported-report><d:report><d:sync-collection/>"
                   "</d:report></d:supported-report></d:supported-report-set>";
        xml += "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    }
    if (!answer.syncToken.isEmpty())
        xml += Element("d:sync-token", answer.syncToken);
    return xml + "</d:multistatus>";
}

bool Same(const DavResponse& a, const DavResponse& b) {
    return a.href == b.href && a.status == b.status && a.hasEtag == b.hasEtag && a.etag == b.etag &&
           a.isCollection == b.isCollection && a.isAddressBook == b.isAddressBook &&
           a.isPrincipal == b.isPrincipal && a.displayName == b.displayName &&
           a.currentUserPrincipal == b.currentUserPrincipal &&
           a.addressBookHomeSet == b.addressBookHomeSet && a.hasAddressData == b.hasAddressData &&
           a.addressData == b.addressData && a.offersSyncCollection == b.offersSyncCollection;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const Multistatus answer = ParseMultistatus(bytes, kLimits);
    if (!answer.error.isEmpty()) {
        FUZZ_CHECK(answer.responses.isEmpty() && answer.syncToken.isEmpty(), Std(answer.error));
        return 0;
    }
    FUZZ_CHECK(answer.responses.size() <= kLimits.maxResponses,
               std::to_string(answer.responses.size()) + " responses");
    FUZZ_CHECK(answer.syncToken.size() <= kLimits.maxText, Std(answer.syncToken));
    for (const DavResponse& r : answer.responses) {
        FUZZ_CHECK(!r.href.isEmpty(), "a response without href");
        for (const QString& text : {r.href, r.etag, r.displayName, r.currentUserPrincipal})
            FUZZ_CHECK(text.size() <= kLimits.maxText, Std(text));
        FUZZ_CHECK(QString::fromUtf8(r.addressData).size() <= kLimits.maxAddressData,
                   std::to_string(r.addressData.size()) + " bytes of address data");
    }
    const QByteArray written = Written(answer);
    const Multistatus again = ParseMultistatus(written, kLimits);
    FUZZ_CHECK(again.error.isEmpty(), Std(again.error) + "\n" + written.toStdString());
    FUZZ_CHECK(again.syncToken == answer.syncToken &&
                   again.responses.size() == answer.responses.size(),
               written.toStdString());
    for (int i = 0; i < answer.responses.size(); ++i)
        FUZZ_CHECK(Same(answer.responses[i], again.responses[i]), written.toStdString());
    return 0;
}
