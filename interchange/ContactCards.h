#pragma once

#include "interchange/ContactFitting.h"
#include "interchange/VCardParser.h"

#include <cstdint>
#include <string>
#include <vector>

class VCardWriter;

// How a contact travels as vCards. The contact is one card: company in ORG, the person in N and
// FN (FN is the company when there is no person), street and "City, State, Zip Code" in ADR,
// phone and fax as work TELs, EMAIL, URL, NOTE, and a UID. Each extra contact is a card of its
// own with its name, TITLE, phone (extension after " x"), fax, EMAIL, NOTE and the company in
// ORG, so another program lists every person with the company. FN is never empty: a contact
// without a person or company is called by its e-mail address. It names its contact's card
// twice: RELATED;TYPE=colleague with the contact's UID, which vCard 4.0 readers understand and
// others ignore, and X-VELLICARD-EXTRA-OF with that UID and the extra contact's number 1 to 5,
// which brings the people back into their places on import; an unknown X- property is kept or
// ignored by every reader. PRODID names this program as the writer.
void WriteContactCards(VCardWriter& writer, const ContactValues& saved);
// One of those cards with the UIDs given: `person` 0 is the contact's own card, 1 to 5 the extra
// person in that place, whose card names its contact by `contactUid`.
void WriteContactCard(VCardWriter& writer, const ContactValues& saved, int person,
                      const std::string& uid, const std::string& contactUid);
// What the contact is called wherever the program names it (the FN of its card, the import's
// and the sync's summaries): the person's "First Last", else the company, the e-mail address,
// the phone, else "(no name)". For `person` 1 to 5 the same of that extra person: the name,
// the company, the person's e-mail address, then phone and extension.
std::string DisplayName(const ContactValues& saved, int person = 0);
// An extra person's one-field name as the N of its card: the last word is the family name, the
// rest the given names.
void SplitExtraName(const std::string& name, std::string* given, std::string* family);
// Whether the extra person in place n has nothing filled in, and so no card.
bool ExtraPersonIsEmpty(const ContactValues& saved, int n);
// A new random UID, "urn:uuid:...".
std::string NewCardUid();
// The same UIDs again in the same order, for repeating a run of a test.
void SeedCardUids(std::uint64_t seed);

struct ImportedContact {
    FittedContact fitted;
    std::size_t line = 0; // where its card begins, for messages
    // Photos, logos, sounds and keys of its cards, which the address book has no place for.
    std::size_t leftOut = 0;
};

// Cards that name another card of the file as their contact become that contact's extra
// contacts, in their places; every other card is a contact of its own. Extra people beyond five
// go into the contact's notes. Values with no field of their own (nickname, birthday, instant
// messaging, categories, a postal label, title and role, the organisation's units after its
// name, a manager or assistant) go into the notes with their kind.
std::vector<ImportedContact> ContactsFromCards(const std::vector<VCard>& cards);

// Whether a property of that name (upper case) says something of the person that no field
// holds: a photo, logo, sound or key, what the reading puts into the notes with its kind (a
// birthday, a nickname, ...), a gender, place, time zone, language or social profile.
bool TellsOfPersonWithoutField(const std::string& name);

// "Joe City, State 12345" <-> locality "Joe City", region "State", code "12345"; a line of any
// other shape stays whole in the locality.
void SplitCityLine(const std::string& line, std::string* locality, std::string* region,
                   std::string* code);
// The contact an extra person's card names, and its place 1 to 5 (0 when it names none); false
// for any other card.
bool ExtraLinkOf(const VCard& card, std::string* contactUid, int* person);
// Whether a card says this program wrote it.
bool IsOwnCard(const VCard& card);
std::string JoinCityLine(const std::string& locality, const std::string& region,
                         const std::string& code);

// How one card is read as the card of `person` in its contact: 0 the contact's own card, 1 to 5
// the extra person in that place (whose values and notes land in that person's columns).
ImportedContact ReadPersonCard(const VCard& card, int person);
// What FN says for a card with no person's name, which the reading knows for a stand-in: the
// organisation, else the first e-mail address, else the first phone that is not a fax, as the
// card holds them, else "(no name)".
std::string StandInName(const VCard& card);
// A phone and its extension as one TEL value: "(225)123-4567 x123", "x123" without a number.
std::string PhoneWithExtension(const std::string& phone, const std::string& extension);
// A TEL value's number and extension, as the reading splits them.
void SplitTelValue(const std::string& value, std::string* number, std::string* extension);
