#include "sync/Multistatus.h"

#include <QXmlStreamReader>

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

enum class Tag {
    Other,
    Multistatus,
    Response,
    Href,
    Status,
    Propstat,
    Prop,
    GetEtag,
    ResourceType,
    Collection,
    Principal,
    AddressBook,
    DisplayName,
    CurrentUserPrincipal,
    AddressBookHomeSet,
    AddressData,
    SyncToken,
    SupportedReportSet,
    SupportedReport,
    Report,
    SyncCollection
};

struct Known {
    const char* name;
    bool cardDav;
    Tag tag;
    Tag parent; // where it means something; anywhere else it is read as an unknown element
    Tag otherParent = Tag::Other;
    Tag thirdParent = Tag::Other;
};

const Known kKnown[] = {
    {"multistatus", false, Tag::Multistatus, Tag::Other},
    {"response", false, Tag::Response, Tag::Multistatus},
    {"href", false, Tag::Href, Tag::Response, Tag::CurrentUserPrincipal, Tag::AddressBookHomeSet},
    {"status", false, Tag::Status, Tag::Response, Tag::Propstat},
    {"propstat", false, Tag::Propstat, Tag::Response},
    {"prop", false, Tag::Prop, Tag::Propstat},
    {"getetag", false, Tag::GetEtag, Tag::Prop},
    {"resourcetype", false, Tag::ResourceType, Tag::Prop},
    {"collection", false, Tag::Collection, Tag::ResourceType},
    {"principal", false, Tag::Principal, Tag::ResourceType},
    {"addressbook", true, Tag::AddressBook, Tag::ResourceType},
    {"displayname", false, Tag::DisplayName, Tag::Prop},
    {"current-user-principal", false, Tag::CurrentUserPrincipal, Tag::Prop},
    {"addressbook-home-set", true, Tag::AddressBookHomeSet, Tag::Prop},
    {"address-data", true, Tag::AddressData, Tag::Prop},
    {"sync-token", false, Tag::SyncToken, Tag::Multistatus},
    {"supported-report-set", false, Tag::SupportedReportSet, Tag::Prop},
    {"supported-report", false, Tag::SupportedReport, Tag::SupportedReportSet},
    {"report", false, Tag::Report, Tag::SupportedReport},
    // Xandikos lists the report without the <report> wrapper.
    {"sync-collection", false, Tag::SyncCollection, Tag::Report, Tag::SupportedReport},
};

Tag Identify(const QXmlStreamReader& xml, Tag parent, bool atRoot) {
    const bool dav = xml.namespaceUri() == kDav;
    if (!dav && xml.namespaceUri() != kCardDav)
        return Tag::Other;
    for (const Known& k : kKnown) {
        if (k.cardDav == dav || xml.name() != QLatin1String(k.name))
            continue;
        if (k.tag == Tag::Multistatus)
            return atRoot ? k.tag : Tag::Other;
        return parent == k.parent || (k.otherParent != Tag::Other && parent == k.otherParent) ||
                       (k.thirdParent != Tag::Other && parent == k.thirdParent)
                   ? k.tag
                   : Tag::Other;
    }
    return Tag::Other;
}

bool HoldsText(Tag tag) {
    switch (tag) {
    case Tag::Href:
    case Tag::Status:
    case Tag::GetEtag:
    case Tag::DisplayName:
    case Tag::AddressData:
    case Tag::SyncToken:
        return true;
    default:
        return false;
    }
}

// What one propstat with a 2xx status adds to its response.
void Merge(DavResponse& into, const DavResponse& props) {
    if (props.hasEtag) {
        into.hasEtag = true;
        into.etag = props.etag;
    }
    into.isCollection |= props.isCollection;
    into.isAddressBook |= props.isAddressBook;
    into.isPrincipal |= props.isPrincipal;
    if (!props.displayName.isEmpty())
        into.displayName = props.displayName;
    if (!props.currentUserPrincipal.isEmpty())
        into.currentUserPrincipal = props.currentUserPrincipal;
    into.addressBookHomeSet += props.addressBookHomeSet;
    if (props.hasAddressData) {
        into.hasAddressData = true;
        into.addressData = props.addressData;
    }
    into.offersSyncCollection |= props.offersSyncCollection;
}

class Reader {
public:
    Reader(const QByteArray& body, const MultistatusLimits& limits) : xml_(body), limits_(limits) {
        // Namespace processing is what tells DAV:href from any other href.
        xml_.setNamespaceProcessing(true);
    }

    Multistatus Read() {
        while (!xml_.atEnd() && error_.isEmpty()) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::DTD:
                Fail(QStringLiteral("it declares a document type, which is not accepted"));
                break;
            case QXmlStreamReader::EntityReference:
                Fail(QStringLiteral("it refers to an entity, which is not accepted"));
                break;
            case QXmlStreamReader::StartElement:
                Start();
                break;
            case QXmlStreamReader::EndElement:
                End();
                break;
            case QXmlStreamReader::Characters:
                Text();
                break;
            default:
                break;
            }
        }
        if (error_.isEmpty() && xml_.hasError())
            Fail(xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError
                     ? QStringLiteral("it ends early")
                     : xml_.errorString());
        if (error_.isEmpty() && !sawRoot_)
            Fail(QStringLiteral("it is empty"));
        if (!error_.isEmpty()) {
            result_.responses.clear();
            result_.syncToken.clear();
            result_.error = error_;
            result_.cardTooLarge = cardTooLarge_;
        }
        return std::move(result_);
    }

private:
    void Fail(QString why) {
        while (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        if (error_.isEmpty())
            error_ = QStringLiteral("%1 (line %2, column %3)")
                         .arg(why)
                         .arg(xml_.lineNumber())
                         .arg(xml_.columnNumber());
    }

    Tag Parent(int up = 1) const {
        return stack_.size() >= up ? stack_[stack_.size() - up] : Tag::Other;
    }

    void Start() {
        if (stack_.size() >= limits_.maxDepth)
            return Fail(QStringLiteral("its elements are nested too deeply"));
        const bool atRoot = stack_.isEmpty();
        const Tag tag = Identify(xml_, Parent(), atRoot);
        if (atRoot) {
            if (tag != Tag::Multistatus)
                return Fail(QStringLiteral("it is a <%1>, not a WebDAV multistatus")
                                .arg(xml_.name().left(100)));
            sawRoot_ = true;
        }
        stack_.push_back(tag);
        text_.clear();
        if (tag == Tag::Response) {
            if (result_.responses.size() >= limits_.maxResponses)
                return Fail(
                    QStringLiteral("it holds more than %1 responses").arg(limits_.maxResponses));
            response_ = DavResponse();
            extraHrefs_.clear();
        } else if (tag == Tag::Propstat) {
            props_ = DavResponse();
            propstatStatus_ = 0;
        }
    }

    void Text() {
        if (stack_.isEmpty() || !HoldsText(stack_.back()))
            return;
        const int limit =
            stack_.back() == Tag::AddressData ? limits_.maxAddressData : limits_.maxText;
        if (text_.size() + xml_.text().size() > limit) {
            cardTooLarge_ = stack_.back() == Tag::AddressData;
            return Fail(QStringLiteral("a text in it is longer than %1 characters").arg(limit));
        }
        text_ += xml_.text();
    }

    // A character reference or a broken byte may leave half of a surrogate pair, which no
    // encoding can write again: it reads as the replacement character.
    static QString WholeCharacters(QString text) {
        for (int i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            else if (text[i].isSurrogate())
                text[i] = QChar::ReplacementCharacter;
        }
        return text;
    }

    void End() {
        text_ = WholeCharacters(text_);
        const Tag tag = stack_.takeLast();
        const Tag parent = Parent();
        switch (tag) {
        case Tag::Href:
            // An empty href names nothing: a response must name what it is about elsewhere.
            if (text_.trimmed().isEmpty())
                break;
            if (parent == Tag::Response) {
                if (response_.href.isEmpty())
                    response_.href = text_.trimmed();
                else if (result_.responses.size() + extraHrefs_.size() + 1 >= limits_.maxResponses)
                    return Fail(QStringLiteral("it holds more than %1 responses")
                                    .arg(limits_.maxResponses));
                else
                    extraHrefs_ << text_.trimmed();
            } else if (parent == Tag::CurrentUserPrincipal) {
                props_.currentUserPrincipal = text_.trimmed();
            } else if (parent == Tag::AddressBookHomeSet) {
                props_.addressBookHomeSet << text_.trimmed();
            }
            break;
        case Tag::Status:
            (parent == Tag::Response ? response_.status : propstatStatus_) = StatusLineCode(text_);
            break;
        case Tag::GetEtag:
            props_.hasEtag = true;
            props_.etag = text_.trimmed();
            break;
        case Tag::DisplayName:
            props_.displayName = text_.trimmed();
            break;
        case Tag::AddressData:
            props_.hasAddressData = true;
            props_.addressData = text_.toUtf8();
            break;
        case Tag::SyncToken:
            result_.syncToken = text_.trimmed();
            break;
        case Tag::Collection:
            props_.isCollection = true;
            break;
        case Tag::Principal:
            props_.isPrincipal = true;
            break;
        case Tag::AddressBook:
            props_.isAddressBook = true;
            break;
        case Tag::SyncCollection:
            props_.offersSyncCollection = true;
            break;
        case Tag::Propstat:
            if (propstatStatus_ >= 200 && propstatStatus_ < 300)
                Merge(response_, props_);
            break;
        case Tag::Response:
            if (response_.href.isEmpty())
                return Fail(QStringLiteral("a response in it has no href"));
            result_.responses << response_;
            // A status that applies to several resources names each of them.
            for (const QString& href : std::as_const(extraHrefs_)) {
                result_.responses << response_;
                result_.responses.back().href = href;
            }
            break;
        default:
            break;
        }
        text_.clear();
    }

    QXmlStreamReader xml_;
    const MultistatusLimits limits_;
    Multistatus result_;
    QList<Tag> stack_;
    QString text_;
    DavResponse response_;
    QStringList extraHrefs_;
    DavResponse props_;
    int propstatStatus_ = 0;
    bool sawRoot_ = false;
    bool cardTooLarge_ = false;
    QString error_;
};

} // namespace

int StatusLineCode(const QString& line) {
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    if (parts.size() < 2 || !parts[0].startsWith(QLatin1String("HTTP/")) || parts[1].size() != 3)
        return 0;
    bool ok = false;
    const int code = parts[1].toInt(&ok);
    return ok && code >= 100 ? code : 0;
}

QByteArray LeadingAddressData(const QByteArray& body) {
    QByteArray closing; // the end tag the element's start tag asks for
    const auto read = [&closing](const QByteArray& bytes, QString& text) {
        QXmlStreamReader xml(bytes);
        xml.setNamespaceProcessing(true);
        bool inside = false;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                inside =
                    xml.name() == QLatin1String("address-data") && xml.namespaceUri() == kCardDav;
                if (inside)
                    closing = "</" + xml.qualifiedName().toUtf8() + ">";
            } else if (token == QXmlStreamReader::Characters && inside) {
                text += xml.text();
            } else if (token == QXmlStreamReader::EndElement && inside) {
                return true;
            } else if (token == QXmlStreamReader::DTD ||
                       token == QXmlStreamReader::EntityReference) {
                return false;
            }
        }
        return false;
    };
    QString text;
    if (read(body, text))
        return text.toUtf8();
    // Cut short. The reader hands out no text it has not seen the end of, so the body is read
    // again up to its last line end, with the element closed there.
    text.clear();
    if (closing.isEmpty() || !read(body.left(body.lastIndexOf('\n') + 1) + closing, text))
        return {};
    // The last line may go on in lines folded into it.
    int end = text.size() - 2;
    while (end >= 0 && (text[end] != QLatin1Char('\n') || text[end + 1] == QLatin1Char(' ') ||
                        text[end + 1] == QLatin1Char('\t')))
        --end;
    return text.left(end + 1).toUtf8();
}

Multistatus ParseMultistatus(const QByteArray& body, const MultistatusLimits& limits) {
    return Reader(body, limits).Read();
}
