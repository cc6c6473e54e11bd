// The help window: how to use the player, and every command with its keys
// and prompt, made from the command table.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

// The whole help text as HTML.
QString BuildHelpHtml();

class CHelpWindow : public QDialog {
    Q_OBJECT

  public:
    explicit CHelpWindow(QWidget* pParent = nullptr);
    QTextBrowser* GetBrowser() const { return m_pBrowser; }

  private:
    QTextBrowser* m_pBrowser;
};
