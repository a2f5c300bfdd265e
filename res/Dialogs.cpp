#include "Dialogs.h"

#include "Resource.h"

namespace {

using namespace ControlStyle;

constexpr ControlTemplate kAboutControls[] = {
    {-1, ControlKind::Icon, "128", 11, 17, 20, 20, 0},
    {-1, ControlKind::Static, "Marlo Version 1.0", 40, 10, 119, 8, NoPrefix},
    {IDOK, ControlKind::PushButton, "OK", 178, 7, 50, 14, TabStop | DefaultButton},
};

constexpr ControlTemplate kFormControls[] = {
    {-1, ControlKind::Static, "ローマ字名を直接入力", 11, 9, 71, 15, CenterVertical},
    {IDC_SEARCH, ControlKind::Edit, "", 6, 25, 75, 16, TabStop},
    {IDC_SHOWALL, ControlKind::PushButton, "全データ表示", 90, 3, 80, 19, TabStop},
    {IDC_CLEAR, ControlKind::PushButton, "クリアー", 90, 27, 80, 19, TabStop},
    {IDC_LIST, ControlKind::ListView, "List2", 1, 49, 172, 107, TabStop},
};

const DialogTemplate kAbout = {IDD_ABOUTBOX, "Marloのﾊﾞｰｼﾞｮﾝ情報", 235, 55, kAboutControls};
const DialogTemplate kForm = {IDD_MARLO_FORM, "", 174, 159, kFormControls};

} // namespace

const DialogTemplate& AboutTemplate() {
    return kAbout;
}

const DialogTemplate& MarloFormTemplate() {
    return kForm;
}
