#include "CmdTarget.h"

bool CCmdTarget::OnCmdMsg(int nId) const {
    const auto it = m_handlers.find(nId);
    if (it == m_handlers.end())
        return false;
    it->second();
    return true;
}

bool CCmdTarget::OnUpdateCmdMsg(CCmdUI& ui) const {
    const auto update = m_updateHandlers.find(ui.m_nID);
    if (update != m_updateHandlers.end()) {
        update->second(ui);
        return true;
    }
    return m_handlers.count(ui.m_nID) != 0;
}

void CCmdTarget::OnCommandRange(int nFirst, int nLast, const std::function<void(int)>& handler) {
    for (int id = nFirst; id <= nLast; ++id)
        m_handlers[id] = [handler, id] { handler(id); };
}
