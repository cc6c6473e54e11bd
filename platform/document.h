// The document base: a path name, the views that show it, and command routing
// through update rules.
#pragma once

#include <string>
#include <vector>

#include "platform/cmd_ui.h"

class CView {
  public:
    virtual ~CView() = default;
    // The document asks its views to show its present state.
    virtual void OnUpdate() = 0;
};

class CDocument {
  public:
    virtual ~CDocument() = default;

    const std::string& GetPathName() const { return m_strPathName; }
    // "Untitled" for a new document, else the file name without its folder.
    std::string GetTitle() const;

    // Makes the document empty; false refuses.
    virtual bool OnNewDocument();
    // The base checks that the file can be opened for reading and reports
    // its own failure as a warning; false refuses the open.
    virtual bool OnOpenDocument(const std::string& strPath);

    // The framework's steps: the path name changes only when the
    // document's step accepts.
    bool NewDocument();
    bool OpenDocument(const std::string& strPath);

    // The update rule of a command. Commands without one stay enabled.
    virtual void OnUpdateCommand(CCmdUI& cmdUI);
    // Carries a command out; false when the document does not handle it.
    virtual bool OnCommand(int nID);
    // What the menu, toolbar and accelerators do: the command runs only when
    // its update rule enables it. True when it was carried out.
    bool ExecuteCommand(int nID);
    bool IsCommandEnabled(int nID);

    void AddView(CView* pView);
    void RemoveView(CView* pView);
    void UpdateAllViews();

  private:
    std::string m_strPathName;
    std::vector<CView*> m_views;
};
