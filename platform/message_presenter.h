// The hook through which finished messages reach the user.
#pragma once

#include <string>

enum : int {
    MSG_INFORMATION = 0,
    MSG_WARNING = 1,
};

class CMessagePresenter {
  public:
    virtual ~CMessagePresenter() = default;
    // Shows one whole message. A presenter that opens a box returns when the
    // user has closed it; the calling thread waits meanwhile.
    virtual void Present(int nKind, const std::string& strText) = 0;
};

// Installs the presenter for the whole process; null restores the console one.
void SetMessagePresenter(CMessagePresenter* pPresenter);
CMessagePresenter& GetMessagePresenter();

// What the command-line presenters' warnings are about: the file in hand,
// empty for none. Any thread.
void SetMessageSubject(const std::string& strSubject);
// The subject of the warnings made on the calling thread only (a worker that
// plays one file while the list moves on); empty gives it back to the above.
void SetThreadMessageSubject(const std::string& strSubject);
// A warning as command-line programs write it, one line with its newline:
// "corvina: SUBJECT: TEXT", the text's own line breaks made spaces.
std::string FormatWarningLine(const std::string& strText);

// Prints warnings as FormatWarningLine makes them on standard error and
// information on standard output, and returns at once.
class CConsolePresenter : public CMessagePresenter {
  public:
    void Present(int nKind, const std::string& strText) override;
};
