# The window program: the Qt half of the framework, the resources, the view and
# the application object in marlo_ui; the executable holds main() alone.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport Test)

add_library(marlo_ui STATIC
    platform/ui/CmdTarget.cpp
    platform/ui/DataExchange.cpp
    platform/ui/Dialog.cpp
    platform/ui/DialogTemplate.cpp
    platform/ui/FormView.cpp
    platform/ui/FrameWnd.cpp
    platform/ui/ListCtrl.cpp
    platform/ui/MessageBox.cpp
    platform/ui/WinApp.cpp
    res/Dialogs.cpp
    res/Icons.cpp
    res/Menus.cpp
    res/Strings.cpp
    view/MarloView.cpp
    view/EntryActions.cpp
    dialogs/DataEntryDlg.cpp
    dialogs/DataModifyDlg.cpp
    dialogs/DataViewDlg.cpp
    dialogs/OptionDlg.cpp
    dialogs/SearchDlg.cpp
    dialogs/RomajiWarnDlg.cpp
    app/AboutDlg.cpp
    app/MainFrame.cpp
    app/MarloApp.cpp
)
set_target_properties(marlo_ui PROPERTIES AUTOMOC ON)
target_link_libraries(marlo_ui PUBLIC marlo_core Qt6::Widgets Qt6::PrintSupport)

add_executable(marlo app/main.cpp)
target_link_libraries(marlo PRIVATE marlo_ui)

include(GNUInstallDirs)
install(TARGETS marlo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES res/marlo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES res/marlo32.xpm DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME marlo.xpm)
install(FILES res/marlo16.xpm DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME marlo.xpm)
