#pragma once

#include <array>

#include "editing/pickerwindow.h"

// Picks a station 01 .. FE and reports its index (station - 1). Each station sits in the
// cell the equal node number has in the node picker. Centres itself on the screen.
class frmBrevaneQD : public PickerWindow {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 521;
    static constexpr int ClientHeight = 345;
    static constexpr int Items = 254;

    explicit frmBrevaneQD(ModBrevane& mod);

    PickerItem* lblQD(int Index) const { return m_lblQD.at(Index); }

private:
    void Form_Load();

    std::array<PickerItem*, Items> m_lblQD{};
};
