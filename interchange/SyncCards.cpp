#include "interchange/SyncCards.h"

#include "interchange/ContactCards.h"
#include "interchange/VCardParser.h"
#include "interchange/VCardWriter.h"

std::vector<PersonCard> CardsOfContact(const ContactValues& values,
                                       std::array<std::string, kExtraContacts + 1> personUids) {
    std::vector<PersonCard> cards;
    for (int person = 0; person <= kExtraContacts; ++person) {
        if (person > 0 && ExtraPersonIsEmpty(values, person))
            continue;
        if (personUids[person].empty())
            personUids[person] = NewCardUid();
        VCardWriter writer;
        WriteContactCard(writer, values, person, personUids[person], personUids[0]);
        cards.push_back({person, personUids[person], writer.Output()});
    }
    return cards;
}

bool ValuesOfCards(const std::vector<std::string>& cards, ContactValues* values) {
    std::vector<VCard> parsed;
    for (const std::string& content : cards)
        for (VCard& card : ParseVCards(content))
            parsed.push_back(std::move(card));
    const std::vector<ImportedContact> contacts = ContactsFromCards(parsed);
    if (contacts.empty())
        return false;
    *values = AsSaved(contacts.front().fitted.Values());
    return true;
}

bool IdentifyCard(const std::string& content, std::string* uid, std::string* contactUid,
                  int* person) {
    std::vector<VCard> cards;
    try {
        cards = ParseVCards(content);
    } catch (const std::exception&) {
        return false;
    }
    if (cards.size() != 1)
        return false;
    const VCard& card = cards.front();
    const VCardProperty* id = card.First("UID");
    *uid = id ? id->value : std::string();
    ExtraLinkOf(card, contactUid, person);
    return true;
}
