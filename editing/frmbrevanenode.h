#pragma once

#include <array>

#include "editing/pickerwindow.h"

// Picks the target node: "NC" (the controller, 0) or 01 .. FE. Centres itself on the screen.
class frmBrevaneNode : public PickerWindow {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 521;
    static constexpr int ClientHeight = 345;
    static constexpr int Items = 255;

    explicit frmBrevaneNode(ModBrevane& mod);

    PickerItem* lblQD(int Index) const { return m_lblQD.at(Index); }

private:
    void Form_Load();

    std::array<PickerItem*, Items> m_lblQD{};
};
