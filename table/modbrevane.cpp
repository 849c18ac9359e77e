#include "table/modbrevane.h"

#include "table/cp1252.h"

void ModBrevane::ResetCnf() {
    Cnf.fill(0);
    OKey.clear();
    IKey.clear();
    Modified = false;
}

void ModBrevane::PackKeys(const QString& oKeyText, const QString& iKeyText) {
    OKey = oKeyText;
    IKey = iKeyText;
    for (int k = 0; k < KeyLength; ++k) {
        field(k, KeyChar) = 0;
        field(k + KeyLength, KeyChar) = 0;
        if (k < OKey.size()) {
            field(k, KeyChar) = toWindows1252(OKey[k]);
        }
        if (k < IKey.size()) {
            field(k + KeyLength, KeyChar) = toWindows1252(IKey[k]);
        }
    }
}

void ModBrevane::UnpackKeys() {
    OKey.clear();
    IKey.clear();
    for (int k = 0; k < KeyLength; ++k) {
        if (const auto code = field(k, KeyChar); code != 0) {
            OKey += fromWindows1252(code);
        }
        if (const auto code = field(k + KeyLength, KeyChar); code != 0) {
            IKey += fromWindows1252(code);
        }
    }
}

Keys keysOf(const CnfTable& cnf) {
    ModBrevane mod;
    mod.Cnf = cnf;
    mod.UnpackKeys();
    return {mod.OKey, mod.IKey};
}

CnfTable withKeysRepacked(const CnfTable& cnf) {
    const Keys keys = keysOf(cnf);
    ModBrevane mod;
    mod.Cnf = cnf;
    mod.PackKeys(keys.outgoing, keys.incoming);
    return mod.Cnf;
}
