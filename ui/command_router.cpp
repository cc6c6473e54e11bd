// The command router.
#include "ui/command_router.h"

#include <QAction>
#include <QActionGroup>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <string>

#include "platform/document.h"
#include "player/control_block.h"
#include "player/playback_control.h"
#include "resources/command_table.h"
#include "ui/qt_strings.h"

using namespace corvina;

namespace {

bool IsChannelChoice(int nID) {
    return nID >= ID_AUDIO_CHANNEL_BOTH && nID <= ID_AUDIO_CHANNEL_MIX;
}

bool IsReplayGainChoice(int nID) {
    return nID >= ID_AUDIO_REPLAYGAIN_OFF && nID <= ID_AUDIO_REPLAYGAIN_ALBUM;
}

bool IsTrackChoice(int nID) {
    return nID >= ID_AUDIO_TRACK_1 && nID <= ID_AUDIO_TRACK_8;
}

// The first item of the radio items that nID is one of, or 0.
int RadioGroupOf(int nID) {
    return IsChannelChoice(nID)      ? ID_AUDIO_CHANNEL_BOTH
           : IsReplayGainChoice(nID) ? ID_AUDIO_REPLAYGAIN_OFF
           : IsTrackChoice(nID)      ? ID_AUDIO_TRACK_1
                                     : 0;
}

bool IsCheckable(int nID) {
    return nID == ID_PLAY_PLAYBACK || nID == ID_PLAY_LOOP || nID == ID_AUDIO_SMOOTH ||
           nID == ID_VIEW_STATUS_BAR || nID == ID_PLAY_TOGGLE_LOOP || RadioGroupOf(nID) != 0;
}

// A text from a rule shows as it stands: an '&' in it is no mnemonic.
QString PlainText(const std::string& strText) {
    return FromUtf8(strText).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

CCommandRouter::CCommandRouter(CDocument& document, CFrameCommandTarget& target, QObject* pParent)
    : QObject(pParent), m_document(document), m_target(target) {
    auto Create = [this](int nID) {
        // The recent files' items are the menus' own.
        if (nID != 0 && nID != ID_FILE_MRU_FILE1 && m_actions.count(nID) == 0) {
            CreateAction(nID);
        }
    };
    for (const CMenuInfo& menu : GetMenus()) {
        for (int nID : menu.items) {
            Create(nID);
        }
    }
    for (int nID : GetToolbar()) {
        Create(nID);
    }
}

QAction* CCommandRouter::CreateAction(int nID) {
    const CCommandInfo* pCommand = FindCommand(nID);
    auto* pAction = new QAction(this);
    const std::string_view status = StatusPrompt(*pCommand);
    const std::string_view tooltip = TooltipText(*pCommand);
    // The menu text keeps its "\t" and the keys after it: the menu shows
    // them, but they are no shortcut (Loop Play shows Ctrl+L, which pauses).
    pAction->setText(pCommand->pszMenuText != nullptr ? QString::fromUtf8(pCommand->pszMenuText)
                                                      : FromUtf8(tooltip));
    pAction->setStatusTip(FromUtf8(status));
    pAction->setWhatsThis(FromUtf8(status));
    if (!tooltip.empty()) {
        pAction->setToolTip(FromUtf8(tooltip));
    }
    if (pCommand->pszIcon != nullptr) {
        const QIcon fallback(QStringLiteral(":/toolbar/") + QString::fromUtf8(pCommand->pszImage));
        pAction->setIcon(QIcon::fromTheme(QString::fromUtf8(pCommand->pszIcon), fallback));
        pAction->setIconVisibleInMenu(false);
    }
    pAction->setCheckable(IsCheckable(nID));
    if (const int nGroup = RadioGroupOf(nID); nGroup != 0) {
        // Drawn as radio items; the rules set the one mark.
        QActionGroup*& pGroup = m_radioGroups[nGroup];
        if (pGroup == nullptr) {
            pGroup = new QActionGroup(this);
            pGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        }
        pGroup->addAction(pAction);
    }
    AddAction(nID, pAction);
    return pAction;
}

void CCommandRouter::AddAction(int nID, QAction* pAction) {
    pAction->setData(nID);
    connect(pAction, &QAction::triggered, this, [this, nID] { OnActionTriggered(nID); });
    m_actions[nID] = pAction;
    m_checks[nID] = false;
}

void CCommandRouter::CreateAccelerators(QWidget* pWindow) {
    for (const CAccelerator& accelerator : GetAccelerators()) {
        auto* pShortcut =
            new QShortcut(QKeySequence(QString::fromUtf8(accelerator.pszKeys)), pWindow);
        pShortcut->setContext(Qt::WindowShortcut);
        const int nID = accelerator.nID;
        connect(pShortcut, &QShortcut::activated, this, [this, nID] { RunCommand(nID); });
    }
}

QAction* CCommandRouter::GetAction(int nID) const {
    const auto it = m_actions.find(nID);
    return it == m_actions.end() ? nullptr : it->second;
}

void CCommandRouter::UpdateCommand(CCmdUI& cmdUI) {
    if (!m_target.UpdateFrameCommand(cmdUI)) {
        m_document.OnUpdateCommand(cmdUI);
    }
}

void CCommandRouter::UpdateCommandStates() {
    for (const auto& [nID, pAction] : m_actions) {
        CCmdUI cmdUI(nID, m_checks[nID]);
        UpdateCommand(cmdUI);
        if (pAction->isEnabled() != cmdUI.m_bEnabled) {
            pAction->setEnabled(cmdUI.m_bEnabled);
        }
        // The recent files' items are shown by the menus; the channel and
        // track choices by their rule.
        if ((IsChannelChoice(nID) || IsTrackChoice(nID)) &&
            pAction->isVisible() != cmdUI.m_bVisible) {
            pAction->setVisible(cmdUI.m_bVisible);
        }
        if (!cmdUI.m_strText.empty() && pAction->text() != PlainText(cmdUI.m_strText)) {
            pAction->setText(PlainText(cmdUI.m_strText));
        }
        if (pAction->isCheckable()) {
            m_checks[nID] = cmdUI.m_bChecked;
            if (pAction->isChecked() != cmdUI.m_bChecked) {
                pAction->setChecked(cmdUI.m_bChecked);
            }
        }
    }
}

bool CCommandRouter::RunCommand(int nID) {
    if (!IsEnabled(nID)) {
        return false;
    }
    // The rule has spoken: the document's own command step would ask it
    // again, so its handler is called directly.
    const bool bDone = m_target.OnFrameCommand(nID) || m_document.OnCommand(nID);
    UpdateCommandStates();
    if (bDone) {
        emit CommandRun(nID);
    }
    return bDone;
}

bool CCommandRouter::IsEnabled(int nID) {
    const auto itCheck = m_checks.find(nID);
    CCmdUI cmdUI(nID, itCheck != m_checks.end() && itCheck->second);
    UpdateCommand(cmdUI);
    return cmdUI.m_bEnabled;
}

bool CCommandRouter::RunMove(double dSeconds) {
    if (!IsEnabled(ID_PLAY_FAST_FORWARD)) {
        return false;
    }
    MoveToTime(dSeconds);
    UpdateCommandStates();
    emit CommandRun(ID_PLAY_FAST_FORWARD);
    return true;
}

void CCommandRouter::OnActionTriggered(int nID) {
    // A checkable action has just toggled its own mark; the rules decide.
    if (QAction* pAction = GetAction(nID); pAction != nullptr && pAction->isCheckable()) {
        pAction->setChecked(m_checks[nID]);
    }
    RunCommand(nID);
}
