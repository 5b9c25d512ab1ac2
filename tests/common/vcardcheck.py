#!/usr/bin/python3
# vcardcheck.py FILE.vcf BOOK.db: python3-vobject, a reader that shares nothing with ours, must
# take every card of the exported file and find in it, card by card, the names, phones and
# e-mails the book holds: a contact's card, then one for each extra contact it has. Phones are
# compared by their digits (an extra contact's extension follows its number). Exits non-zero
# with the first difference.
import re
import sqlite3
import sys

import vobject


def digits(text):
    return re.sub(r"[^0-9]", "", text or "")


def seen(card, extra):
    n = card.contents.get("n")
    tels = {"voice": "", "fax": ""}
    for tel in card.contents.get("tel", []):
        tels["fax" if "FAX" in map(str.upper, tel.params.get("TYPE", [])) else "voice"] += digits(tel.value)
    return {"extra": "x-vellicard-extra-of" in card.contents, "fn": card.fn.value if extra else "",
            "family": "" if extra else n[0].value.family, "given": "" if extra else n[0].value.given,
            "phone": tels["voice"], "fax": tels["fax"],
            "email": [e.value for e in card.contents.get("email", [])]}


def held(row):
    v = lambda c: row[c] or ""
    yield {"extra": False, "fn": "", "family": v("dbCustLastName"), "given": v("dbCustFirstName"),
           "phone": digits(v("dbCustPhone")), "fax": digits(v("dbCustFax")),
           "email": [v("dbCustEmail")] if v("dbCustEmail") else []}
    for n in range(1, 6):
        x = lambda c: v(c + str(n))
        phone = digits(x("dbExtraPhone") + x("dbExtraPhoneExt"))
        if x("dbExtraName") + x("dbExtraTitle") + x("dbExtraEmail") + x("dbExtraNotes") + phone + digits(x("dbExtraFax")):
            # With no name the FN stands in with something else: only a name is compared.
            yield {"extra": True, "fn": x("dbExtraName"), "family": "", "given": "", "phone": phone,
                   "fax": digits(x("dbExtraFax")), "email": [x("dbExtraEmail")] if x("dbExtraEmail") else []}


with open(sys.argv[1], encoding="utf-8", newline="") as f:
    cards = list(vobject.readComponents(f.read(), validate=True))
book = sqlite3.connect(sys.argv[2])
book.row_factory = sqlite3.Row
wanted = [c for row in book.execute("SELECT * FROM Customers ORDER BY dbCustomer_ID") for c in held(row)]
if len(cards) != len(wanted):
    sys.exit(f"{len(cards)} cards for {len(wanted)} contacts")
for number, (card, want) in enumerate(zip(cards, wanted), 1):
    got = seen(card, want["extra"])
    if not card.fn.value:
        sys.exit(f"card {number}: an empty FN")
    if not want["fn"]:
        got["fn"] = ""
    if got != want:
        sys.exit(f"card {number}: {got} for {want}")
