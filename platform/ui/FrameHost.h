#pragma once

#include <QString>

#include <functional>

class CCmdTarget;
class QPrinter;

/// The application as its main frame, and the views in the frame, see it. The
/// application fills it in when it makes the windows and hands it to the frame,
/// which only calls it.
struct FrameHost {
    /// The last to be offered a command, after the view, the document and the frame.
    const CCmdTarget* m_pCommands = nullptr;
    /// Asks to save the document's changes before the frame closes; false when the user cancels.
    std::function<bool()> m_fnSaveAllModified;
    /// Opens a file dropped on the frame as File Open does; its path as the toolkit gives it.
    std::function<void(const QString& path)> m_fnOpenDroppedFile;
    /// The printer of print setup and printing.
    std::function<QPrinter&()> m_fnGetPrinter;
    /// The frame became the active window: the document's file may have changed meanwhile.
    std::function<void()> m_fnActivated;
};
