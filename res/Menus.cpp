#include "Menus.h"

#include "Resource.h"

namespace {

using namespace MenuFlag;

constexpr MenuItemTemplate kFileItems[] = {
    {"新規作成(&N)\tCtrl+N", ID_FILE_NEW, 0},
    {"開く(&O)...\tCtrl+O", ID_FILE_OPEN, 0},
    {"上書き保存(&S)\tCtrl+S", ID_FILE_SAVE, 0},
    {"名前を付けて保存(&A)...", ID_FILE_SAVE_AS, 0},
    {"インポート(&I)...", ID_FILE_IMPORT, 0},
    {"エクスポート(&E)...", ID_FILE_EXPORT, 0},
    {"", 0, Separator},
    {"同期(&Y)", ID_FILE_SYNC, 0},
    {"同期の設定(&T)...", ID_FILE_SYNC_SETTINGS, 0},
    {"", 0, Separator},
    {"最近使ったﾌｧｲﾙ", ID_FILE_MRU_FILE1, Grayed | RecentFiles},
    {"", 0, Separator},
    {"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", ID_APP_EXIT, 0},
};

constexpr MenuItemTemplate kEditItems[] = {
    {"元に戻す(&U)\tCtrl+Z", ID_EDIT_UNDO, 0},
    {"やり直し(&R)\tCtrl+Y", ID_EDIT_REDO, 0},
    {"", 0, Separator},
    {"データ入力(&F)", ID_DATA_ENTRY, 0},
    {"データ修正(&M)", ID_DATA_MODIFY, 0},
    {"オプション(&O)", ID_OPTIONS, 0},
};

constexpr MenuItemTemplate kSearchItems[] = {
    {"全文検索(&S)", ID_FULL_TEXT_SEARCH, 0},
};

constexpr MenuItemTemplate kHelpItems[] = {
    {"Marlo のﾊﾞｰｼﾞｮﾝ情報(&A)...", ID_APP_ABOUT, 0},
};

constexpr MenuTemplate kMainMenu[] = {
    {"ﾌｧｲﾙ(&F)", kFileItems},
    {"編集(&E)", kEditItems},
    {"検索(&S)", kSearchItems},
    {"ﾍﾙﾌﾟ(&H)", kHelpItems},
};

const AccelTemplate kMainAccelerators[] = {
    {Qt::CTRL | Qt::Key_N, ID_FILE_NEW},         {Qt::CTRL | Qt::Key_O, ID_FILE_OPEN},
    {Qt::CTRL | Qt::Key_S, ID_FILE_SAVE},        {Qt::CTRL | Qt::Key_P, ID_FILE_PRINT},
    {Qt::CTRL | Qt::Key_Z, ID_EDIT_UNDO},        {Qt::CTRL | Qt::Key_X, ID_EDIT_CUT},
    {Qt::CTRL | Qt::Key_C, ID_EDIT_COPY},        {Qt::CTRL | Qt::Key_V, ID_EDIT_PASTE},
    {Qt::ALT | Qt::Key_Backspace, ID_EDIT_UNDO}, {Qt::SHIFT | Qt::Key_Delete, ID_EDIT_CUT},
    {Qt::CTRL | Qt::Key_Insert, ID_EDIT_COPY},   {Qt::SHIFT | Qt::Key_Insert, ID_EDIT_PASTE},
    {QKeyCombination(Qt::Key_F6), ID_NEXT_PANE}, {Qt::SHIFT | Qt::Key_F6, ID_PREV_PANE},
    {Qt::CTRL | Qt::Key_Y, ID_EDIT_REDO},        {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, ID_EDIT_REDO},
};

} // namespace

std::span<const MenuTemplate> MainMenu() {
    return kMainMenu;
}

std::span<const AccelTemplate> MainAccelerators() {
    return kMainAccelerators;
}
