#pragma once

// Cards as other programs write them, for the tests of what a sync keeps of them: an iPhone's
// (3.0, groups with X-ABLabel, a photo), Google's on Android (3.0, LF line ends) and
// Nextcloud's (4.0, tel: and mailto: values, a parameter with a quoted line break).

#include <string>

inline const std::string kIPhone =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.2//EN\r\n"
    "N:Featherstonehaugh;Maximiliana Alexandra;;Dr.;\r\n"
    "FN:Dr. Maximiliana Alexandra Featherstonehaugh\r\nORG:Northwind Traders;Logistics\r\n"
    "TITLE:Head of Logistics\r\nNICKNAME:Maxi\r\n"
    "EMAIL;type=INTERNET;type=WORK;type=pref:max@northwind.example\r\n"
    "item1.EMAIL;type=INTERNET:maxi.f@mail.example\r\nitem1.X-ABLabel:_$!<Other>!$_\r\n"
    "item2.TEL:+44 20 7946 0958\r\nitem2.X-ABLabel:London\r\n"
    "TEL;type=CELL;type=VOICE;type=pref:(512) 555-0101\r\nTEL;type=WORK;type=VOICE:512-555-0102\r\n"
    "item3.TEL;type=WORK;type=FAX:512.555.0103\r\nitem3.X-ABLabel:office fax\r\n"
    "TEL;type=HOME;type=FAX:512 555 0104\r\n"
    "item4.ADR;type=WORK;type=pref:;;1 Infinite Loop\\nBuilding 2;Austin;TX;78701;United States\r\n"
    "item4.X-ABADR:us\r\nitem5.ADR;type=HOME:;;42 Elm St;Round Rock;TX;78664;\r\n"
    "NOTE:Met at the trade fair in Berlin. Prefers calls before noon\\, Central ti\r\n me.\r\n"
    "item6.URL;type=pref:https://northwind.example\r\nitem6.X-ABLabel:_$!<HomePage>!$_\r\n"
    "BDAY;value=date:1980-04-12\r\nitem7.X-ABDATE;type=pref:2010-06-01\r\n"
    "item7.X-ABLabel:_$!<Anniversary>!$_\r\n"
    "X-SOCIALPROFILE;type=twitter:https://twitter.com/maxi\r\nCATEGORIES:Suppliers,VIP\r\n"
    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDB\r\n"
    " kSEx8dGhkeHy0gIx4dHCAlNT0=\r\nEND:VCARD\r\n";
inline const char kIPhoneNote[] =
    "Met at the trade fair in Berlin. Prefers calls before noon, Central time.";

inline const std::string kGoogle =
    "BEGIN:VCARD\nVERSION:3.0\nN:Okafor;Chidi;;;\nFN:Chidi Okafor\nNICKNAME:Chid\n"
    "X-PHONETIC-LAST-NAME:oh-KAH-for\nEMAIL;TYPE=INTERNET;TYPE=HOME:chidi.okafor@gmail.example\n"
    "TEL;TYPE=CELL:+1 713 555 0142\nADR;TYPE=HOME:;;12 Bayou Ln;Houston;TX;77002;USA\n"
    "ORG:Okafor Consulting\nIMPP;X-SERVICE-TYPE=Skype:skype:chidi.okafor\n"
    "X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;Ada;1;;;;;;;;;;;;;\n"
    "URL:http://okafor.example\nNOTE:Call after 5\nREV:2024-03-11T10:15:00Z\nEND:VCARD\n";

inline const std::string kNextcloud =
    "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//Sabre//Sabre VObject 4.5.4//EN\r\n"
    "UID:6c2a1e3e-0d9b-4b55-9b9a-2f1f0c5e6a01\r\nKIND:individual\r\nFN:Émilie Dubois\r\n"
    "N:Dubois;Émilie;;;\r\nGENDER:F\r\nLANG;PREF=1:fr-FR\r\nORG:Atelier Lumière;Design\r\n"
    "EMAIL;TYPE=work:mailto:emilie@atelier.example\r\n"
    "TEL;VALUE=uri;TYPE=work:tel:+1-555-555-0100\r\n"
    "TEL;VALUE=uri;TYPE=\"work,fax\":tel:+1-555-555-0101\r\n"
    "ADR;LABEL=\"12 Rue de la Paix\\n75002 Paris\\nFrance\";TYPE=work:;;12 Rue de la "
    "Paix;Paris;;\r\n"
    " 75002;France\r\nPHOTO:data:image/jpeg;base64,/9j/4AAQSkZJRgABAQ==\r\n"
    "ANNIVERSARY:20150620\r\nNOTE:Prefers e-mail.\r\nREV:20240311T101500Z\r\nEND:VCARD\r\n";
