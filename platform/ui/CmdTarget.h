#pragma once
// Command routing: each class that answers commands keeps a small table of
// command ID -> handler, and update handlers that set a menu item's state.

#include <functional>
#include <unordered_map>

/// The state of one menu item, filled by update handlers before the menu opens.
class CCmdUI {
public:
    explicit CCmdUI(int nId) : m_nID(nId) {}
    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    void SetCheck(bool bCheck = true) { m_bChecked = bCheck; }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bChecked = false;
};

class CCmdTarget {
public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI&)>;

    virtual ~CCmdTarget() = default;

    /// Runs the handler of `nId` if this class has one.
    bool OnCmdMsg(int nId) const;
    /// Runs the update handler of `nId` if there is one. True when this class
    /// answers the command (a handler or an update handler).
    bool OnUpdateCmdMsg(CCmdUI& ui) const;

protected:
    void OnCommand(int nId, Handler handler) { m_handlers[nId] = std::move(handler); }
    void OnCommandRange(int nFirst, int nLast, const std::function<void(int)>& handler);
    void OnUpdateCommand(int nId, UpdateHandler handler) { m_updateHandlers[nId] = std::move(handler); }

private:
    std::unordered_map<int, Handler> m_handlers;
    std::unordered_map<int, UpdateHandler> m_updateHandlers;
};
