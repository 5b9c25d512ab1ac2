#pragma once

#include "model/ContactColumns.h"

#include <string>
#include <vector>

// The card `received` (the exact text the server last gave, or this desk last sent) with only
// the properties of the fields whose values differ between `before` and `after` replaced, for
// the card of `person` (0 the contact's own card, 1 to 5 the extra person in that place).
// `before` are the values this desk holds for that card as last synced, `after` the values to
// send. Every other property keeps its bytes exactly (group, parameters, order, folding, line
// ends), and so does VERSION. Returns `received` itself when nothing applies.
//
// A changed property is written in the card's own version (backslash escapes; in 2.1 a value
// with line breaks quoted-printable), folded as this program folds, with the card's line ends;
// a TEL or EMAIL keeps its "tel:" or "mailto:" form. A field read from one of several
// properties replaces that one; one whose value came from no property (none, or one that did
// not fit the field and went to the notes) gets a new property where the reading takes it
// first. The values the reading moved into the notes never travel back into NOTE. REV, where
// the card has one, becomes the time of the change.
std::string PatchCard(const std::string& received, int person, const ContactValues& before,
                      const ContactValues& after);

// The card with what the cards of contacts merged into it (`others`) say of the person that no
// field holds (see TellsOfPersonWithoutField: a photo, a birthday, ...), where it has nothing by
// that name: those properties are added before its END with their exact bytes but for the line
// breaks, which become the card's. None of a group (its label is another property of the group)
// travels. From a card of another version a picture, logo, sound or key held in the card comes
// in this card's form (a data: URI in 4.0, base64 in 3.0) and nothing else with an encoding or
// charset travels. Returns `card` itself when nothing is added.
std::string WithCarriedProperties(const std::string& card, const std::vector<std::string>& others);
