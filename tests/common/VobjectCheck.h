#pragma once

// A second opinion on an exported card file: python3-vobject, which shares nothing with our
// reader, must take every card and find in them the names, phones and e-mails the book holds.

#include "RawDb.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

namespace vobjectcheck {

inline QString Digits(QString text) {
    return text.remove(QRegularExpression("[^0-9]"));
}

inline QString Column(RawDb& db, const QString& column, qint64 id) {
    const QString v = db.value(QString("SELECT %1 FROM Customers WHERE dbCustomer_ID=%2")
                                   .arg(column)
                                   .arg(id));
    return v == "<NULL>" ? QString() : v;
}

// "" when the card holds the name, phone, fax and e-mail given, else what differs.
inline QString Differs(const QJsonObject& card, const QString& what, const QString& family,
                       const QString& given, const QString& fn, const QString& phone,
                       const QString& fax, const QString& email) {
    QString voiceDigits, faxDigits;
    for (const QJsonValue& tel : card["tel"].toArray()) {
        const bool isFax = tel["types"].toArray().contains(QJsonValue("fax"));
        (isFax ? faxDigits : voiceDigits) += Digits(tel["value"].toString());
    }
    QStringList emails;
    for (const QJsonValue& e : card["email"].toArray())
        emails << e.toString();
    const QStringList wanted = email.isEmpty() ? QStringList() : QStringList{email};
    QStringList wrong;
    if (!family.isNull() && card["family"].toString() != family)
        wrong << "family name " + card["family"].toString() + " for " + family;
    if (!given.isNull() && card["given"].toString() != given)
        wrong << "given name " + card["given"].toString() + " for " + given;
    if (!fn.isEmpty() && card["fn"].toString() != fn)
        wrong << "FN " + card["fn"].toString() + " for " + fn;
    if (card["fn"].toString().isEmpty())
        wrong << "an empty FN";
    if (voiceDigits != Digits(phone))
        wrong << "phone " + voiceDigits + " for " + phone;
    if (faxDigits != Digits(fax))
        wrong << "fax " + faxDigits + " for " + fax;
    if (emails != wanted)
        wrong << "e-mail " + emails.join('|') + " for " + email;
    return wrong.isEmpty() ? QString() : what + ": " + wrong.join("; ");
}

} // namespace vobjectcheck

// Empty when all agree; else the first disagreement.
inline QString VobjectDisagreement(const QString& vcfPath, const QString& dbPath) {
    using namespace vobjectcheck;
    QProcess python;
    python.start("/usr/bin/python3", {qEnvironmentVariable("VC_SOURCE_DIR") +
                                          "/tests/common/vcardcheck.py",
                                      vcfPath});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0)
        return "vobject refused the file: " + python.readAllStandardError();
    const QJsonArray cards = QJsonDocument::fromJson(python.readAllStandardOutput()).array();

    RawDb db(dbPath);
    int next = 0;
    for (const QString& idText : db.rows("SELECT dbCustomer_ID FROM Customers ORDER BY 1")) {
        const qint64 id = Digits(idText).toLongLong();
        if (next >= cards.size() || cards[next]["extra"].toBool())
            return QString("no card for contact %1").arg(id);
        const QString main =
            Differs(cards[next++].toObject(), QString("contact %1").arg(id),
                    Column(db, "dbCustLastName", id), Column(db, "dbCustFirstName", id), "",
                    Column(db, "dbCustPhone", id), Column(db, "dbCustFax", id),
                    Column(db, "dbCustEmail", id));
        if (!main.isEmpty())
            return main;
        for (int n = 1; n <= 5; ++n) {
            const auto x = [&](const char* c) { return Column(db, c + QString::number(n), id); };
            const QString phone = x("dbExtraPhone") + x("dbExtraPhoneExt");
            if ((x("dbExtraName") + x("dbExtraTitle") + x("dbExtraEmail") + x("dbExtraNotes"))
                    .isEmpty() &&
                Digits(phone + x("dbExtraFax")).isEmpty())
                continue;
            if (next >= cards.size() || !cards[next]["extra"].toBool())
                return QString("no card for extra contact %1 of contact %2").arg(n).arg(id);
            const QString extra =
                Differs(cards[next++].toObject(), QString("extra contact %1 of %2").arg(n).arg(id),
                        QString(), QString(), x("dbExtraName"), phone, x("dbExtraFax"),
                        x("dbExtraEmail"));
            if (!extra.isEmpty())
                return extra;
        }
    }
    return next == cards.size() ? QString() : "more cards than contacts";
}
