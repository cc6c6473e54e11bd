// The recording presenter.
#include "tests/support/recording_presenter.h"

#include <algorithm>

using namespace corvina;

CRecordingPresenter::CRecordingPresenter() {
    SetMessagePresenter(this);
}

CRecordingPresenter::~CRecordingPresenter() {
    SetMessagePresenter(nullptr);
}

void CRecordingPresenter::Present(int nKind, const std::string& strText) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_messages.push_back({nKind, strText});
}

WarningReporter CRecordingPresenter::Reporter() {
    return [this](const std::string& strText) { Present(MSG_WARNING, strText); };
}

std::vector<CRecordedMessage> CRecordingPresenter::Messages() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_messages;
}

std::vector<std::string> CRecordingPresenter::Texts() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::string> texts;
    for (const auto& message : m_messages) {
        texts.push_back(message.strText);
    }
    return texts;
}

int CRecordingPresenter::Count(const std::string& strText) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<int>(std::count_if(m_messages.begin(), m_messages.end(),
                                          [&](const auto& m) { return m.strText == strText; }));
}

void CRecordingPresenter::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_messages.clear();
}
