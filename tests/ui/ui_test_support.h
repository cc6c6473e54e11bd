// Helpers of the window tests: waiting with the event loop running, closing
// modal boxes as a user would, and a document that records its commands.
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "player/corvina_doc.h"
#include "tests/ui/qt_wait.h"

// Runs the event loop until the condition holds or the time is up.

// What a closed modal window showed.
struct CClosedModal {
    QString strClass;
    QString strCaption;
    QString strText;
    int nIcon = -1;  // QMessageBox::Icon, or -1 for another dialog
    bool bApplicationModal = false;
    std::vector<QString> buttons;
};

// Watches for modal windows and closes each one (with its OK button) once
// fnBeforeClose has looked at it. It runs from a timer inside the window's
// own loop, which is where a test stands while a modal box is open.
class CModalCloser : public QObject {
  public:
    explicit CModalCloser(std::function<void(QWidget*)> fnBeforeClose = {});
    const std::vector<CClosedModal>& GetClosed() const { return m_closed; }

  private:
    void Poll();
    std::function<void(QWidget*)> m_fnBeforeClose;
    QTimer m_timer;
    std::vector<CClosedModal> m_closed;
};

// The real document with its real update rules, whose commands are recorded
// instead of carried out, so routing can be followed without a worker.
class CRecordingDoc : public CCorvinaDoc {
  public:
    bool OnCommand(int nID) override {
        m_commands.push_back(nID);
        return true;
    }
    std::vector<int> m_commands;
};
