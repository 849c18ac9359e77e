#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The words a link row shows for the table's values; shared by every front end so they
// all speak alike.

// "Link 01" .. "Link 64" for slot 0..63.
QString linkCaption(int slot);
// "Node: NC" for 0, else "Node: " and two hex digits.
QString nodeCaption(std::uint8_t oNode);
// "Quendel", "QD PC", "Relays"; nothing for any other value (the row keeps what it showed).
std::optional<QString> typeCaption(std::uint8_t oType);
// Two hex digits of ORef + 1 under types 0 and 1, the relay range of group ORef mod 8
// ("01-08" .. "57-64") under type 2 or more.
QString outgoingRefCaption(std::uint8_t oType, std::uint8_t oRef);
// "Quendel NC." and two hex digits of IRef + 1.
QString incomingRefCaption(std::uint8_t iRef);
// "01-08" .. "57-64" for group 0..7.
QString relayRangeCaption(int group);
// Two hex digits of the station number index + 1 ("01" .. "FE", 255 wraps to "00").
QString stationCaption(int index);

// A key character as it prints: itself, or \x and its two-digit Windows-1252 code when it
// does not print.
QString keyCharacter(QChar c);
// A key as text in double quotes: \" and \\ escaped, every character as keyCharacter.
QString quotedKey(const QString& key);
