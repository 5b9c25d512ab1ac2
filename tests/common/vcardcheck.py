#!/usr/bin/python3
# Reads a card file with python3-vobject, a reader that shares no code with ours, and prints
# what it found as JSON: one object a card, with its FN, N, TEL and EMAIL values and whether it
# is an extra contact of another card. Any card it refuses fails the run with a message.
import json
import sys

import vobject

with open(sys.argv[1], encoding="utf-8", newline="") as f:
    text = f.read()
cards = []
for card in vobject.readComponents(text, validate=True):
    name = card.contents.get("n")
    cards.append({
        "fn": card.fn.value,
        "family": name[0].value.family if name else None,
        "given": name[0].value.given if name else None,
        "tel": [{"types": [t.lower() for t in tel.params.get("TYPE", [])], "value": tel.value}
                for tel in card.contents.get("tel", [])],
        "email": [e.value for e in card.contents.get("email", [])],
        "extra": "x-vellicard-extra-of" in card.contents,
    })
json.dump(cards, sys.stdout, ensure_ascii=False)
