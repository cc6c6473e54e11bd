// The record through which a command's update rule sets its state.
#pragma once

#include <string>
#include <utility>

class CCmdUI {
  public:
    // bChecked is the mark the command carries now; a rule that leaves the
    // mark alone keeps it.
    explicit CCmdUI(int nID, bool bChecked = false) : m_nID(nID), m_bChecked(bChecked) {}

    void Enable(bool bEnabled = true) { m_bEnabled = bEnabled; }
    void SetCheck(bool bChecked) { m_bChecked = bChecked; }
    // Whether the menu shows the command at all.
    void Show(bool bVisible) { m_bVisible = bVisible; }
    // The text the menu shows for the command, as it stands (no mnemonic);
    // a rule that sets none leaves the table's text.
    void SetText(std::string strText) { m_strText = std::move(strText); }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bVisible = true;
    bool m_bChecked;
    std::string m_strText;
};
