#pragma once

#include <array>

#include "editing/pickerwindow.h"

// Picks one of the eight relay groups ("01-08" .. "57-64"). The caller places it; it never
// positions itself.
class frmBrevaneRelay : public PickerWindow {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 121;
    static constexpr int ClientHeight = 129;
    static constexpr int Groups = 8;

    explicit frmBrevaneRelay(ModBrevane& mod);

    PickerItem* lblRelay(int Index) const { return m_lblRelay.at(Index); }

private:
    std::array<PickerItem*, Groups> m_lblRelay{};
};
