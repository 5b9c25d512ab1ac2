#pragma once

#include "model/ContactValues.h"

#include <array>
#include <string>
#include <vector>

// The cards of a contact as this program writes them, with the UIDs given: the contact's own
// card first, then one for each extra person with anything filled in. `personUids[n]` is the
// UID of person n's card (0 the contact's), an empty one is made up.
struct PersonCard {
    int person;
    std::string uid;
    std::string content;
};
std::vector<PersonCard> CardsOfContact(const ContactValues& values,
                                       std::array<std::string, kExtraContacts + 1> personUids);
// The values the cards give, read as an import reads them (fitting and safety rules), with
// what each card is: false when the cards hold no contact.
bool ValuesOfCards(const std::vector<std::string>& cards, ContactValues* values);
// Who a card is: its UID, and for an extra person's card its contact's UID and place (else an
// empty contact UID and 0). False for text that is no single card.
bool IdentifyCard(const std::string& content, std::string* uid, std::string* contactUid,
                  int* person);
