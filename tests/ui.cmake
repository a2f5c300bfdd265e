# Window tests: Qt Test on real widgets, without a display.
add_executable(ui_tests
    ui/UiTestMain.cpp
    ui/UiTestUtil.cpp
    ui/FrameworkTest.cpp
    ui/MarloAppTest.cpp
    ui/EntryDialogsTest.cpp
    ui/SearchDialogTest.cpp
    ui/OptionDialogTest.cpp
)
set_target_properties(ui_tests PROPERTIES AUTOMOC ON)
target_link_libraries(ui_tests PRIVATE marlo_ui Qt6::Test)
add_test(NAME ui_tests COMMAND ui_tests -nocrashhandler)
set_tests_properties(ui_tests PROPERTIES LABELS ui ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
