#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

// The controller's link configuration: 64 link slots of nine byte fields, one
// contiguous block with the field index running fastest. Files hold exactly these
// bytes in this order.
constexpr int LinkSlots = 64;
constexpr int FieldsPerSlot = 9;
constexpr int CnfBytes = LinkSlots * FieldsPerSlot; // 576
constexpr int KeyLength = 8;
constexpr int KeySlots = 2 * KeyLength; // field 8 of slots 0-15 holds the two keys

enum CnfField : int {
    OEnabled = 0, // outgoing link in use
    ONode = 1,    // outgoing target node (0 = the controller, "NC")
    OType = 2,    // 0 Quendel, 1 QD PC, 2 Relays
    ORef = 3,     // station index, or relay group when OType is 2
    IEnabled = 4, // incoming link in use
    IRef = 5,     // station index the incoming link takes from
    Reserved6 = 6,
    Reserved7 = 7,
    KeyChar = 8, // slots 0-7: outgoing key, slots 8-15: incoming key
};

using CnfTable = std::array<std::uint8_t, CnfBytes>;
static_assert(sizeof(CnfTable) == 576, "files and transfers carry the table byte for byte");

constexpr int cnfOffset(int slot, int field) {
    return slot * FieldsPerSlot + field;
}

// The ports the window's menu offers, COM1 to COM16: ComPortNum runs 1 to ComPorts.
constexpr int ComPorts = 16;

// CnfPath while the table belongs to no file.
inline const QString NoFile = QStringLiteral("None");

// The state shared by every part of the program, from start to exit. One object, so a
// test can start from a fresh one.
class ModBrevane {
public:
    CnfTable Cnf{};
    QString OKey;            // outgoing key as last packed into or unpacked from the table
    QString IKey;            // incoming key, likewise
    bool Modified = false;   // the table holds changes no file has received
    bool Refreshing = false; // true only while the rows are being redrawn
    int PickResult = 0;      // the picked item's index, or -1 for a cancel
    QString CnfPath = NoFile;
    int ComPortNum = 1;
    QByteArray LastReply;
    bool DialogUsed = false;

    std::uint8_t& field(int slot, int f) { return Cnf[cnfOffset(slot, f)]; }
    std::uint8_t field(int slot, int f) const { return Cnf[cnfOffset(slot, f)]; }

    // Every byte 0, both keys empty, Modified cleared.
    void ResetCnf();
    // Takes the key boxes' texts as the keys and stores their first eight characters in
    // field 8 of slots 0-15 as Windows-1252 codes, 0 after the end of each key.
    void PackKeys(const QString& oKeyText, const QString& iKeyText);
    // Rebuilds both keys from field 8 of slots 0-15, skipping every 0 byte.
    void UnpackKeys();
};

// The two keys a table holds, as UnpackKeys reads them.
struct Keys {
    QString outgoing;
    QString incoming;
};
Keys keysOf(const CnfTable& cnf);

// The table as the window holds it once it has opened a file and packed the keys again
// (for a Download or a Save): the keys unpacked and packed back, so a 0 byte inside a key
// moves behind the key's last character. What a file sends and compares as, from any tool.
CnfTable withKeysRepacked(const CnfTable& cnf);
