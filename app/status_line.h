// The terminal player's status line: one line redrawn in place at the bottom,
// with messages written on lines of their own above it.
#pragma once

#include <mutex>
#include <string>

#include "platform/message_presenter.h"

class CStatusLine : public CMessagePresenter {
  public:
    // Redraws the line with strText, cut to the terminal's width, and clears
    // whatever a longer line before it left. Nothing is written while hidden
    // or when the text is what the line shows already.
    void Show(const std::string& strText);
    // Writes strText on lines of its own above the status line.
    void PrintAbove(const std::string& strText);
    // Messages of the engine, above the line: warnings as "Warning: TEXT" on
    // standard error, information on standard output.
    void Present(int nKind, const std::string& strText) override;
    // Leaves the line as it stands and moves below it; the next Show starts a
    // new line.
    void End();
    // While hidden (the player is not in the terminal's foreground) nothing
    // is drawn, and messages are printed as they are.
    void SetHidden(bool bHidden);

  private:
    // A terminal that takes no control sequences (TERM dumb or unset): the
    // line is cleared by overwriting it with spaces.
    const bool m_bPlain = IsPlainTerminal();
    int m_nDrawnColumns = 0;
    static bool IsPlainTerminal();
    void Clear();
    void Draw();

    std::mutex m_lock;
    std::string m_strText;  // what the line shows; empty when none is drawn
    bool m_bHidden = false;
};

// The columns of the terminal on standard output; 80 when it cannot say.
int TerminalColumns();

// Text as a terminal shows it: UTF-8 with every byte that is not part of a
// valid character, and every control character, made U+FFFD.
std::string ToDisplayText(const std::string& strText);
// The columns that display text takes (wide characters two, combining none).
int DisplayColumns(const std::string& strText);
// Display text cut to nColumns at its end, or with its middle left out for
// an ellipsis; never inside a character.
std::string FitEnd(const std::string& strText, int nColumns);
std::string FitMiddle(const std::string& strText, int nColumns);
