// A presenter that records every message instead of showing it.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/message_presenter.h"
#include "synth/caller_hooks.h"

struct CRecordedMessage {
    int nKind;
    std::string strText;
};

// Installs itself for its lifetime.
class CRecordingPresenter : public CMessagePresenter {
  public:
    CRecordingPresenter();
    ~CRecordingPresenter() override;

    void Present(int nKind, const std::string& strText) override;
    // Records each warning handed to it as a warning shown; the presenter
    // must outlive every copy.
    corvina::WarningReporter Reporter();

    std::vector<CRecordedMessage> Messages() const;
    std::vector<std::string> Texts() const;
    // How many recorded messages have exactly this text.
    int Count(const std::string& strText) const;
    void Clear();

  private:
    mutable std::mutex m_lock;
    std::vector<CRecordedMessage> m_messages;
};
