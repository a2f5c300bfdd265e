#pragma once
// Dialog templates: controls laid out in dialog units, measured from the
// 9-point dialog font, and the one builder that turns a template into widgets.

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QWidget>

#include <span>

/// Edit: a one-line box. MultiLineEdit: a box of as many lines as its height
/// shows, without wrapping; Enter makes a new line, Tab leaves it. GroupBox: a
/// frame behind the controls it surrounds, never focused. ListBox: a list of texts to pick one from.
enum class ControlKind { Static, Icon, Edit, MultiLineEdit, PushButton, CheckBox, GroupBox, ListView, ListBox };

namespace ControlStyle {
inline constexpr unsigned TabStop = 1u << 0;
inline constexpr unsigned DefaultButton = 1u << 1; // answers Enter in a dialog
inline constexpr unsigned NoPrefix = 1u << 2;      // '&' shows as itself, no mnemonic
inline constexpr unsigned CenterVertical = 1u << 3;
inline constexpr unsigned Password = 1u << 4; // an edit box that shows its characters as dots
} // namespace ControlStyle

/// One control of a template. Static controls without an ID use -1. An icon's
/// text is the decimal number of its icon resource.
struct ControlTemplate {
    int nId;
    ControlKind kind;
    const char* pszText; // UTF-8
    int x, y, cx, cy;    // dialog units
    unsigned nStyle;
};

struct DialogTemplate {
    int nId;
    const char* pszCaption; // UTF-8; empty for a child form
    int cx, cy;             // dialog units
    std::span<const ControlTemplate> controls;
};

/// The 9-point font of all dialogs: "MS PGothic" where installed, else IPAPGothic,
/// else the system's Japanese sans-serif.
QFont DialogFont();

/// Dialog units of a font: x * average character width / 4, y * line height / 8.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int X(int x) const { return (x * m_nCharWidth + 2) / 4; }
    int Y(int y) const { return (y * m_nCharHeight + 4) / 8; }
    QRect Rect(int x, int y, int cx, int cy) const { return {X(x), Y(y), X(cx), Y(cy)}; }
    int CharWidth() const { return m_nCharWidth; }
    int CharHeight() const { return m_nCharHeight; }

private:
    int m_nCharWidth;
    int m_nCharHeight;
};

/// Where icon controls get their images (the resources register it once). An icon
/// control shows the 32x32 image, drawn for the screen's pixel ratio.
void SetIconResourceLoader(QIcon (*loader)(int resourceId));

/// Creates the template's controls as children of `parent`, sized in dialog units
/// of the dialog font: objectName = decimal control ID, tab order = template order,
/// each static text is the buddy of the edit box that follows it. Returns the first tab stop.
QWidget* BuildControls(QWidget* parent, const DialogTemplate& tpl);

/// The control with ID `nId` among the children of `parent`, or null.
template <class T = QWidget> T* GetDlgItem(const QWidget* parent, int nId) {
    return parent->findChild<T*>(QString::number(nId));
}
