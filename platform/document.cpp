// The document base.
#include "platform/document.h"

#include <algorithm>
#include <cstdio>

#include "platform/file_access.h"
#include "platform/message_presenter.h"

std::string CDocument::GetTitle() const {
    if (m_strPathName.empty()) {
        return "Untitled";
    }
    const auto nSlash = m_strPathName.find_last_of('/');
    return nSlash == std::string::npos ? m_strPathName : m_strPathName.substr(nSlash + 1);
}

bool CDocument::OnNewDocument() {
    return true;
}

bool CDocument::OnOpenDocument(const std::string& strPath) {
    std::string strReason;
    if (!CanReadStream(strPath.c_str(), strReason)) {
        GetMessagePresenter().Present(MSG_WARNING,
                                      "Cannot open \"" + strPath + "\": " + strReason + ".");
        return false;
    }
    return true;
}

bool CDocument::NewDocument() {
    if (!OnNewDocument()) {
        return false;
    }
    m_strPathName.clear();
    return true;
}

bool CDocument::OpenDocument(const std::string& strPath) {
    if (!OnOpenDocument(strPath)) {
        return false;
    }
    m_strPathName = strPath;
    return true;
}

void CDocument::OnUpdateCommand(CCmdUI&) {}

bool CDocument::OnCommand(int) {
    return false;
}

bool CDocument::IsCommandEnabled(int nID) {
    CCmdUI cmdUI(nID);
    OnUpdateCommand(cmdUI);
    return cmdUI.m_bEnabled;
}

bool CDocument::ExecuteCommand(int nID) {
    if (!IsCommandEnabled(nID)) {
        return false;
    }
    return OnCommand(nID);
}

void CDocument::AddView(CView* pView) {
    m_views.push_back(pView);
}

void CDocument::RemoveView(CView* pView) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), pView), m_views.end());
}

void CDocument::UpdateAllViews() {
    for (CView* pView : m_views) {
        pView->OnUpdate();
    }
}
